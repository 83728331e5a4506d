#include "SpoolName.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace Qt::StringLiterals;

using kestrel::SpoolName;

class tst_SpoolName : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void randomDigitIsZeroOrOne_data();
    void randomDigitIsZeroOrOne();
    void candidatesKeepThePatternAndNeverRepeat();
    void burstKeepsTheCaptureSecond_data();
    void burstKeepsTheCaptureSecond();
    void temporaryFolder_data();
    void temporaryFolder();
    void printerNameStaysInTheFolder();
};

static const QDateTime When(QDate(2024, 1, 2), QTime(3, 4, 5));

void tst_SpoolName::randomDigitIsZeroOrOne_data()
{
    QTest::addColumn<double>("random");
    QTest::addColumn<QString>("digit");
    QTest::newRow("0") << 0.0 << u"0"_s;
    QTest::newRow("0.49") << 0.49 << u"0"_s;
    QTest::newRow("0.5 rounds to even") << 0.5 << u"0"_s;
    QTest::newRow("0.51") << 0.51 << u"1"_s;
    QTest::newRow("0.999") << 0.999 << u"1"_s;
}

void tst_SpoolName::randomDigitIsZeroOrOne()
{
    QFETCH(double, random);
    QFETCH(QString, digit);
    SpoolName names;
    names.setClock([] { return When; });
    names.setRandom([random] { return random; });
    QVERIFY(names.plan(u"k"_s, u"/t"_s).candidate(0).endsWith(digit + u".ps"));
}

void tst_SpoolName::candidatesKeepThePatternAndNeverRepeat()
{
    SpoolName names;
    names.setClock([] { return When; });
    names.setRandom([] { return 0.9; });
    const SpoolName::Plan plan = names.plan(u"kestrel"_s, u"/t"_s);
    const QRegularExpression pattern(u"^/t/kestrel-\\d{14}\\d(-\\d+)?\\.ps$"_s);
    QSet<QString> seen;
    for (int attempt = 0; attempt < SpoolName::MaxAttempts; ++attempt) {
        const QString name = plan.candidate(attempt);
        QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
        QVERIFY2(!seen.contains(name), qPrintable(name));
        seen.insert(name);
    }
    // The afternoon is 24-hour time.
    QCOMPARE(SpoolName::compose(u"/t"_s, u"p"_s, When.addSecs(12 * 3600), 0), u"/t/p-202401021504050.ps"_s);
}

void tst_SpoolName::burstKeepsTheCaptureSecond_data()
{
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QString>("name");
    // The random digit first, then the other nine of the same second, then
    // the random digit again with a counter: never a second that has not come.
    QTest::newRow("first") << 0 << u"/t/kestrel-202401020304051.ps"_s;
    QTest::newRow("next digit") << 1 << u"/t/kestrel-202401020304052.ps"_s;
    QTest::newRow("digits wrap") << 9 << u"/t/kestrel-202401020304050.ps"_s;
    QTest::newRow("eleventh") << 10 << u"/t/kestrel-202401020304051-2.ps"_s;
    QTest::newRow("twelfth") << 11 << u"/t/kestrel-202401020304051-3.ps"_s;
    QTest::newRow("last") << SpoolName::MaxAttempts - 1
                          << u"/t/kestrel-202401020304051-%1.ps"_s.arg(SpoolName::MaxAttempts - 9);
}

void tst_SpoolName::burstKeepsTheCaptureSecond()
{
    QFETCH(int, attempt);
    QFETCH(QString, name);
    SpoolName names;
    names.setClock([] { return When; });
    names.setRandom([] { return 0.9; });
    QCOMPARE(names.plan(u"kestrel"_s, u"/t"_s).candidate(attempt), name);
}

void tst_SpoolName::temporaryFolder_data()
{
    QTest::addColumn<QByteArray>("temp");
    QTest::addColumn<QString>("folder");
    QTest::newRow("set") << QByteArray("/var/tmp/k") << u"/var/tmp/k"_s;
    QTest::newRow("trailing slash") << QByteArray("/var/tmp/k/") << u"/var/tmp/k"_s;
    QTest::newRow("unset") << QByteArray() << QDir::cleanPath(QDir::tempPath());
    QTest::newRow("relative") << QByteArray("rel")
                              << QDir::cleanPath(QDir::current().absoluteFilePath(u"rel"_s));
}

void tst_SpoolName::temporaryFolder()
{
    QFETCH(QByteArray, temp);
    QFETCH(QString, folder);
    const QByteArray saved = qgetenv("TEMP");
    if (temp.isNull())
        qunsetenv("TEMP");
    else
        qputenv("TEMP", temp);
    const QString got = SpoolName::temporaryFolder();
    qputenv("TEMP", saved);
    QCOMPARE(got, folder);
    QCOMPARE(SpoolName::compose(got, u"kestrel"_s, When, 0), folder + u"/kestrel-202401020304050.ps"_s);
}

void tst_SpoolName::printerNameStaysInTheFolder()
{
    QCOMPARE(SpoolName::compose(u"/t"_s, u"../x/y"_s, When, 0), u"/t/.._x_y-202401020304050.ps"_s);
}

QTEST_GUILESS_MAIN(tst_SpoolName)
#include "tst_spoolname.moc"
