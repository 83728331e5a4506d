#include "PrivateProfile.h"

#include "RegularFile.h"
#include "Windows1252.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

enum class Encoding
{
    Utf8,
    Windows1252
};

enum class LineKind
{
    Other,
    Section,
    Entry
};

struct Line
{
    qsizetype start = 0;
    qsizetype length = 0; // without its line break
    qsizetype breakLength = 0;
    LineKind kind = LineKind::Other;
    QString name; // section name or key, trimmed
    QString value;
};

const QByteArray Utf8Bom = "\xEF\xBB\xBF";

// The file split into lines, each classified; offsets point into bytes.
struct Document
{
    QByteArray bytes;
    Encoding encoding = Encoding::Utf8;
    qsizetype bomLength = 0;
    QList<Line> lines;

    QByteArray lineBreak() const
    {
        for (const Line& line : lines) {
            if (line.breakLength > 0)
                return bytes.mid(line.start + line.length, line.breakLength);
        }
        return "\n";
    }
};

bool isUtf8(QByteArrayView bytes)
{
    // Stateless: a file that ends inside a sequence (a Windows-1252 "à" as
    // its last byte) is no UTF-8 either.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString ignored = decoder(bytes);
    return !decoder.hasError();
}

QString decode(QByteArrayView bytes, Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QString::fromUtf8(bytes) : Windows1252::decode(bytes);
}

void classify(Line& line, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(u'[')) {
        const qsizetype close = trimmed.indexOf(u']');
        line.kind = LineKind::Section;
        line.name = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
        return;
    }
    const qsizetype equals = trimmed.indexOf(u'=');
    if (trimmed.startsWith(u';') || equals <= 0)
        return;
    line.kind = LineKind::Entry;
    line.name = trimmed.left(equals).trimmed();
    line.value = trimmed.mid(equals + 1).trimmed();
}

Document parse(QByteArray bytes)
{
    Document doc;
    doc.bytes = std::move(bytes);
    doc.encoding = isUtf8(doc.bytes) ? Encoding::Utf8 : Encoding::Windows1252;
    doc.bomLength = doc.bytes.startsWith(Utf8Bom) ? Utf8Bom.size() : 0;
    qsizetype start = doc.bomLength;
    while (start < doc.bytes.size()) {
        Line line;
        line.start = start;
        const qsizetype newline = doc.bytes.indexOf('\n', start);
        const qsizetype end = newline < 0 ? doc.bytes.size() : newline;
        line.length = end - start;
        line.breakLength = newline < 0 ? 0 : 1;
        if (line.length > 0 && doc.bytes[end - 1] == '\r') {
            --line.length;
            ++line.breakLength;
        }
        classify(line, decode(QByteArrayView(doc.bytes).sliced(start, line.length), doc.encoding));
        doc.lines.append(line);
        start = line.start + line.length + line.breakLength;
    }
    return doc;
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool isQuote(QChar c)
{
    return c == u'"' || c == u'\'';
}

bool isQuoted(const QString& value)
{
    return value.size() >= 2 && isQuote(value.front()) && value.back() == value.front();
}

// Index of the entry for key in the first section of that name holding it,
// or -1. Later duplicates of a section are searched too, so that a file with
// a repeated header still finds its key.
qsizetype findEntry(const Document& doc, const QString& section, const QString& key)
{
    bool inSection = false;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        if (line.kind == LineKind::Section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == LineKind::Entry && sameName(line.name, key))
            return i;
    }
    return -1;
}

// Index of the line after which a new key of section goes: its last line
// that is not blank. -1 when the section is missing.
qsizetype findSectionEnd(const Document& doc, const QString& section)
{
    qsizetype header = -1;
    for (qsizetype i = 0; i < doc.lines.size() && header < 0; ++i) {
        if (doc.lines[i].kind == LineKind::Section && sameName(doc.lines[i].name, section))
            header = i;
    }
    if (header < 0)
        return -1;
    qsizetype last = header;
    for (qsizetype i = header + 1; i < doc.lines.size() && doc.lines[i].kind != LineKind::Section; ++i) {
        const QByteArrayView text = QByteArrayView(doc.bytes).sliced(doc.lines[i].start, doc.lines[i].length);
        if (!text.trimmed().isEmpty())
            last = i;
    }
    return last;
}

