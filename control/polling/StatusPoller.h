#pragma once

#include "Activity.h"
#include "Logger.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace kestrel {

// Timer1 and its tick: while enabled, fetches the appliance's three status
// pages every 7 seconds and hands each complete page to the host. A tick runs
// on the calling thread; its requests process events while they wait, so the
// host stays responsive, and one time limit bounds all three requests. A page
// larger than httpGet's limit is dropped with a debug line; a request to quit
// (Wait.h) ends the tick at once.
class StatusPoller : public QObject
{
    Q_OBJECT

public:
    static constexpr int IntervalMs = 7000;

    explicit StatusPoller(QObject* parent = nullptr);

    // The appliance address (IndirizzoIP), read at the start of each tick.
    void setAddress(const QString& address) { m_address = address; }
    QString address() const { return m_address; }

    // The owner's frames: a tick counts as one of them while it runs, so the
    // owner's parts outlive a tick that waits for a page.
    void setActivity(std::shared_ptr<Activity> activity) { m_activity = std::move(activity); }

    // Where the debug lines go; none by default.
    void setLogger(Logger logger) { m_logger = std::move(logger); }

    // On: Timer1 runs with a 7000 ms interval. Off: Timer1 stops, and a tick
    // that is running goes no further than its current request.
    void enable(bool on);
    bool isEnabled() const { return m_timer1.isActive(); }

    // Time the three requests of one tick share (60 s by default).
    void setTickTimeLimitMs(int ms) { m_tickTimeLimitMs = qMax(1, ms); }

    const QTimer& Timer1() const { return m_timer1; }
    bool isTicking() const { return m_ticking; }

    // One round of the three pages. A tick that starts while another is still
    // running (its requests process events) is skipped.
    void tick();

Q_SIGNALS:
    void XMLServerStatus(const QString& XML_Output);
    void XMLFaxOutStatus(const QString& XML_Output);
    void XMLFaxDoneStatus(const QString& XML_Output);

private:
    void log(const QString& line) const;

    QTimer m_timer1{this};
    QString m_address;
    Logger m_logger;
    std::shared_ptr<Activity> m_activity;
    int m_tickTimeLimitMs;
    bool m_ticking = false;
    bool m_stopTick = false;
};

} // namespace kestrel
