#include "VCardReader.h"

#include <QStringDecoder>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

using Version = VCardProperty::Version;

// The first of each property counts, as a mail program shows one business
// fax, one name and one company per contact.
struct Found
{
    bool fax = false;
    bool name = false;
    bool company = false;
};

bool isMarker(QByteArrayView line, QLatin1StringView marker)
{
    while (line.endsWith(' ') || line.endsWith('\t'))
        line.chop(1);
    return QLatin1StringView(line.data(), line.size()).compare(marker, Qt::CaseInsensitive) == 0;
}

bool isContinuation(QByteArrayView line)
{
    return line.startsWith(' ') || line.startsWith('\t');
}

Version versionOf(const QList<QByteArrayView>& lines)
{
    for (const QByteArrayView line : lines) {
        if (line.size() < 8 ||
            QLatin1StringView(line.data(), 8).compare("VERSION:"_L1, Qt::CaseInsensitive) != 0)
            continue;
        const QByteArrayView value = line.sliced(8).trimmed();
        if (value == "2.1")
            return Version::V21;
        if (value == "3.0")
            return Version::V30;
        return Version::V40;
    }
    return Version::V30;
}

// A tel: URI (4.0's VALUE=uri) loses its scheme and its parameters such as
// ";ext=12", whose digits would otherwise join the number.
QString telephoneNumber(const VCardProperty& property, Version version)
{
    const QString text = property.text();
    const bool telUri = text.startsWith("tel:"_L1, Qt::CaseInsensitive);
    if (!telUri && !property.isUri())
        return VCardProperty::unescaped(text, version);
    QString number = telUri ? text.sliced(4) : text;
    const qsizetype semicolon = number.indexOf(u';');
    if (semicolon >= 0)
        number.truncate(semicolon);
    return QUrl::fromPercentEncoding(number.toUtf8());
}

void readProperty(QByteArrayView line, Version version, Found& found, ContactItem& item)
{
    const VCardProperty property(line);
    if (!property.isValid())
        return;
    if (!found.fax && property.is("TEL"_L1) && property.hasType("WORK"_L1) && property.hasType("FAX"_L1)) {
        const QString number = telephoneNumber(property, version);
        if (!number.trimmed().isEmpty()) {
            item.BusinessFaxNumber = number;
            found.fax = true;
        }
    } else if (!found.name && property.is("N"_L1)) {
        const QStringList parts = VCardProperty::components(property.text(), version);
        item.LastName = parts.value(0);
        item.FirstName = parts.value(1);
        found.name = true;
    } else if (!found.company && property.is("ORG"_L1)) {
        item.CompanyName = VCardProperty::components(property.text(), version).value(0);
        found.company = true;
    }
}

} // namespace

VCardReader::VCardReader(QByteArrayView data)
{
    if (data.startsWith("\xEF\xBB\xBF")) {
        data = data.sliced(3);
    } else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(data.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        m_converted = QString(utf16.decode(data.sliced(2))).toUtf8();
        data = m_converted;
    }
    m_data = data;
}

QByteArrayView VCardReader::nextLine()
{
    qsizetype end = m_data.indexOf('\n', m_position);
    if (end < 0)
        end = m_data.size();
    QByteArrayView line = m_data.sliced(m_position, end - m_position);
    m_position = end + 1;
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

bool VCardReader::next(ContactItem& item)
{
    while (m_position < m_data.size()) {
        const QByteArrayView line = nextLine();
        const bool begin = isMarker(line, "BEGIN:VCARD"_L1);
        if (!m_inCard) {
            if (begin) {
                m_inCard = true;
                m_lines.clear();
            }
            continue;
        }
        if (begin) {
            // The card before was cut short; this BEGIN opens the next one.
            m_lines.clear();
            item = ContactItem();
            return true;
        }
        if (isMarker(line, "END:VCARD"_L1)) {
            m_inCard = false;
            item = interpret();
            return true;
        }
        m_lines.append(line);
    }
    if (m_inCard) {
        m_inCard = false;
        item = ContactItem();
        return true;
    }
    return false;
}

ContactItem VCardReader::interpret() const
{
    const Version version = versionOf(m_lines);
    ContactItem item;
    item.itemClass = ContactItem::ContactClass;
    Found found;
    QByteArray joined;
    qsizetype i = 0;
    while (i < m_lines.size()) {
        QByteArrayView logical = m_lines.at(i++);
        bool copied = false;
        while (i < m_lines.size()) {
            const QByteArrayView next = m_lines.at(i);
            const bool softBreak = VCardProperty::continuesOnNextLine(logical);
            if (!softBreak && !isContinuation(next))
                break;
            if (!copied) {
                joined = logical.toByteArray();
                copied = true;
            }
            if (softBreak) {
                joined.chop(1);
                joined.append(next);
            } else {
                // 3.0 and 4.0 fold by inserting one blank; 2.1 folds before
                // a blank that belongs to the value.
                joined.append(version == Version::V21 ? next : next.sliced(1));
            }
            logical = joined;
            ++i;
        }
        readProperty(logical, version, found, item);
    }
    return item;
}

} // namespace kestrel
