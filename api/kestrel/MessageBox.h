#pragma once

#include <QString>

namespace kestrel {

enum class MsgIcon
{
    None,
    Critical,
    Question,
    Exclamation,
    Information
};
enum class MsgButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel
};
enum class MsgAnswer
{
    Ok,
    Cancel,
    Yes,
    No
};

struct MessageBoxRequest
{
    QString text;
    QString title;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
};

// Every modal message box of both deliverables goes through this service, so
// hosts without windows can print them and tests can answer them.
class IMessageBox
{
public:
    virtual ~IMessageBox() = default;
    virtual MsgAnswer show(const MessageBoxRequest& request) = 0;
};

// The answer of a box that nobody answers: its first button.
inline MsgAnswer defaultAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
    case MsgButtons::OkCancel:
        return MsgAnswer::Ok;
    case MsgButtons::YesNo:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Yes;
    }
    return MsgAnswer::Ok;
}

} // namespace kestrel
