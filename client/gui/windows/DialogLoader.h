#pragma once

#include "Dialog.h"
#include "TrayMenu.h"

namespace kestrel {

// The pop-up menu Dialog as the tray menu loads it: its entries reach the
// tray menu's signals. messages and shell must outlive the tray menu.
inline TrayMenu::Loader dialogLoader(IMessageBox& messages, Shell& shell, Dialog::Intervals intervals = {})
{
    return [&messages, &shell, intervals](TrayMenu& menu) -> QWidget* {
        auto* dialog = new Dialog(messages, shell, intervals);
        QObject::connect(dialog, &Dialog::sendWindowRequested, &menu, &TrayMenu::sendWindowRequested);
        QObject::connect(dialog, &Dialog::statusWindowRequested, &menu, &TrayMenu::statusWindowRequested);
        QObject::connect(dialog, &Dialog::setupRequested, &menu, &TrayMenu::setupRequested);
        QObject::connect(dialog, &Dialog::quitRequested, &menu, &TrayMenu::quitRequested);
        return dialog;
    };
}

} // namespace kestrel
