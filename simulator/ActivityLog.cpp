#include "ActivityLog.h"

#include <QTime>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace kestrel::simulator::activity {
namespace {
bool quietMode = false;
}

void setQuiet(bool quiet)
{
    quietMode = quiet;
}

void log(const QString& line)
{
    if (quietMode)
        return;
    const QByteArray text = QTime::currentTime().toString(u"HH:mm:ss.zzz "_s).toUtf8() + line.toUtf8() + '\n';
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stderr);
    std::fflush(stderr);
}

} // namespace kestrel::simulator::activity
