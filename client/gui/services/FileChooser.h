#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace kestrel {

// The file-open dialog, replaceable in tests.
class FileChooser
{
public:
    virtual ~FileChooser() = default;

    // Asks for an existing file. filter is in the classic form
    // "description|patterns|...|" (see qtFileFilter). The full path of the
    // chosen file, or nothing when the user cancelled.
    virtual std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& filter) = 0;
};

} // namespace kestrel
