#include "VCardReader.h"

#include <QStringDecoder>
#include <QUrl>

#include <cstring>
#include <optional>

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
    bool formattedName = false;
};

// What a custom label (X-ABLabel: "Fax", "Work Fax", "_$!<HomeFax>!$_")
// says of the number of its group.
enum class LabelledAs
{
    Other,
    Fax,
    WorkFax,
    HomeFax
};

LabelledAs labelledAs(const QString& label)
{
    const auto says = [&label](QLatin1StringView word) {
        return label.contains(word, Qt::CaseInsensitive);
    };
    if (!says("fax"_L1))
        return LabelledAs::Other;
    if (says("home"_L1) || says("casa"_L1) || says("priv"_L1))
        return LabelledAs::HomeFax;
    if (says("work"_L1) || says("lavoro"_L1) || says("ufficio"_L1) || says("business"_L1))
        return LabelledAs::WorkFax;
    return LabelledAs::Fax;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isContinuation(QByteArrayView line)
{
    return !line.isEmpty() && isBlank(line.front());
}

bool sameText(QByteArrayView text, QLatin1StringView wanted)
{
    return QLatin1StringView(text.data(), text.size()).compare(wanted, Qt::CaseInsensitive) == 0;
}

// BEGIN:VCARD and END:VCARD count with blanks around them.
bool isMarker(QByteArrayView line, QLatin1StringView marker)
{
    if (line.size() < marker.size())
        return false;
    while (!line.isEmpty() && isBlank(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isBlank(line.back()))
        line.chop(1);
    return line.size() == marker.size() && sameText(line, marker);
}

QByteArrayView leadingBlanks(QByteArrayView line)
{
    qsizetype n = 0;
    while (n < line.size() && isBlank(line[n]))
        ++n;
    return line.first(n);
}

// A card indented as a whole: its lines lose the indent of its BEGIN line
// (a line indented less loses what it has of it), so that only a blank
// beyond it folds.
QByteArrayView withoutIndent(QByteArrayView line, QByteArrayView indent)
{
    qsizetype n = 0;
    while (n < indent.size() && n < line.size() && line[n] == indent[n])
        ++n;
    return line.sliced(n);
}

// The physical lines of a stretch of the data, each without its end: CRLF,
// LF or CR alone. The next LF and CR found are remembered, so that a file
// with only one kind is still walked in one pass.
class LineWalker
{
public:
    LineWalker(QByteArrayView data, qsizetype from, qsizetype end)
        : m_data(data), m_position(from), m_end(end), m_nextLf(from - 1), m_nextCr(from - 1)
    {}

    bool atEnd() const { return m_position >= m_end; }
    qsizetype position() const { return m_position; }

    QByteArrayView next()
    {
        const QByteArrayView line = peek();
        m_position = m_after;
        return line;
    }

    // The line next() gives, left where it is.
    QByteArrayView peek()
    {
        if (m_peekedAt == m_position)
            return m_peeked;
        const qsizetype stop = lineEnd();
        m_peeked = m_data.sliced(m_position, stop - m_position);
        m_peekedAt = m_position;
        m_after = stop;
        if (stop < m_end) {
            const bool crlf = m_data[stop] == '\r' && stop + 1 < m_end && m_data[stop + 1] == '\n';
            m_after += crlf ? 2 : 1;
        }
        return m_peeked;
    }

private:
    qsizetype find(char c, qsizetype& cached) const
    {
        if (cached < m_position) {
            const void* at = std::memchr(m_data.data() + m_position, c, size_t(m_end - m_position));
            cached = at ? static_cast<const char*>(at) - m_data.data() : m_end;
        }
        return cached;
    }
    qsizetype lineEnd()
    {
        // Short lines (a fold every few characters) end soon: looked for by
        // hand; long ones by memchr.
        const qsizetype near = qMin(m_end, m_position + 32);
        for (qsizetype i = m_position; i < near; ++i) {
            if (m_data[i] == '\n' || m_data[i] == '\r')
                return i;
        }
        return qMin(find('\n', m_nextLf), find('\r', m_nextCr));
    }

    QByteArrayView m_data;
    qsizetype m_position;
    qsizetype m_end;
    qsizetype m_nextLf;
    qsizetype m_nextCr;
    qsizetype m_peekedAt = -1;
    qsizetype m_after = 0;
    QByteArrayView m_peeked;
};

Version versionOf(QByteArrayView line)
{
    const QByteArrayView value = line.sliced(8).trimmed();
    if (value == "2.1")
        return Version::V21;
    if (value == "3.0")
        return Version::V30;
    return Version::V40;
}

bool isVersionLine(QByteArrayView line)
{
    return line.size() >= 8 && sameText(line.first(8), "VERSION:"_L1);
}

// 2.1 writes an embedded card on the lines after "AGENT:".
bool opensAgent(QByteArrayView line)
{
    const VCardProperty property(line);
    return property.is("AGENT"_L1) && property.rawValue().trimmed().isEmpty();
}

// The name of a property from the first physical line of it, without its
// group; empty when the line ends before the name does (a fold inside it).
QByteArrayView nameOf(QByteArrayView line)
{
    qsizetype end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':')
        ++end;
    if (end == line.size())
        return {};
    QByteArrayView name = line.first(end);
    const qsizetype dot = name.lastIndexOf('.');
    return (dot >= 0 ? name.sliced(dot + 1) : name).trimmed();
}

// Whether the property on this line has its value in quoted-printable, so
// that "=" at the end of a line joins the next one.
bool isQuotedPrintableHead(QByteArrayView line)
{
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return false;
    const QByteArrayView head = line.first(colon);
    return QLatin1StringView(head.data(), head.size()).contains("QUOTED-PRINTABLE"_L1, Qt::CaseInsensitive);
}

// How one logical line goes on: each physical line that continues it adds
// a piece, a soft line break (quoted-printable "=") taking the "=" away.
class Unfolding
{
public:
    Unfolding(QByteArrayView first, Version version)
        : m_version(version), m_quotedPrintable(isQuotedPrintableHead(first)),
          m_endsInEquals(first.endsWith('='))
    {}

    struct Piece
    {
        QByteArrayView text;
        bool softBreak = false;
    };

    // The piece that next adds, or nothing when next begins another line.
    std::optional<Piece> continueWith(QByteArrayView next)
    {
        const bool softBreak = m_quotedPrintable && m_endsInEquals;
        if (!softBreak && !isContinuation(next))
            return std::nullopt;
        // 3.0 and 4.0 fold by inserting one blank; 2.1 folds before a blank
        // that belongs to the value.
        const QByteArrayView text = softBreak || m_version == Version::V21 ? next : next.sliced(1);
        if (!text.isEmpty())
            m_endsInEquals = text.endsWith('=');
        else if (softBreak)
            m_endsInEquals = false;
        return Piece{text, softBreak};
    }

private:
    Version m_version;
    bool m_quotedPrintable;
    bool m_endsInEquals;
};

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

// What a card's lines give. A fax typed FAX alone (as several address
// books write the only fax a contact has) is kept aside and used when the
// card has no work fax; a home fax is never the business one.
class CardFields
{
public:
    explicit CardFields(Version version) : m_version(version) {}

    bool wants(QByteArrayView name) const
    {
        if (name.isEmpty())
            return true; // folded inside the name: only the whole line tells
        if (sameText(name, "TEL"_L1) || sameText(name, "X-ABLABEL"_L1))
            return !m_found.fax;
        if (sameText(name, "N"_L1))
            return !m_found.name;
        if (sameText(name, "FN"_L1))
            return !m_found.formattedName;
        return sameText(name, "ORG"_L1) && !m_found.company;
    }

    void read(QByteArrayView line)
    {
        const VCardProperty property(line);
        if (!property.isValid())
            return;
        if (!m_found.fax && property.is("TEL"_L1))
            readFax(property);
        else if (!m_found.fax && property.is("X-ABLABEL"_L1))
            readLabel(property);
        else if (!m_found.name && property.is("N"_L1))
            readName(property);
        else if (!m_found.formattedName && property.is("FN"_L1))
            readFormattedName(property);
        else if (!m_found.company && property.is("ORG"_L1))
            readCompany(property);
    }

    ContactItem item() const
    {
        ContactItem result = m_item;
        if (!m_found.fax)
            result.BusinessFaxNumber = labelledFax();
        // A card without a name in N (4.0 needs none; others write it empty)
        // is named by FN, unless that only repeats the company.
        if (result.FirstName.isEmpty() && result.LastName.isEmpty() && m_formattedName != result.CompanyName)
            result.FirstName = m_formattedName;
        return result;
    }

private:
    // A number and its custom label, tied by their group, in either order.
    struct Labelled
    {
        QByteArray group;
        QString number;
        LabelledAs kind = LabelledAs::Other;
    };

    Labelled& labelled(QByteArrayView group)
    {
        for (Labelled& entry : m_labelled) {
            if (sameText(entry.group, QLatin1StringView(group)))
                return entry;
        }
        m_labelled.append({group.toByteArray(), {}, LabelledAs::Other});
        return m_labelled.last();
    }

    // Without a work fax by its type: a work fax by its label, else the fax
    // typed FAX alone, else a fax by its label.
    QString labelledFax() const
    {
        QString plain;
        for (const Labelled& entry : m_labelled) {
            if (entry.number.isEmpty())
                continue;
            if (entry.kind == LabelledAs::WorkFax)
                return entry.number;
            if (entry.kind == LabelledAs::Fax && plain.isNull())
                plain = entry.number;
        }
        return m_plainFax.isNull() ? plain : m_plainFax;
    }

    void readLabel(const VCardProperty& property)
    {
        if (!property.group().isEmpty())
            labelled(property.group()).kind =
                labelledAs(VCardProperty::unescaped(property.text(), m_version));
    }

    void readFax(const VCardProperty& property)
    {
        if (!property.hasType("FAX"_L1)) {
            // Its label, if its group has one, may say it is a fax.
            if (!property.group().isEmpty()) {
                Labelled& entry = labelled(property.group());
                if (entry.number.isEmpty())
                    entry.number = telephoneNumber(property, m_version).trimmed();
            }
            return;
        }
        const bool work = property.hasType("WORK"_L1);
        if (!work && (!m_plainFax.isNull() || property.hasType("HOME"_L1)))
            return;
        const QString number = telephoneNumber(property, m_version);
        if (number.trimmed().isEmpty())
            return;
        if (work) {
            m_item.BusinessFaxNumber = number;
            m_found.fax = true;
        } else {
            m_plainFax = number;
        }
    }

    void readName(const VCardProperty& property)
    {
        const QStringList parts = VCardProperty::components(property.text(), m_version);
        m_item.LastName = parts.value(0);
        m_item.FirstName = parts.value(1);
        m_found.name = true;
    }

    void readFormattedName(const VCardProperty& property)
    {
        m_formattedName = VCardProperty::unescaped(property.text(), m_version).trimmed();
        m_found.formattedName = true;
    }

    void readCompany(const VCardProperty& property)
    {
        m_item.CompanyName = VCardProperty::components(property.text(), m_version).value(0);
        m_found.company = true;
    }

    Version m_version;
    Found m_found;
    ContactItem m_item{ContactItem::ContactClass, {}, {}, {}, {}};
    QString m_plainFax;
    QList<Labelled> m_labelled;
    QString m_formattedName;
};

} // namespace

