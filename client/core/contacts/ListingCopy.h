#pragma once

#include "ContactRow.h"
#include "Expected.h"

#include <QList>
#include <QString>

namespace kestrel {

// The last listing a shared address book gave, kept in a file of the
// user's own so that a program started while the server is away still
// lists those contacts (read-only). The file sits in the user's private
// data folder (~/.local/share/kestrel, mode 0700), is written whole aside
// and renamed into place, and is read only when it is a regular file of
// this user's, mode 0600, with no other name: a link, another user's file
// or one others may read is left alone.
class ListingCopy
{
public:
    // Larger files are refused unread.
    static constexpr qint64 MaxBytes = 256LL * 1024 * 1024;

    // The copy of the book at address, named by a digest of the address
    // with its password masked; why there is no private folder for it.
    static Expected<QString> pathFor(const QString& address);

    static Expected<QList<ContactRow>> read(const QString& path);
    static Status write(const QString& path, const QList<ContactRow>& rows);
};

} // namespace kestrel
