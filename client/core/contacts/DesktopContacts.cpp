#include "DesktopContacts.h"

#include "ClientTexts.h"
#include "NormalizeFaxNumber.h"
#include "VCardReader.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr qint64 MapThreshold = 1 << 20;

// Blanks only: a tab counts towards the length like any other character.
QStringView trimBlanks(QStringView text)
{
    while (text.startsWith(u' '))
        text = text.sliced(1);
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

QStringList sourceFiles(const QString& source)
{
    const QFileInfo info(source);
    if (source.isEmpty() || !info.exists())
        return {};
    if (!info.isDir())
        return {source};
    // An iterator and one sort: QDir's sorted listing of a folder of
    // thousands of cards costs several times as much.
    QStringList names;
    QDirIterator entries(source, {u"*.vcf"_s}, QDir::Files);
    while (entries.hasNext()) {
        entries.next();
        names.append(entries.fileName());
    }
    names.sort();
    for (QString& name : names)
        name = source + u'/' + name;
    return names;
}

} // namespace

QString DesktopContacts::defaultSource(const QString& programFolder)
{
    return programFolder + u"/contatti.vcf"_s;
}

DesktopContacts DesktopContacts::LoadOutlookContacts(const QString& source, const Notice& notice)
{
    DesktopContacts contacts;
    // Nothing to read, nothing to wait for: a notice would only flash (the
    // start-up pays for the window all the same).
    const QStringList files = sourceFiles(source);
    if (files.isEmpty())
        return contacts;
    if (notice.show)
        notice.show(texts::book::LoadingDesktopContacts);
    int position = 0;
    for (const QString& file : files) {
        if (position >= MaxPositions)
            break;
        readFile(file, position, contacts);
    }
    if (notice.close)
        notice.close();
    return contacts;
}

void DesktopContacts::readFile(const QString& path, int& position, DesktopContacts& contacts)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return;
    // A large file is mapped rather than read: the reading stops at position
    // 10000, however large the file. Small ones (a folder of one card per
    // file) are read, which costs less than mapping.
    QByteArray content;
    QByteArrayView data;
    if (uchar* mapped = file.size() > MapThreshold ? file.map(0, file.size()) : nullptr) {
        data = QByteArrayView(reinterpret_cast<const char*>(mapped), file.size());
    } else {
        content = file.readAll();
        data = content;
    }
    VCardReader reader(data);
    ContactItem item;
    // Past position 10000 the list has no room: a contact there would end the
    // load and keep what it has, so nothing beyond needs reading.
    while (position < MaxPositions && reader.next(item))
        contacts.take(++position, item);
}

bool DesktopContacts::take(int position, const ContactItem& item)
{
    if (item.itemClass != ContactItem::ContactClass)
        return true;
    if (trimBlanks(item.BusinessFaxNumber).size() <= 3)
        return true;
    if (position < 1 || position > MaxPositions)
        return false;
    if (m_entries.size() < position)
        m_entries.resize(position);
    m_entries[position - 1] = DesktopContact{NormalizeFaxNumber(item.BusinessFaxNumber),
                                             item.FirstName + u' ' + item.LastName + u' ' + item.CompanyName};
    m_count = position;
    return true;
}

DesktopContact DesktopContacts::entry(int position) const
{
    if (position < 1 || position > m_entries.size())
        return {};
    return m_entries.at(position - 1);
}

QList<DesktopContact> DesktopContacts::listed() const
{
    QList<DesktopContact> result;
    result.reserve(m_entries.size());
    for (const DesktopContact& entry : m_entries) {
        if (!entry.number.isEmpty())
            result.append(entry);
    }
    return result;
}

} // namespace kestrel
