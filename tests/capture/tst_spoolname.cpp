#include "SpoolName.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

using kestrel::SpoolName;

class tst_SpoolName : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void randomDigitIsZeroOrOne_data();
    void randomDigitIsZeroOrOne();
    void candidatesKeepThePatternAndNeverRepeat();
    void temporaryFolder_data();
    void temporaryFolder();
    void printerNameStaysInTheFolder();
};

static const QDateTime When(QDate(2024, 1, 2), QTime(3, 4, 5));

void tst_SpoolName::randomDigitIsZeroOrOne_data()
{
    QTest::addColumn<double>("random");
    QTest::addColumn<QString>("digit");
    QTest::newRow("0") << 0.0 << QStringLiteral("0");
    QTest::newRow("0.49") << 0.49 << QStringLiteral("0");
    QTest::newRow("0.5 rounds to even") << 0.5 << QStringLiteral("0");
    QTest::newRow("0.51") << 0.51 << QStringLiteral("1");
    QTest::newRow("0.999") << 0.999 << QStringLiteral("1");
}

void tst_SpoolName::randomDigitIsZeroOrOne()
{
    QFETCH(double, random);
    QFETCH(QString, digit);
    SpoolName names;
    names.setClock([] { return When; });
    names.setRandom([random] { return random; });
    QVERIFY(names.plan(QStringLiteral("k"), QStringLiteral("/t")).candidate(0).endsWith(digit + u".ps"));
}

void tst_SpoolName::candidatesKeepThePatternAndNeverRepeat()
{
    SpoolName names;
    names.setClock([] { return When; });
    names.setRandom([] { return 0.9; });
    const SpoolName::Plan plan = names.plan(QStringLiteral("kestrel"), QStringLiteral("/t"));
    const QRegularExpression pattern(QStringLiteral("^/t/kestrel-\\d{14}\\d\\.ps$"));
    QSet<QString> seen;
    for (int attempt = 0; attempt < SpoolName::MaxAttempts; ++attempt) {
        const QString name = plan.candidate(attempt);
        QVERIFY2(pattern.match(name).hasMatch(), qPrintable(name));
        QVERIFY2(!seen.contains(name), qPrintable(name));
        seen.insert(name);
    }
    // The random digit first, then the others of the same second, then the next second.
    QCOMPARE(plan.candidate(0), QStringLiteral("/t/kestrel-202401020304051.ps"));
    QCOMPARE(plan.candidate(1), QStringLiteral("/t/kestrel-202401020304052.ps"));
    QCOMPARE(plan.candidate(9), QStringLiteral("/t/kestrel-202401020304050.ps"));
    QCOMPARE(plan.candidate(10), QStringLiteral("/t/kestrel-202401020304061.ps"));
    // The afternoon is 24-hour time.
    QCOMPARE(SpoolName::compose(QStringLiteral("/t"), QStringLiteral("p"), When.addSecs(12 * 3600), 0),
             QStringLiteral("/t/p-202401021504050.ps"));
}

void tst_SpoolName::temporaryFolder_data()
{
    QTest::addColumn<QByteArray>("temp");
    QTest::addColumn<QString>("folder");
    QTest::newRow("set") << QByteArray("/var/tmp/k") << QStringLiteral("/var/tmp/k");
    QTest::newRow("trailing slash") << QByteArray("/var/tmp/k/") << QStringLiteral("/var/tmp/k");
    QTest::newRow("unset") << QByteArray() << QDir::cleanPath(QDir::tempPath());
    QTest::newRow("relative") << QByteArray("rel")
                              << QDir::cleanPath(QDir::current().absoluteFilePath(QStringLiteral("rel")));
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
    QCOMPARE(SpoolName::compose(got, QStringLiteral("kestrel"), When, 0),
             folder + QStringLiteral("/kestrel-202401020304050.ps"));
}

void tst_SpoolName::printerNameStaysInTheFolder()
{
    QCOMPARE(SpoolName::compose(QStringLiteral("/t"), QStringLiteral("../x/y"), When, 0),
             QStringLiteral("/t/.._x_y-202401020304050.ps"));
}

QTEST_GUILESS_MAIN(tst_SpoolName)
#include "tst_spoolname.moc"
