#include "AddressBookList.h"

#include "NormalizeFaxNumber.h"

using namespace Qt::StringLiterals;

namespace kestrel {

QStringList AddressBookRow::cells() const
{
    return {rowid > 0 ? QString::number(rowid) : QString(), number, description, group, QString(), edit};
}

QList<AddressBookRow> AddressBookList::rows(const DesktopContacts& desktop, const QList<ContactRow>& database)
{
    const QList<DesktopContact> listed = desktop.listed();
    QList<AddressBookRow> result;
    result.reserve(listed.size() + database.size());
    for (const DesktopContact& contact : listed)
        result.append(desktopRow(contact));
    for (const ContactRow& row : database)
        result.append(databaseRow(row));
    return result;
}

AddressBookRow AddressBookList::desktopRow(const DesktopContact& contact)
{
    return AddressBookRow{contact.number, contact.name, u" "_s, QString(), true};
}

AddressBookRow AddressBookList::databaseRow(const ContactRow& row)
{
    return AddressBookRow{
        NormalizeFaxNumber(row.number), row.description, row.group, u"-"_s, false, row.rowid};
}

} // namespace kestrel
