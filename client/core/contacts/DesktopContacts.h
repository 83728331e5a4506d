#pragma once

#include "ContactItem.h"

#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>

#include <functional>

// Debug lines of the desktop contacts' load: what was passed over, and
// when the contacts were in.
Q_DECLARE_LOGGING_CATEGORY(lcDesktopContacts)

namespace kestrel {

// An entry of the desktop contact list; an empty number stands for an item
// that gave no usable fax number.
struct DesktopContact
{
    QString number;
    QString name;

    friend bool operator==(const DesktopContact&, const DesktopContact&) = default;
};

// The desktop contacts that have a business fax number, read once at
// start-up from vCard (the path in the settings key VCARD: a .vcf file, or
// a folder whose .vcf files are read in name order). Entries sit at the
// items' positions 1 to 10000. Only regular files are read, each up to
// MaxFileBytes: anything else is passed over with a debug line, so a FIFO
// or a device in their place never holds up or floods the load.
class DesktopContacts
{
public:
    static constexpr int MaxPositions = 10000;
    static constexpr qint64 MaxFileBytes = qint64(64) << 20;

    // The notice shown while the contacts load; the window layer provides it.
    struct Notice
    {
        std::function<void(const QString& text)> show;
        std::function<void()> close;
        // A notice that goes by itself (files passed over for their size).
        std::function<void(const QString& text)> tell;
    };

    // `LoadOutlookContacts`, reading vCard: shows the notice "Carico
    // contatti...", reads every item up to position 10000, closes the
    // notice. A missing or unreadable source gives no contacts and no
    // message; with no file to read no notice is shown either.
    static DesktopContacts LoadOutlookContacts(const QString& source, const Notice& notice = {});

    // The settings key VCARD's default.
    static QString defaultSource(const QString& programFolder);

    // Takes the item at position (from 1), as the load does: a contact whose
    // business fax number has more than 3 characters, blanks around it not
    // counted, becomes the entry there. False when position is past the
    // list's end, where the load stops.
    bool take(int position, const ContactItem& item);

    // The highest position that received an entry; 1 before any did.
    int count() const { return m_count; }
    // The entry at position 1 to count(); an empty one elsewhere.
    DesktopContact entry(int position) const;
    // The entries with a number, in position order: what the address book
    // lists.
    QList<DesktopContact> listed() const;
    // The files passed over for their size, which the user is told about.
    QStringList tooLarge() const { return m_tooLarge; }

private:
    static void readFile(const QString& path, int& position, DesktopContacts& contacts);

    QList<DesktopContact> m_entries; // index 0 is position 1
    int m_count = 1;
    QStringList m_tooLarge;
};

} // namespace kestrel
