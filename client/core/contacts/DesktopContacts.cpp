#include "DesktopContacts.h"

#include "ClientTexts.h"
#include "NormalizeFaxNumber.h"
#include "RegularFile.h"
#include "VCardReader.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcDesktopContacts, "kestrel.contacts")

namespace kestrel {
namespace {

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
    // FIFOs and devices are listed too, to be passed over with a word.
    QDirIterator entries(source, {u"*.vcf"_s}, QDir::Files | QDir::System);
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
    // Ordinary reads of a regular file, never a mapping: a file cut short
    // while it is read only gives fewer cards.
    RegularFile::Contents file = RegularFile::read(path, MaxFileBytes);
    switch (file.state) {
    case RegularFile::State::Read:
        break;
    case RegularFile::State::TooLarge:
        qCDebug(lcDesktopContacts, "passed over, larger than %lld bytes: %s", MaxFileBytes,
                qUtf8Printable(path));
        contacts.m_tooLarge.append(path);
        return;
    case RegularFile::State::NotRegular:
        qCDebug(lcDesktopContacts, "passed over, not a regular file: %s", qUtf8Printable(path));
        return;
    case RegularFile::State::Missing:
    case RegularFile::State::Unreadable:
        qCDebug(lcDesktopContacts, "passed over, cannot be read: %s %s", qUtf8Printable(path),
                qUtf8Printable(file.error));
        return;
    }
    VCardReader reader(std::move(file.bytes));
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
