#pragma once

namespace kestrel {

// The pop-up menu's way up from below the screen: one step per tick of its
// slide timer until its top reaches the resting line (the bottom of the
// screen's free area less the menu's height). The last step is shortened so
// the menu rests flush on that line. Positions in pixels, y growing down.
class MenuSlide
{
public:
    // A step below 1 pixel is taken as 1, so the slide always ends.
    MenuSlide(int startTop, int restingTop, int step);

    int top() const { return m_top; }
    bool finished() const { return m_top <= m_resting; }

    // Moves one step; false once the menu rests (the timer stops then).
    bool tick();

private:
    int m_top;
    int m_resting;
    int m_step;
};

} // namespace kestrel
