#include "WindowPlacement.h"

#include "ScreenTwips.h"

#include <QWidget>

namespace kestrel::WindowPlacement {

void name(QWidget* window, const QString& objectName, const QString& title)
{
    window->setObjectName(objectName);
    window->setWindowTitle(title);
    window->setAccessibleName(title);
}

void toBottomRight(QWidget* window)
{
    if (!ScreenTwips::screenOf(window))
        return;
    const QRect area = ScreenTwips::availableArea(window);
    const QRect frame = window->frameGeometry();
    const QSize decoration = frame.size() - window->size();
    window->move(area.right() + 1 - frame.width(),
                 area.bottom() + 1 - window->height() - decoration.height());
}

void showInFront(QWidget* window)
{
    if (window->isMinimized())
        window->showNormal();
    else
        window->show();
    window->raise();
    window->activateWindow();
}

} // namespace kestrel::WindowPlacement
