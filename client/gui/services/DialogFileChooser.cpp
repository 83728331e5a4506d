#include "DialogFileChooser.h"

#include "QtFileFilter.h"

#include <QFileDialog>

namespace kestrel {

std::optional<QString> DialogFileChooser::chooseFileToOpen(QWidget* parent, const QString& filter)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, QString(), QString(), qtFileFilter(filter));
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen;
}

} // namespace kestrel
