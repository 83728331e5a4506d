#include "MenuSlide.h"

#include <algorithm>

namespace kestrel {

MenuSlide::MenuSlide(int startTop, int restingTop, int step)
    : m_top(startTop), m_resting(restingTop), m_step(std::max(step, 1))
{}

bool MenuSlide::tick()
{
    if (finished())
        return false;
    m_top = std::max(m_top - m_step, m_resting);
    return true;
}

} // namespace kestrel
