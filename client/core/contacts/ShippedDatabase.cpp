#include "ShippedDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QString cleanAbsolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QStringList ShippedDatabase::candidates()
{
    QStringList paths;
    if (QCoreApplication::instance())
        paths << cleanAbsolute(QCoreApplication::applicationDirPath() + u"/../share/kestrel/rubrica.db"_s);
    paths << QString::fromUtf8(KESTREL_RUBRICA_INSTALLED) << QString::fromUtf8(KESTREL_RUBRICA_BUILT);
    paths.removeDuplicates();
    return paths;
}

QString ShippedDatabase::locate()
{
    for (const QString& path : candidates()) {
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}

bool ShippedDatabase::isShipped(const QString& path)
{
    struct stat mine = {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &mine) != 0)
        return false;
    for (const QString& candidate : candidates()) {
        struct stat shipped = {};
        if (::stat(QFile::encodeName(candidate).constData(), &shipped) == 0 &&
            shipped.st_dev == mine.st_dev && shipped.st_ino == mine.st_ino)
            return true;
    }
    return false;
}

Status ShippedDatabase::copyOnFirstStart(const QString& defaultPath, const QString& actualPath,
                                         const QString& shippedPath)
{
    if (defaultPath.isEmpty() || cleanAbsolute(actualPath) != cleanAbsolute(defaultPath))
        return {};
    if (QFileInfo::exists(defaultPath))
        return {};
    QFile shipped(shippedPath);
    if (shippedPath.isEmpty() || !shipped.open(QIODevice::ReadOnly))
        return Error{u"No shipped contact database to copy ("_s + shippedPath + u"): "_s +
                     shipped.errorString()};
    const QByteArray content = shipped.readAll();

    QDir().mkpath(QFileInfo(defaultPath).absolutePath());
    // Written aside and renamed into place, so that an interrupted copy never
    // leaves a half database that a later start would take as the user's.
    QSaveFile copy(defaultPath);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(content) != content.size() || !copy.commit())
        return Error{u"Cannot create the contact database "_s + defaultPath + u": "_s + copy.errorString()};
    QFile::setPermissions(defaultPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return {};
}

} // namespace kestrel
