#pragma once

#include <QByteArrayView>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

namespace kestrel {

// One unfolded content line of a vCard: [group.]NAME *(;param) ":" value.
// Reads the parameter spellings of 2.1 (bare TEL;WORK;FAX, QUOTED-PRINTABLE
// with CHARSET), 3.0 (TYPE=WORK,FAX or TYPE=work;TYPE=fax) and 4.0 (quoted
// lists TYPE="work,fax"). Views into the line, which must outlive it.
class VCardProperty
{
public:
    enum class Version
    {
        V21,
        V30,
        V40
    };

    explicit VCardProperty(QByteArrayView line);

    // A line without ":" is no property (a stray line of some other data).
    bool isValid() const { return m_valid; }
    // Compares the name without its group and without regard to case.
    bool is(QLatin1StringView name) const;
    // item1 of item1.TEL: ties the properties of one group together (as a
    // custom label, X-ABLabel, to its number); empty without one.
    QByteArrayView group() const { return m_group; }
    bool hasType(QLatin1StringView type) const;
    bool isUri() const;
    // The value as it stands on the line.
    QByteArrayView rawValue() const { return m_value; }
    // The value with its transfer encoding and character set undone; the
    // text escapes are left for the caller, who knows the value's structure.
    QString text() const;

    // True when the line is quoted-printable and ends in a soft line break,
    // so that the next physical line continues it.
    static bool continuesOnNextLine(QByteArrayView line);

    // A structured value (N, ORG) split at unescaped ";", each part unescaped.
    static QStringList components(const QString& text, Version version);
    static QString unescaped(const QString& text, Version version);

private:
    QByteArrayView parameter(QLatin1StringView key) const;
    bool isQuotedPrintable() const;

    QByteArrayView m_name;
    QByteArrayView m_group;
    QByteArrayView m_parameters; // after the name's ";", up to the ":"
    QByteArrayView m_value;
    bool m_valid = false;
};

} // namespace kestrel
