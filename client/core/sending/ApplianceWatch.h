#pragma once

#include "CorvanefaxHost.h"
#include "OneShotTimer.h"

#include <QObject>

#include <functional>

namespace kestrel {

// Keeps the fax control activated while the appliance comes and goes. While
// it is away the control is activated again a minute after the last
// activation ended (print jobs are taken all the while), and once more
// before a fax is sent; when an activation finds it again the window is
// told once.
//
// One activation at a time: an activation waits for the appliance's pages
// in a nested event loop, where the retry's timer and the user's press can
// run. Neither starts a second one meanwhile (the waits would add up): the
// retry waits for the next minute, the press joins the one under way
// (activationFinished).
class ApplianceWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 60 * 1000;

    explicit ApplianceWatch(CorvanefaxHost& host, QObject* parent = nullptr);

    // Activates the control now (a press joins an activation under way
    // instead; a new control made meanwhile is activated all the same).
    [[nodiscard]] MethodError activate();
    bool isAway() const { return m_host.applianceAway(); }
    // An activation is under way: its answer comes with activationFinished.
    bool isActivating() const { return m_activations > 0; }
    // An activation of this watch's own retries is under way: what it says
    // about the appliance being away was said already.
    bool isRetrying() const { return m_retrying; }
    // While this holds no retry is made (a submission activates the control
    // itself between its destinations).
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    void setRetryMs(int ms) { m_retryMs = ms; }
    // The timer of the retries (tests run one by hand); the watch's own
    // until set.
    void setTimer(OneShotTimer& timer);

Q_SIGNALS:
    // The appliance answered again after it had been away.
    void backOnline();
    // The activations under way ended, whoever started them; isAway()
    // tells their answer.
    void activationFinished();

private:
    void retry();
    void scheduleRetry();

    CorvanefaxHost& m_host;
    QtOneShotTimer m_ownTimer;
    OneShotTimer* m_timer = &m_ownTimer;
    int m_retryMs = RetryMs;
    std::function<bool()> m_busy;
    int m_activations = 0; // under way, one inside the other
    bool m_retrying = false;
};

} // namespace kestrel
