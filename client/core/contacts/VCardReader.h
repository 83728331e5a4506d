#pragma once

#include "ContactItem.h"
#include "VCardProperty.h"

#include <QByteArray>
#include <QByteArrayView>

namespace kestrel {

// Reads the cards of one vCard file (2.1, 3.0 or 4.0) one at a time, as the
// programs that write them do it: CRLF, LF or CR alone, folded lines,
// quoted-printable soft line breaks, cards indented as a whole, UTF-8 or
// UTF-16 with or without a byte order mark. Each BEGIN:VCARD ... END:VCARD
// is one item; a card cut short (no END before the next BEGIN or the end of
// the data) is returned as an item that is not a contact, so that the cards
// around it keep their positions. A card that 2.1 embeds in an AGENT
// property belongs to its outer card and is not read.
//
// Lines are looked at where they lie: only a property that is read is
// unfolded, into one buffer of its exact size, so the memory needed stays
// within the data and its longest such property, however the lines fold.
class VCardReader
{
public:
    enum class Encoding
    {
        Utf8,
        Utf16LE,
        Utf16BE
    };

    // UTF-16 data is turned into UTF-8 piece by piece, and its original
    // released, so that both are never held whole at once.
    explicit VCardReader(QByteArray data);

    // The next card; false when there is none.
    bool next(ContactItem& item);

    // What the data is written in, from its first bytes: a byte order mark,
    // or, without one, the zero bytes that UTF-16 gives the ASCII of a card.
    // bomSize gets the length of the byte order mark (0 when none).
    static Encoding encodingOf(QByteArrayView head, qsizetype* bomSize = nullptr);

private:
    ContactItem interpret(qsizetype begin, qsizetype end, QByteArrayView indent,
                          VCardProperty::Version version) const;

    QByteArray m_data; // UTF-8
    qsizetype m_position = 0;
};

} // namespace kestrel
