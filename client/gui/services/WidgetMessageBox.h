#pragma once

#include "MessageBox.h"

#include <QString>

namespace kestrel {

// The production message box: a modal QMessageBox. Texts come with CR, CR LF
// or LF line breaks; each shows as one line break.
class WidgetMessageBox : public IMessageBox
{
public:
    MsgAnswer show(const MessageBoxRequest& request) override;

    // The text as the box shows it.
    static QString displayText(const QString& text);
};

} // namespace kestrel
