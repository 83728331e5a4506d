#include "DeflatePace.h"

#include <algorithm>

namespace kestrel {

int DeflatePace::nextLevel(int level, const Sample& sample)
{
    const qint64 stretch = sample.busy + sample.blocked;
    if (stretch <= 0)
        return std::clamp(level, MinLevel, MaxLevel);
    // The connection waited for more than a tenth of the stretch: faster,
    // two steps when it waited for more than half.
    if (sample.starved * 10 > stretch)
        return std::clamp(level - (sample.starved * 2 > stretch ? 2 : 1), MinLevel, MaxLevel);
    // The deflater was idle two thirds of the time, the connection hardly
    // ever: a step tighter (a step costs well under a factor of three in
    // speed, so the deflater stays ahead).
    if (sample.blocked >= 2 * sample.busy && sample.starved * 50 <= stretch)
        return std::clamp(level + 1, MinLevel, MaxLevel);
    return std::clamp(level, MinLevel, MaxLevel);
}

} // namespace kestrel
