#include "DetachedProcessStarter.h"

#include <QProcess>

using namespace Qt::StringLiterals;

namespace kestrel {

Status DetachedProcessStarter::startDetached(const QString& program, const QStringList& arguments,
                                             const QString& workingDirectory)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingDirectory);
    if (!process.startDetached())
        return Error{u"cannot start %1: %2"_s.arg(program, process.errorString())};
    return {};
}

} // namespace kestrel