VCardReader::Encoding VCardReader::encodingOf(QByteArrayView head, qsizetype* bomSize)
{
    const auto mark = [bomSize](qsizetype size, Encoding encoding) {
        if (bomSize)
            *bomSize = size;
        return encoding;
    };
    if (head.startsWith("\xEF\xBB\xBF"))
        return mark(3, Encoding::Utf8);
    if (head.startsWith("\xFF\xFE"))
        return mark(2, Encoding::Utf16LE);
    if (head.startsWith("\xFE\xFF"))
        return mark(2, Encoding::Utf16BE);
    // UTF-8 text has no zero bytes; the ASCII of a card in UTF-16 has one
    // in each pair, on the same side.
    const qsizetype pairs = qMin<qsizetype>(head.size(), 64) / 2;
    int evenZeros = 0;
    int oddZeros = 0;
    for (qsizetype i = 0; i < pairs; ++i) {
        evenZeros += head[2 * i] == 0;
        oddZeros += head[2 * i + 1] == 0;
    }
    if (pairs >= 2 && evenZeros == 0 && oddZeros * 2 >= pairs)
        return mark(0, Encoding::Utf16LE);
    if (pairs >= 2 && oddZeros == 0 && evenZeros * 2 >= pairs)
        return mark(0, Encoding::Utf16BE);
    return mark(0, Encoding::Utf8);
}

