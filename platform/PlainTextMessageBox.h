#pragma once

#include "MessageBox.h"

namespace kestrel {

// For hosts without windows: writes the box to standard error and takes the
// default button.
class PlainTextMessageBox : public IMessageBox
{
public:
    MsgAnswer show(const MessageBoxRequest& request) override;
};

} // namespace kestrel
