#include "MessageBox.h"

#include <cstdio>

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
        return QStringLiteral("critical");
    case MsgIcon::Question:
        return QStringLiteral("question");
    case MsgIcon::Exclamation:
        return QStringLiteral("exclamation");
    case MsgIcon::Information:
        return QStringLiteral("information");
    }
    return {};
}

MsgAnswer PlainTextMessageBox::show(const MessageBoxRequest& request)
{
    QString line = request.title.isEmpty() ? QString() : request.title + QStringLiteral(": ");
    line += request.text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
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
