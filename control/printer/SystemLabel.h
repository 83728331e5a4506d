#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kestrel {

namespace os {
// Where the system names itself, in the order they are read.
inline const QStringList ReleaseFiles{QStringLiteral("/etc/os-release"),
                                      QStringLiteral("/usr/lib/os-release")};
// More than any os-release holds; the rest of a larger file is not read.
constexpr qint64 MaxReleaseBytes = 64 * 1024;
} // namespace os

// The value of `key` in the text of an os-release file, its quotes and
// escapes removed; nothing when the key is absent.
std::optional<QString> osReleaseValue(const QByteArray& text, const QByteArray& key);

// The name a system gives itself for people in the text of an os-release
// file: PRETTY_NAME, else NAME and VERSION_ID; empty when it has neither.
QString osReleaseLabel(const QByteArray& text);

// The first maxBytes of a regular file; nothing for a file that cannot be
// opened or is no regular file (a FIFO or a device would block or do harm).
std::optional<QByteArray> readSmallRegularFile(const QString& path, qint64 maxBytes);

// The name of the running system, as the capture printer's installation
// names it: from the first of `releaseFiles` that names it, else the
// kernel's name.
QString systemLabel(const QStringList& releaseFiles = os::ReleaseFiles);

} // namespace kestrel
