#include "VCardProperty.h"

#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

bool sameName(QByteArrayView text, QLatin1StringView name)
{
    return QLatin1StringView(text.data(), text.size()).compare(name, Qt::CaseInsensitive) == 0;
}

// Parameter values of 4.0 may be quoted and hold ";" or ":".
qsizetype indexOutsideQuotes(QByteArrayView text, char wanted, qsizetype from = 0)
{
    bool quoted = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            quoted = !quoted;
        else if (c == wanted && !quoted)
            return i;
    }
    return -1;
}

// Calls visit(key, value) for each parameter; a bare 2.1 parameter such as
// WORK or QUOTED-PRINTABLE comes with an empty key. Stops when visit
// returns true.
template <typename Visit> bool anyParameter(QByteArrayView parameters, Visit visit)
{
    qsizetype start = 0;
    while (start <= parameters.size() && !parameters.isEmpty()) {
        qsizetype end = indexOutsideQuotes(parameters, ';', start);
        if (end < 0)
            end = parameters.size();
        const QByteArrayView parameter = parameters.sliced(start, end - start).trimmed();
        const qsizetype equals = parameter.indexOf('=');
        const bool found =
            equals < 0 ? visit(QByteArrayView(), parameter)
                       : visit(parameter.first(equals).trimmed(), parameter.sliced(equals + 1).trimmed());
        if (found)
            return true;
        start = end + 1;
    }
    return false;
}

QByteArrayView unquoted(QByteArrayView value)
{
    if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
        return value.sliced(1, value.size() - 2);
    return value;
}

// TYPE=WORK,FAX and TYPE="work,fax" alike.
bool listHolds(QByteArrayView list, QLatin1StringView wanted)
{
    qsizetype start = 0;
    while (start <= list.size()) {
        qsizetype end = list.indexOf(',', start);
        if (end < 0)
            end = list.size();
        QByteArrayView item = list.sliced(start, end - start).trimmed();
        while (item.startsWith('"'))
            item = item.sliced(1);
        while (item.endsWith('"'))
            item.chop(1);
        if (sameName(item.trimmed(), wanted))
            return true;
        start = end + 1;
    }
    return false;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Soft line breaks were joined by the reader; a "=" not followed by two hex
// digits is kept as it stands.
QByteArray decodeQuotedPrintable(QByteArrayView encoded)
{
    QByteArray decoded;
    decoded.reserve(encoded.size());
    for (qsizetype i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '=' && i + 2 < encoded.size() && hexDigit(encoded[i + 1]) >= 0 &&
            hexDigit(encoded[i + 2]) >= 0) {
            decoded.append(static_cast<char>(hexDigit(encoded[i + 1]) * 16 + hexDigit(encoded[i + 2])));
            i += 2;
        } else {
            decoded.append(c);
        }
    }
    return decoded;
}

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

// What Windows programs write when they name no character set.
QString fromWindows1252(QByteArrayView bytes)
{
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QString decodeText(QByteArrayView bytes, QByteArrayView charset)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    const bool utf8 = charset.isEmpty() || sameName(charset, "UTF-8"_L1) || sameName(charset, "UTF8"_L1);
    if (!utf8) {
        if (sameName(charset, "ISO-8859-1"_L1) || sameName(charset, "LATIN1"_L1))
            return QString::fromLatin1(bytes);
        QStringDecoder named(charset.toByteArray().constData());
        if (named.isValid()) {
            QString text = named.decode(bytes);
            if (!named.hasError())
                return text;
        }
    }
    // 2.1 files without a CHARSET, or with a wrong one, come from programs
    // that wrote their own code page: not UTF-8, so read them as Windows-1252.
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = strict.decode(bytes);
    if (!strict.hasError())
        return text;
    return fromWindows1252(bytes);
}

} // namespace

VCardProperty::VCardProperty(QByteArrayView line)
{
    const qsizetype colon = indexOutsideQuotes(line, ':');
    if (colon <= 0)
        return;
    const QByteArrayView head = line.first(colon);
    m_value = line.sliced(colon + 1);
    const qsizetype semicolon = head.indexOf(';');
    m_name = semicolon < 0 ? head : head.first(semicolon);
    m_parameters = semicolon < 0 ? QByteArrayView() : head.sliced(semicolon + 1);
    // item1.TEL: the group ties properties together.
    const qsizetype dot = m_name.lastIndexOf('.');
    if (dot >= 0) {
        m_group = m_name.first(dot).trimmed();
        m_name = m_name.sliced(dot + 1);
    }
    m_name = m_name.trimmed();
    m_valid = !m_name.isEmpty();
}

bool VCardProperty::is(QLatin1StringView name) const
{
    return m_valid && sameName(m_name, name);
}

bool VCardProperty::hasType(QLatin1StringView type) const
{
    return anyParameter(m_parameters, [type](QByteArrayView key, QByteArrayView value) {
        if (key.isEmpty())
            return sameName(value, type);
        return sameName(key, "TYPE"_L1) && listHolds(value, type);
    });
}

QByteArrayView VCardProperty::parameter(QLatin1StringView wanted) const
{
    QByteArrayView found;
    anyParameter(m_parameters, [&](QByteArrayView key, QByteArrayView value) {
        if (!sameName(key, wanted))
            return false;
        found = unquoted(value);
        return true;
    });
    return found;
}

bool VCardProperty::isQuotedPrintable() const
{
    return sameName(parameter("ENCODING"_L1), "QUOTED-PRINTABLE"_L1) || hasType("QUOTED-PRINTABLE"_L1);
}

bool VCardProperty::isUri() const
{
    return sameName(parameter("VALUE"_L1), "uri"_L1);
}

QString VCardProperty::text() const
{
    if (isQuotedPrintable())
        return decodeText(decodeQuotedPrintable(m_value), parameter("CHARSET"_L1));
    return decodeText(m_value, parameter("CHARSET"_L1));
}

bool VCardProperty::continuesOnNextLine(QByteArrayView line)
{
    if (!line.endsWith('='))
        return false;
    const qsizetype colon = indexOutsideQuotes(line, ':');
    if (colon < 0)
        return false;
    const QByteArrayView head = line.first(colon);
    return QLatin1StringView(head.data(), head.size()).contains("QUOTED-PRINTABLE"_L1, Qt::CaseInsensitive);
}

QStringList VCardProperty::components(const QString& text, Version version)
{
    QStringList parts;
    QString part;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\' && i + 1 < text.size()) {
            // Unescaped below, with the rest of the part.
            part += c;
            part += text.at(++i);
        } else if (c == u';') {
            parts.append(unescaped(part, version));
            part.clear();
        } else {
            part += c;
        }
    }
    parts.append(unescaped(part, version));
    return parts;
}

QString VCardProperty::unescaped(const QString& text, Version version)
{
    if (!text.contains(u'\\'))
        return text;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (c != u'\\' || next.isNull()) {
            result += c;
            continue;
        }
        // 2.1 escapes only the ";" of structured values; 3.0 and 4.0 also
        // "\\", "," and the line break "\n".
        if (next == u';' || (version != Version::V21 && (next == u'\\' || next == u','))) {
            result += next;
        } else if (version != Version::V21 && (next == u'n' || next == u'N')) {
            result += u'\n';
        } else {
            result += c;
            result += next;
        }
        ++i;
    }
    return result;
}

} // namespace kestrel
