#include "TrayMenu.h"

#include "ClientTexts.h"

#include <utility>

namespace kestrel {

TrayMenu::TrayMenu(Loader load, QObject* parent) : QObject(parent), m_load(std::move(load)) {}

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
    QWidget* dialog = m_load(*this);
    // Screen readers and automation find the menu by its name, as they find
    // its entries.
    dialog->setWindowTitle(texts::TrayMenuName);
    dialog->setAccessibleName(texts::TrayMenuName);
    m_dialog = dialog;
    dialog->show();
}

} // namespace kestrel
