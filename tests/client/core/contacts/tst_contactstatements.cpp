#include "ContactStatements.h"

#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::ContactRow;
using kestrel::ContactStatements;

class tst_ContactStatements : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statementTexts_data();
    void statementTexts();
};

void tst_ContactStatements::statementTexts_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("listing") << ContactStatements::listing()
                             << u"SELECT rowid,* FROM anagrafica ORDER BY gruppo,nome"_s;
    QTest::newRow("insertion") << ContactStatements::insertion(ContactRow{u"0212"_s, u"Rossi"_s, u"1"_s})
                               << u"INSERT INTO anagrafica values('0212','Rossi','1')"_s;
    QTest::newRow("insertion, quotes doubled")
        << ContactStatements::insertion(
               ContactRow{u"0212"_s, u"Dell'Orto"_s, u"'); DROP TABLE anagrafica;--"_s})
        << u"INSERT INTO anagrafica values('0212','Dell''Orto','''); DROP TABLE anagrafica;--')"_s;
    QTest::newRow("deletion, of the row listed")
        << ContactStatements::guardedDeletion(ContactRow{u"0212"_s, u"Dell'Orto"_s, u"1"_s, 42}).text
        << u"DELETE FROM  anagrafica WHERE rowid =? AND IFNULL(CAST(fax AS TEXT),'') =IFNULL(?,'') AND "
           u"IFNULL(CAST(nome AS TEXT),'') =IFNULL(?,'') AND IFNULL(CAST(gruppo AS TEXT),'') =IFNULL(?,'')"_s;
}

void tst_ContactStatements::statementTexts()
{
    QFETCH(QString, statement);
    QFETCH(QString, expected);
    QCOMPARE(statement, expected);
}

QTEST_GUILESS_MAIN(tst_ContactStatements)
#include "tst_contactstatements.moc"
