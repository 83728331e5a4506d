#pragma once

#include "Expected.h"

#include <QString>

namespace kestrel {

// One INI file read and written one key at a time, the way the Windows
// private-profile calls do it: section and key match without regard to case,
// a missing key gives the caller's default, a value is cut to 254 characters
// (the 255-character buffer of the original), and a write changes only the
// one line of its key, or adds it to its section, or appends the section.
// Every other byte of the file stays as it was.
//
// Files are UTF-8. A file that is not valid UTF-8 is one copied from a Windows
// workstation and is read as Windows-1252; a value written into it is stored
// in Windows-1252 when every character has a byte there, otherwise the whole
// file is converted to UTF-8 first, so no text in it turns into garbage.
//
// The settings file holds the appliance password: every write replaces the
// file atomically with one created readable by its owner only (mode 0600);
// in a folder that takes no new file, a file the user may write is written
// in place. Only a regular file (or a symlink to one) of at most 1 MiB is
// read; anything else reads as the defaults and is never written over.
class PrivateProfile
{
public:
    // Characters a read returns at most: the buffer minus its terminator.
    static constexpr int MaxValueLength = 254;

    static constexpr qint64 MaxFileSize = 1024 * 1024;

    explicit PrivateProfile(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    // The value stored under section and key, or defaultValue when the file,
    // the section or the key is missing.
    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;

    // Stores value under section and key, creating the file, section or key
    // as needed. Values with surrounding blanks or quotes are written quoted
    // so that a read gives them back unchanged. Refuses a value with a line
    // break (it would add lines to the file) and leaves the file untouched
    // when it fails.
    Status writeString(const QString& section, const QString& key, const QString& value);

    // Why the file's contents are not in use (not a regular file, too
    // large, unreadable); success when they are, or when there is no file.
    Status readable() const;

    // Makes a file of the user's own that others may read or write
    // owner-only (mode 0600).
    Status restrictAccess();

private:
    // The file's bytes (none when it is missing), or why they are refused.
    Expected<QByteArray> load() const;

    QString m_path;
};

} // namespace kestrel