QString storedValue(const Line& line)
{
    QString value = isQuoted(line.value) ? line.value.mid(1, line.value.size() - 2) : line.value;
    if (value.size() > PrivateProfile::MaxValueLength) {
        // Never keep half of a surrogate pair.
        const bool splitsPair = value[PrivateProfile::MaxValueLength - 1].isHighSurrogate();
        value.truncate(PrivateProfile::MaxValueLength - (splitsPair ? 1 : 0));
    }
    return value;
}

Status checkNames(const QString& section, const QString& key, const QString& value)
{
    const auto hasBreak = [](const QString& text) {
        return text.contains(u'\n') || text.contains(u'\r') || text.contains(QChar(0));
    };
    if (section.trimmed().isEmpty() || hasBreak(section) || section.contains(u']'))
        return Error{u"invalid section name \"%1\""_s.arg(section)};
    if (key.trimmed() != key || key.isEmpty() || hasBreak(key) || key.contains(u'=') ||
        key.startsWith(u';') || key.startsWith(u'['))
        return Error{u"invalid key name \"%1\""_s.arg(key)};
    if (hasBreak(value))
        return Error{u"the value of %1 holds a line break"_s.arg(key)};
    return {};
}

QString entryText(const QString& key, const QString& value)
{
    const bool needsQuotes =
        !value.isEmpty() && (value.front().isSpace() || value.back().isSpace() || isQuoted(value));
    return key + u'=' + (needsQuotes ? u'"' + value + u'"' : value);
}

// A Windows-1252 file that cannot hold text is turned into UTF-8 first, so
// one file never mixes the two.
void makeRoomFor(Document& doc, const QString& text)
{
    if (doc.encoding == Encoding::Utf8 || Windows1252::encode(text))
        return;
    const QString whole = Windows1252::decode(QByteArrayView(doc.bytes).sliced(doc.bomLength));
    doc = parse(doc.bytes.left(doc.bomLength) + whole.toUtf8());
}

QByteArray encode(const Document& doc, const QString& text)
{
    return doc.encoding == Encoding::Utf8 ? text.toUtf8() : Windows1252::encode(text).value_or(QByteArray());
}

QByteArray withEntry(Document doc, const QString& section, const QString& key, const QString& value)
{
    if (const qsizetype entry = findEntry(doc, section, key); entry >= 0) {
        const QString text = entryText(doc.lines[entry].name, value);
        makeRoomFor(doc, text);
        const Line& old = doc.lines[entry];
        return doc.bytes.replace(old.start, old.length, encode(doc, text));
    }
    const QString text = entryText(key, value);
    const QString header = u'[' + section + u']';
    makeRoomFor(doc, text + header);
    const QByteArray lineBreak = doc.lineBreak();
    if (const qsizetype sectionEnd = findSectionEnd(doc, section); sectionEnd >= 0) {
        const Line& after = doc.lines[sectionEnd];
        const qsizetype at = after.start + after.length + after.breakLength;
        // The last line of the file may have no line break of its own.
        const QByteArray before = after.breakLength == 0 ? lineBreak : QByteArray();
        return doc.bytes.insert(at, before + encode(doc, text) + lineBreak);
    }
    QByteArray bytes = doc.bytes;
    if (bytes.size() > doc.bomLength && !bytes.endsWith('\n'))
        bytes += lineBreak;
    return bytes + encode(doc, header) + lineBreak + encode(doc, text) + lineBreak;
}

Error systemError(const QString& what, const QString& path)
{
    const int number = errno;
    return Error{u"%1 %2: %3"_s.arg(what, path, QString::fromLocal8Bit(std::strerror(number))), number};
}

Status writeAll(int fd, const QByteArray& bytes, const QString& path)
{
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.constData() + written, bytes.size() - written, written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return systemError(u"cannot write"_s, path);
        written += n;
    }
    if (::ftruncate(fd, bytes.size()) != 0)
        return systemError(u"cannot write"_s, path);
    if (::fsync(fd) != 0)
        return systemError(u"cannot flush"_s, path);
    return {};
}

