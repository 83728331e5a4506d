#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QString absoluteClean(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool isWritableFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isDir() && info.isWritable();
}

// Parents as the desktop makes them; the folder itself private to the user.
void createPrivateFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    ::mkdir(QFile::encodeName(path).constData(), S_IRWXU);
}

} // namespace

ProgramFolder::Sources ProgramFolder::currentSources()
{
    Sources sources;
    sources.override = qEnvironmentVariable(Variable);
    if (QCoreApplication::instance())
        sources.executableFolder = QCoreApplication::applicationDirPath();
    sources.configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    sources.home = QDir::homePath();
    return sources;
}

QString ProgramFolder::resolve(const Sources& sources)
{
    if (!sources.override.isEmpty()) {
        const QString folder = absoluteClean(sources.override);
        createPrivateFolder(folder);
        return folder;
    }
    if (!sources.executableFolder.isEmpty() && isWritableFolder(sources.executableFolder))
        return absoluteClean(sources.executableFolder);
    // A relative XDG_CONFIG_HOME is invalid and ignored, as desktops do.
    const QString configHome =
        QDir::isAbsolutePath(sources.configHome) ? sources.configHome : sources.home + u"/.config"_s;
    const QString folder = QDir::cleanPath(configHome + u"/kestrel"_s);
    createPrivateFolder(folder);
    return folder;
}

} // namespace kestrel
