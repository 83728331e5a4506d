#pragma once

#include <QTimer>

#include <functional>
#include <utility>

namespace kestrel {

// A single-shot timer, replaceable in tests so that they run no clock.
class OneShotTimer
{
public:
    virtual ~OneShotTimer() = default;
    // Calls timeout once, ms from now, unless stopped or started again.
    virtual void start(int ms, std::function<void()> timeout) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

// The real one, on the event loop.
class QtOneShotTimer : public OneShotTimer
{
public:
    QtOneShotTimer()
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            // Taken out first: the call may start the timer again, with a
            // new one, while it runs.
            if (const std::function<void()> timeout = std::exchange(m_timeout, {}))
                timeout();
        });
    }
    void start(int ms, std::function<void()> timeout) override
    {
        m_timeout = std::move(timeout);
        m_timer.start(ms);
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void()> m_timeout;
};

} // namespace kestrel
