#include "MessageBox.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {

MsgAnswer defaultAnswer(MsgButtons buttons)
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

QString iconName(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        return {};
    case MsgIcon::Critical:
        return u"critical"_s;
    case MsgIcon::Question:
        return u"question"_s;
    case MsgIcon::Exclamation:
        return u"exclamation"_s;
    case MsgIcon::Information:
        return u"information"_s;
    }
    return {};
}

MsgAnswer PlainTextMessageBox::show(const MessageBoxRequest& request)
{
    QString line = request.title.isEmpty() ? QString() : request.title + u": "_s;
    line += request.text;
    line.replace(u'\r', u' ');
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    return defaultAnswer(request.buttons);
}

MsgAnswer ScriptedMessageBox::show(const MessageBoxRequest& request)
{
    m_shown.append(request);
    if (!m_answers.isEmpty())
        return m_answers.takeFirst();
    return defaultAnswer(request.buttons);
}

} // namespace kestrel
