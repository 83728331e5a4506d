#pragma once

#include <QFile>
#include <QString>

#include <sys/stat.h>

// Whole-file reads and writes for tests that check bytes on disk.
namespace kestrel::testfiles {

inline QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The permission bits, as ls shows them in octal; -1 when missing.
inline int mode(const QString& path)
{
    struct stat info = {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

} // namespace kestrel::testfiles
