#pragma once

#include <QList>
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

// For hosts without windows: writes the box to standard error and takes the
// default button.
class PlainTextMessageBox : public IMessageBox
{
public:
    MsgAnswer show(const MessageBoxRequest& request) override;
};

// Test answerer: records every box and returns scripted answers (the default
// button once the script is used up).
class ScriptedMessageBox : public IMessageBox
{
public:
    MsgAnswer show(const MessageBoxRequest& request) override;
    void setNextAnswers(const QList<MsgAnswer>& answers) { m_answers = answers; }
    const QList<MessageBoxRequest>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<MsgAnswer> m_answers;
    QList<MessageBoxRequest> m_shown;
};

MsgAnswer defaultAnswer(MsgButtons buttons);
QString iconName(MsgIcon icon);

} // namespace kestrel
