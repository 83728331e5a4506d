#pragma once

#include "Twips.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QSize>
#include <QWidget>

namespace kestrel {

// Twips on the screen a window is on (the primary screen before it has
// one), at that screen's logical dpi.
class ScreenTwips
{
public:
    static QScreen* screenOf(const QWidget* window)
    {
        QScreen* screen = window ? window->screen() : nullptr;
        return screen ? screen : QGuiApplication::primaryScreen();
    }

    static qreal dpi(const QWidget* window)
    {
        const QScreen* screen = screenOf(window);
        return screen ? screen->logicalDotsPerInch() : 96.0;
    }

    static int pixels(const QWidget* window, int twips) { return twipsToPixels(twips, dpi(window)); }

    static QSize size(const QWidget* window, int widthTwips, int heightTwips)
    {
        return {pixels(window, widthTwips), pixels(window, heightTwips)};
    }

    // The screen less the panels and docks.
    static QRect availableArea(const QWidget* window)
    {
        const QScreen* screen = screenOf(window);
        return screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    }
};

} // namespace kestrel
