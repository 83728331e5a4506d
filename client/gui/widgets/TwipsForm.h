#pragma once

#include "ScreenTwips.h"

#include <QString>
#include <QWidget>

namespace kestrel {

// Gives a control the name it has in the window's design and the name
// screen readers and GUI automation use.
template <typename Widget>
Widget* named(Widget* widget, const QString& objectName, const QString& accessibleName)
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessibleName);
    return widget;
}

// A caption without its keyboard-accelerator mark, as screen readers say it.
inline QString spoken(QString caption)
{
    return caption.remove(u'&');
}

// Lays a window's controls out by their design positions in twips, at the
// logical dpi of the screen the window is on.
class TwipsForm
{
public:
    explicit TwipsForm(QWidget* window) : m_window(window) {}

    int px(int twips) const { return ScreenTwips::pixels(m_window, twips); }
    void place(QWidget* widget, int left, int top, int width, int height) const
    {
        widget->setGeometry(px(left), px(top), px(width), px(height));
    }
    // The window's client area, fixed.
    void fixSize(int widthTwips, int heightTwips) const
    {
        m_window->setFixedSize(ScreenTwips::size(m_window, widthTwips, heightTwips));
    }
    // The size it opens at; the user may resize it.
    void openSize(int widthTwips, int heightTwips) const
    {
        m_window->resize(ScreenTwips::size(m_window, widthTwips, heightTwips));
    }

private:
    QWidget* m_window;
};

} // namespace kestrel