VCardReader::VCardReader(QByteArray data)
{
    qsizetype bom = 0;
    const Encoding encoding = encodingOf(data, &bom);
    if (encoding == Encoding::Utf8) {
        m_data = std::move(data);
        m_position = bom;
        return;
    }
    QStringDecoder decoder(encoding == Encoding::Utf16LE ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
    constexpr qsizetype Piece = 1 << 20;
    for (qsizetype at = bom; at < data.size(); at += Piece) {
        const QString text = decoder.decode(QByteArrayView(data).sliced(at, qMin(Piece, data.size() - at)));
        m_data += text.toUtf8();
    }
}

bool VCardReader::next(ContactItem& item)
{
    LineWalker lines(m_data, m_position, m_data.size());
    bool inCard = false;
    qsizetype cardBegin = 0;
    QByteArrayView indent;
    int depth = 0; // of cards embedded by AGENT
    bool agentOpen = false;
    Version version = Version::V30;
    bool versionSeen = false;
    while (!lines.atEnd()) {
        const qsizetype lineStart = lines.position();
        const QByteArrayView line = lines.next();
        const bool begin = isMarker(line, "BEGIN:VCARD"_L1);
        if (!inCard) {
            if (begin) {
                inCard = true;
                cardBegin = lines.position();
                indent = leadingBlanks(line);
            }
            continue;
        }
        if (begin && (agentOpen || depth > 0)) {
            ++depth;
            agentOpen = false;
            continue;
        }
        if (begin) {
            // The card before was cut short; this BEGIN opens the next one.
            m_position = lineStart;
            item = ContactItem();
            return true;
        }
        if (isMarker(line, "END:VCARD"_L1)) {
            if (depth > 0) {
                --depth;
                continue;
            }
            m_position = lines.position();
            item = interpret(cardBegin, lineStart, indent, version);
            return true;
        }
        if (depth > 0)
            continue;
        const QByteArrayView content = withoutIndent(line, indent);
        agentOpen = !isContinuation(content) && opensAgent(content);
        if (!versionSeen && isVersionLine(content)) {
            version = versionOf(content);
            versionSeen = true;
        }
    }
    m_position = m_data.size();
    if (!inCard)
        return false;
    item = ContactItem();
    return true;
}

ContactItem VCardReader::interpret(qsizetype begin, qsizetype end, QByteArrayView indent,
                                   Version version) const
{
    CardFields fields(version);
    LineWalker lines(m_data, begin, end);
    QByteArray joined;
    int depth = 0;
    while (!lines.atEnd()) {
        const QByteArrayView physical = lines.next();
        if (isMarker(physical, "BEGIN:VCARD"_L1)) {
            ++depth;
            continue;
        }
        if (depth > 0) {
            depth -= isMarker(physical, "END:VCARD"_L1);
            continue;
        }
        const QByteArrayView first = withoutIndent(physical, indent);
        // Where the logical line ends, and its size once unfolded; it is
        // put together only when it is read.
        const LineWalker rest = lines;
        Unfolding unfolding(first, version);
        qsizetype size = first.size();
        int pieces = 0;
        while (!lines.atEnd()) {
            const auto piece = unfolding.continueWith(withoutIndent(lines.peek(), indent));
            if (!piece)
                break;
            lines.next();
            size += piece->text.size() - (piece->softBreak ? 1 : 0);
            ++pieces;
        }
        if (!fields.wants(nameOf(first)))
            continue;
        if (pieces == 0) {
            fields.read(first);
            continue;
        }
        joined.resize(0);
        joined.reserve(size);
        joined.append(first);
        LineWalker again = rest;
        Unfolding refold(first, version);
        for (int i = 0; i < pieces; ++i) {
            const auto piece = refold.continueWith(withoutIndent(again.next(), indent));
            if (piece->softBreak)
                joined.chop(1);
            joined.append(piece->text);
        }
        fields.read(joined);
    }
    return fields.item();
}

} // namespace kestrel