// Writes bytes over the file itself, for a file the user may write in a
// folder the user may not. Readers may see it half written, so it is the
// second choice. A file of the user's own is made owner-only first; one of
// another owner keeps the mode its owner gave it.
Status overwriteFile(const QString& path, const QByteArray& bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemError(u"cannot write"_s, path);
    struct stat info = {};
    Status status;
    if (::fstat(fd, &info) != 0)
        status = systemError(u"cannot write"_s, path);
    else if (!S_ISREG(info.st_mode))
        status = Error{u"%1 is not a regular file"_s.arg(path)};
    else if (info.st_uid == ::geteuid() && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        status = systemError(u"cannot restrict access to"_s, path);
    else
        status = writeAll(fd, bytes, path);
    if (::close(fd) != 0 && status)
        status = systemError(u"cannot close"_s, path);
    return status;
}

// Writes bytes to a new owner-only file beside path and renames it over
// path, so readers see the old or the new file whole and the password is
// never readable by others, not even while it is written. When the folder
// takes no new file, the file is written in place.
Status replaceFile(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    QByteArray temp = QFile::encodeName(info.absolutePath() + u"/."_s + info.fileName() + u".XXXXXX"_s);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0 && (errno == EACCES || errno == EPERM))
        return overwriteFile(path, bytes);
    if (fd < 0)
        return systemError(u"cannot create a file beside"_s, path);
    const auto fail = [&](const Error& error) {
        ::close(fd);
        ::unlink(temp.constData());
        return error;
    };
    if (::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        return fail(systemError(u"cannot restrict access to"_s, path));
    if (Status written = writeAll(fd, bytes, path); !written)
        return fail(written.error());
    if (::close(fd) != 0) {
        const Error error = systemError(u"cannot close"_s, path);
        ::unlink(temp.constData());
        return error;
    }
    if (::rename(temp.constData(), QFile::encodeName(path).constData()) != 0) {
        const Error error = systemError(u"cannot replace"_s, path);
        ::unlink(temp.constData());
        return error;
    }
    return {};
}

} // namespace

Expected<QByteArray> PrivateProfile::load() const
{
    const RegularFile::Contents file = RegularFile::read(m_path, MaxFileSize);
    switch (file.state) {
    case RegularFile::State::Read:
        return file.bytes;
    case RegularFile::State::Missing:
        return QByteArray();
    case RegularFile::State::NotRegular:
        return Error{u"%1 is not a regular file"_s.arg(m_path)};
    case RegularFile::State::TooLarge:
        return Error{u"%1 is larger than 1 MiB"_s.arg(m_path)};
    case RegularFile::State::Unreadable:
        break;
    }
    return Error{u"cannot read %1: %2"_s.arg(m_path, file.error)};
}

Status PrivateProfile::readable() const
{
    if (const Expected<QByteArray> bytes = load(); !bytes)
        return bytes.error();
    return {};
}

QString PrivateProfile::readString(const QString& section, const QString& key,
                                   const QString& defaultValue) const
{
    const Expected<QByteArray> bytes = load();
    if (!bytes)
        return defaultValue;
    const Document doc = parse(*bytes);
    const qsizetype entry = findEntry(doc, section, key);
    return entry < 0 ? defaultValue : storedValue(doc.lines[entry]);
}

Status PrivateProfile::writeString(const QString& section, const QString& key, const QString& value)
{
    if (Status names = checkNames(section, key, value); !names)
        return names;
    // A file that cannot be read must not be replaced by one holding a
    // single key.
    Expected<QByteArray> bytes = load();
    if (!bytes)
        return bytes.error();
    return replaceFile(m_path, withEntry(parse(std::move(*bytes)), section, key, value));
}

Status PrivateProfile::restrictAccess()
{
    struct stat info = {};
    // Nothing but a regular file is opened (a device may act on an open).
    if (::stat(QFile::encodeName(m_path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return systemError(u"cannot open"_s, m_path);
    Status status;
    // Only a regular file of the user's own: the mode of another's file is
    // its owner's choice.
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
        (info.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0)
        status = systemError(u"cannot restrict access to"_s, m_path);
    ::close(fd);
    return status;
}

} // namespace kestrel
