#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace kestrel {

// The frames an object has on the stack while its code waits in a nested
// event loop or runs a handler of its host. The host may destroy the object
// from there; what those frames use must then outlive them. The object counts
// its frames with a Scope each. When it goes while one is on the stack,
// end() leaves the finishing to the last frame that leaves, and every frame
// checks alive() after each wait and each handler, and returns at once when
// the object is gone.
class Activity
{
public:
    class Scope
    {
    public:
        explicit Scope(std::shared_ptr<Activity> activity) : m_activity(std::move(activity))
        {
            ++m_activity->m_depth;
        }
        ~Scope()
        {
            if (--m_activity->m_depth == 0 && m_activity->m_finish)
                std::exchange(m_activity->m_finish, {})();
        }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

        bool alive() const { return !m_activity->m_ended; }

    private:
        std::shared_ptr<Activity> m_activity;
    };

    bool busy() const { return m_depth > 0; }
    bool ended() const { return m_ended; }

    // The object goes. `finish` runs now when none of its frames is on the
    // stack, otherwise when the last of them leaves.
    void end(std::function<void()> finish)
    {
        m_ended = true;
        if (m_depth == 0)
            finish();
        else
            m_finish = std::move(finish);
    }

private:
    int m_depth = 0;
    bool m_ended = false;
    std::function<void()> m_finish;
};

} // namespace kestrel
