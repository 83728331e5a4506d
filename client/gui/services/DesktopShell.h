#pragma once

#include "Shell.h"

namespace kestrel {

// The production shell: QDesktopServices and the window manager's
// stay-on-top hint.
class DesktopShell : public Shell
{
public:
    Status OpenDocument(const QUrl& target) override;
    void SetAlwaysOnTop(QWidget* window, bool flag) override;
};

} // namespace kestrel
