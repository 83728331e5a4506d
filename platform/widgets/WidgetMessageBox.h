#pragma once

#include "MessageBox.h"

namespace kestrel {

// The production message box: a modal QMessageBox.
class WidgetMessageBox : public IMessageBox
{
public:
    MsgAnswer show(const MessageBoxRequest& request) override;
};

// The box a host should use: windows when the application has them, plain
// text otherwise.
IMessageBox& defaultMessageBox();

} // namespace kestrel
