#include "PlainTextMessageBox.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel {

MsgAnswer PlainTextMessageBox::show(const MessageBoxRequest& request)
{
    QString line = request.title.isEmpty() ? QString() : request.title + u": "_s;
    line += request.text;
    // One line on a terminal, whatever line breaks the text holds.
    line.replace(u"\r\n"_s, u" "_s);
    line.replace(u'\r', u' ');
    line.replace(u'\n', u' ');
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    return defaultAnswer(request.buttons);
}

} // namespace kestrel
