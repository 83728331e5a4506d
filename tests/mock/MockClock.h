#pragma once

#include "Clock.h"

namespace kestrel {

// A clock that shows the time the test sets.
class MockClock : public Clock
{
public:
    explicit MockClock(QDateTime now = {}) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void setNow(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
};

} // namespace kestrel
