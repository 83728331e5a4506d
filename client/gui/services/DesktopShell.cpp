#include "DesktopShell.h"

#include <QDesktopServices>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace kestrel {

void DesktopShell::SetAlwaysOnTop(QWidget* window, bool flag)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == flag)
        return;
    // Changing a window's flags re-creates it hidden; put it back as it was.
    const bool visible = window->isVisible();
    const bool placed = window->testAttribute(Qt::WA_Moved);
    const QRect geometry = window->geometry();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, flag);
    if (visible || placed)
        window->setGeometry(geometry);
    if (visible)
        window->show();
}

Status DesktopShell::OpenDocument(const QUrl& target)
{
    if (QDesktopServices::openUrl(target))
        return {};
    return Error{u"no program opens %1"_s.arg(target.toString(QUrl::FullyEncoded))};
}

} // namespace kestrel
