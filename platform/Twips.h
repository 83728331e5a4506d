#pragma once

#include <QtMath>

namespace kestrel {

// 1440 twips per inch; at 96 dpi that is 15 twips per pixel.
constexpr int TwipsPerInch = 1440;

inline int twipsToPixels(int twips, qreal logicalDpi = 96.0)
{
    return qRound(twips * logicalDpi / TwipsPerInch);
}

} // namespace kestrel
