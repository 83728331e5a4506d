// Finding a fax: what the user types against a fax's name, number and job
// number.

#include "FaxSearch.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

class TestFaxSearch : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void matches_data();
    void matches();
    void matchesOfKeepsTheOrder();
};

void TestFaxSearch::matches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("job");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("found");
    const QString rossi = u"Studio Rossi & C."_s;
    // The number: its digits, however either is written.
    QTest::newRow("number, part") << rossi << u"0612345"_s << u"77"_s << u"1234"_s << true;
    QTest::newRow("number, with blanks and dashes")
        << rossi << u"0612345"_s << u"77"_s << u"06 123-45"_s << true;
    QTest::newRow("number written with blanks")
        << QString() << u"06 12 345"_s << u"77"_s << u"0612345"_s << true;
    QTest::newRow("number with its prefix") << QString() << u"+39 06 12345"_s << u"77"_s << u"3906"_s << true;
    QTest::newRow("number, other digits") << rossi << u"0612345"_s << u"77"_s << u"0699"_s << false;
    // The name: a part, case and accents aside, blanks as one.
    QTest::newRow("name, part") << rossi << u"0612345"_s << u"77"_s << u"rossi"_s << true;
    QTest::newRow("name, upper case") << rossi << u"0612345"_s << u"77"_s << u"STUDIO"_s << true;
    QTest::newRow("name, two words") << rossi << u"0612345"_s << u"77"_s << u"studio  rossi"_s << true;
    QTest::newRow("name, accents aside")
        << u"Società Àlfa"_s << u"0612345"_s << u"77"_s << u"societa alfa"_s << true;
    QTest::newRow("name, accent typed")
        << u"Societa Alfa"_s << u"0612345"_s << u"77"_s << u"Società"_s << true;
    QTest::newRow("name, other") << rossi << u"0612345"_s << u"77"_s << u"bianchi"_s << false;
    // A name with letters is not a number: its digits are not looked for.
    QTest::newRow("letters and digits") << rossi << u"0612345"_s << u"77"_s << u"rossi 0612"_s << false;
    // The job number.
    QTest::newRow("job") << rossi << u"0612345"_s << u"981"_s << u"981"_s << true;
    QTest::newRow("job, part") << rossi << u"0612345"_s << u"981"_s << u"98"_s << true;
    QTest::newRow("job, other") << rossi << u"0612345"_s << u"981"_s << u"982"_s << false;
    // Never across two parts: the name's end and the number's start.
    QTest::newRow("across name and number") << u"Fax 12"_s << u"345"_s << u"7"_s << u"12345"_s << false;
    // Nothing typed (or blanks only): every fax.
    QTest::newRow("empty") << rossi << u"0612345"_s << u"77"_s << QString() << true;
    QTest::newRow("blanks") << rossi << u"0612345"_s << u"77"_s << u"   "_s << true;
}

void TestFaxSearch::matches()
{
    QFETCH(QString, name);
    QFETCH(QString, number);
    QFETCH(QString, job);
    QFETCH(QString, typed);
    QFETCH(bool, found);
    FaxRecord record;
    record.name = name;
    record.number = number;
    record.job = job;
    QCOMPARE(faxSearch::matches(faxSearch::keyOf(record), faxSearch::queryOf(typed)), found);
}

void TestFaxSearch::matchesOfKeepsTheOrder()
{
    QList<FaxRecord> records(3);
    records[0].name = u"Rossi"_s;
    records[1].name = u"Bianchi"_s;
    records[2].name = u"Rossini"_s;
    const QStringList keys = faxSearch::keysOf(records);
    QCOMPARE(faxSearch::matchesOf(keys, faxSearch::queryOf(u"ross"_s)), (QList<bool>{true, false, true}));
}

QTEST_GUILESS_MAIN(TestFaxSearch)
#include "tst_faxsearch.moc"
