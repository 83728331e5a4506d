#pragma once

#include "CorvanefaxHost.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace kestrel {

// Keeps the fax control activated while the appliance comes and goes. While
// it is away the control is activated again every minute (print jobs are
// taken all the while), and once more before a fax is sent; when an
// activation finds it again the window is told once.
class ApplianceWatch : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 60 * 1000;

    explicit ApplianceWatch(CorvanefaxHost& host, QObject* parent = nullptr);

    // Activates the control now.
    MethodError activate();
    bool isAway() const { return m_host.applianceAway(); }
    // An activation of this watch's own retries is under way: what it says
    // about the appliance being away was said already.
    bool isRetrying() const { return m_retrying; }
    // While this holds no retry is made (a submission activates the control
    // itself between its destinations).
    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    void setRetryMs(int ms) { m_retry.setInterval(ms); }

Q_SIGNALS:
    // The appliance answered again after it had been away.
    void backOnline();

private:
    void retry();
    void afterActivation(bool wasAway);

    CorvanefaxHost& m_host;
    QTimer m_retry;
    std::function<bool()> m_busy;
    bool m_retrying = false;
};

} // namespace kestrel
