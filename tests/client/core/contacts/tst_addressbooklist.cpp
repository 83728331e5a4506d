#include "AddressBookList.h"

#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::AddressBookList;
using kestrel::ContactItem;
using kestrel::ContactRow;
using kestrel::DesktopContacts;

class tst_AddressBookList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void desktopContactsFirstThenDatabase();
};

void tst_AddressBookList::desktopContactsFirstThenDatabase()
{
    DesktopContacts desktop;
    desktop.take(1, ContactItem{ContactItem::ContactClass, u"+39 06 1"_s, u"Anna"_s, u"Rossi"_s, u"ACME"_s});
    desktop.take(2, ContactItem{ContactItem::ContactClass, u"n.d. -"_s, u"Nessun"_s, u"Numero"_s, {}});
    const QList<ContactRow> database{{u"+39 02 123"_s, u"Bianchi"_s, u"1"_s},
                                     {u"0212"_s, QString(), u"Clienti"_s, 42}};

    QList<QStringList> cells;
    for (const auto& row : AddressBookList::rows(desktop, database))
        cells << row.cells();
    QCOMPARE(cells, (QList<QStringList>{
                        {QString(), u"0039061"_s, u"Anna Rossi ACME"_s, u" "_s, QString(), QString()},
                        {QString(), u"003902123"_s, u"Bianchi"_s, u"1"_s, QString(), u"-"_s},
                        // The hidden column holds the row's place in the database.
                        {u"42"_s, u"0212"_s, QString(), u"Clienti"_s, QString(), u"-"_s},
                    }));
    QVERIFY(AddressBookList::rows(desktop, database).first().desktop);
    QVERIFY(!AddressBookList::rows(desktop, database).last().desktop);
}

QTEST_GUILESS_MAIN(tst_AddressBookList)
#include "tst_addressbooklist.moc"
