#pragma once

#include "ContactItem.h"
#include "VCardProperty.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace kestrel {

// Reads the cards of one vCard file (2.1, 3.0 or 4.0) one at a time, as the
// programs that write them do it: CRLF or LF, folded lines, quoted-printable
// soft line breaks, a byte order mark. Each BEGIN:VCARD ... END:VCARD is one
// item; a card cut short (no END before the next BEGIN or the end of the
// data) is returned as an item that is not a contact, so that the cards
// around it keep their positions.
class VCardReader
{
public:
    // data must outlive the reader (a mapped file, for instance).
    explicit VCardReader(QByteArrayView data);

    // The next card; false when there is none.
    bool next(ContactItem& item);

private:
    QByteArrayView nextLine();
    ContactItem interpret() const;

    QByteArray m_converted; // a UTF-16 file, as UTF-8
    QByteArrayView m_data;
    qsizetype m_position = 0;
    bool m_inCard = false;
    QList<QByteArrayView> m_lines; // the physical lines of the current card
};

} // namespace kestrel
