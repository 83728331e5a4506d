#pragma once

#include "FileChooser.h"

namespace kestrel {

// The production file chooser: a modal QFileDialog.
class DialogFileChooser : public FileChooser
{
public:
    std::optional<QString> chooseFileToOpen(QWidget* parent, const QString& filter) override;
};

} // namespace kestrel
