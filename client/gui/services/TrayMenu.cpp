#include "TrayMenu.h"

#include "ClientTexts.h"

namespace kestrel {

TrayMenu::TrayMenu(IMessageBox& messages, Shell& shell, QObject* parent)
    : QObject(parent), m_messages(messages), m_shell(shell)
{}

TrayMenu::~TrayMenu()
{
    delete m_dialog.data();
}

void TrayMenu::open()
{
    if (m_dialog && m_dialog->isVisible())
        return;
    // A menu that is loaded but hidden has outlived its time while its
    // "Esci" question is open; it goes once that is answered.
    auto* dialog = new Dialog(m_messages, m_shell, m_intervals);
    // Screen readers and automation find the menu by its name, as they find
    // its entries.
    dialog->setWindowTitle(texts::TrayMenuName);
    dialog->setAccessibleName(texts::TrayMenuName);
    connect(dialog, &Dialog::sendWindowRequested, this, &TrayMenu::sendWindowRequested);
    connect(dialog, &Dialog::statusWindowRequested, this, &TrayMenu::statusWindowRequested);
    connect(dialog, &Dialog::setupRequested, this, &TrayMenu::setupRequested);
    connect(dialog, &Dialog::quitRequested, this, &TrayMenu::quitRequested);
    m_dialog = dialog;
    dialog->show();
}

} // namespace kestrel
