#pragma once

#include "OneShotTimer.h"

namespace kestrel::test {

// A timer that runs out when the test says so.
class ManualTimer : public OneShotTimer
{
public:
    int interval = -1; // of the last start
    int starts = 0;

    void start(int ms, std::function<void()> timeout) override
    {
        interval = ms;
        ++starts;
        m_active = true;
        m_timeout = std::move(timeout);
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    void fire()
    {
        if (!m_active)
            return;
        m_active = false;
        m_timeout();
    }

private:
    bool m_active = false;
    std::function<void()> m_timeout;
};

} // namespace kestrel::test
