#include "ListingCopy.h"

#include "OwnFile.h"
#include "PrivateFolder.h"
#include "ServerContactStore.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr quint32 Magic = 0x4b52434c; // "KRCL"
constexpr quint32 Format = 1;
constexpr auto StreamVersion = QDataStream::Qt_6_0;

Error systemError(const QString& path, int number)
{
    return Error{path + u": "_s + qt_error_string(number), number};
}

} // namespace

Expected<QString> ListingCopy::pathFor(const QString& address)
{
    const QString data = PrivateFolder::dataHome();
    if (data.isEmpty())
        return Error{u"no data folder ($XDG_DATA_HOME, $HOME)"_s};
    const Expected<QString> folder = PrivateFolder::own(data + u"/kestrel"_s);
    if (!folder)
        return folder.error();
    const QByteArray digest = QCryptographicHash::hash(ServerContactStore::maskPassword(address).toUtf8(),
                                                       QCryptographicHash::Sha256)
                                  .toHex()
                                  .left(24);
    return QString(*folder + u"/shared-contacts-"_s + QString::fromLatin1(digest));
}

Expected<QList<ContactRow>> ListingCopy::read(const QString& path)
{
    Expected<OwnFile> own = OwnFile::open(
        path,
        {.flags = O_RDONLY, .mode = OwnFile::Mode::RefuseShared, .singleLink = true, .maxBytes = MaxBytes});
    if (!own)
        return own.error();
    if ((own->info().st_mode & 07777) != (S_IRUSR | S_IWUSR))
        return Error{path + u": not mode 0600"_s, OwnFile::Shared};
    QFile file;
    if (!file.open(own->release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return Error{path + u": "_s + file.errorString()};
    QDataStream in(&file);
    in.setVersion(StreamVersion);
    quint32 magic = 0, format = 0, count = 0;
    in >> magic >> format >> count;
    if (magic != Magic || format != Format)
        return Error{path + u": not a copy of a listing"_s};
    QList<ContactRow> rows;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        ContactRow row;
        in >> row.rowid >> row.version >> row.number >> row.description >> row.group;
        rows.append(row);
    }
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return Error{path + u": damaged"_s};
    return rows;
}

Status ListingCopy::write(const QString& path, const QList<ContactRow>& rows)
{
    QByteArray content;
    {
        QDataStream out(&content, QIODevice::WriteOnly);
        out.setVersion(StreamVersion);
        out << Magic << Format << quint32(rows.size());
        for (const ContactRow& row : rows)
            out << row.rowid << row.version << row.number << row.description << row.group;
    }
    // Written aside under a name of its own and renamed into place: a reader
    // finds the old copy or the new one, never half of one.
    const QString aside = path + u".new-"_s + QString::number(QRandomGenerator::global()->generate64(), 16);
    Expected<OwnFile> file =
        OwnFile::open(aside, {.flags = O_WRONLY | O_CREAT | O_EXCL, .mode = OwnFile::Mode::MakeOwnerOnly});
    if (!file)
        return file.error();
    const QByteArray name = QFile::encodeName(aside);
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n =
            ::write(file->descriptor(), content.constData() + written, size_t(content.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const Error error = systemError(aside, n < 0 ? errno : EIO);
            ::unlink(name.constData());
            return error;
        }
        written += n;
    }
    if (::fsync(file->descriptor()) != 0 ||
        ::rename(name.constData(), QFile::encodeName(path).constData()) != 0) {
        const Error error = systemError(path, errno);
        ::unlink(name.constData());
        return error;
    }
    return {};
}

} // namespace kestrel
