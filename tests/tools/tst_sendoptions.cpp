// corvafax-send's command line: which request it makes, and which usage
// error stops it (the first one the program would report).

#include "CorvanefaxHost.h"
#include "JobOptionsCheck.h"
#include "SendOptions.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

Q_DECLARE_METATYPE(kestrel::JobOptions)

class TestSendOptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void usageError_data();
    void usageError();
    void request_data();
    void request();
    void captureAsksOnlyForTheAppliance();
    void jobOptionsCheck_data();
    void jobOptionsCheck();
    void jobOptions();
    void cancelTakesJobsAndLogin();
    void emptyPasswordFileGivesAnEmptyPassword();
    void tagsTakeTheDocumentAndNoNumber();

private:
    Expected<SendOptions> parse(const QStringList& arguments) const;

    QTemporaryDir m_dir;
    QString m_doc;
};

void TestSendOptions::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_doc = m_dir.filePath(u"doc.ps"_s);
    QFile file(m_doc);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%!PS-Adobe-3.0\n%%EOF\n");
}

Expected<SendOptions> TestSendOptions::parse(const QStringList& arguments) const
{
    QCommandLineParser parser;
    addSendOptions(parser);
    if (!parser.parse(QStringList{u"corvafax-send"_s} + arguments))
        return Error{u"not parsed: "_s + parser.errorText()};
    return sendOptions(parser);
}

void TestSendOptions::usageError_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");
    const QStringList base{u"--appliance"_s, u"h"_s, u"-d"_s, u"1"_s};
    const QString none = m_dir.filePath(u"none.ps"_s);
    QTest::newRow("no appliance") << QStringList{u"-d"_s, u"1"_s, m_doc} << u"--appliance is required"_s;
    QTest::newRow("no number") << QStringList{u"--appliance"_s, u"h"_s, m_doc}
                               << u"at least one -d NUMBER is required"_s;
    QTest::newRow("two numbers in one")
        << QStringList{u"--appliance"_s, u"h"_s, u"-d"_s, u"1:2"_s, m_doc} << u"invalid number '1:2'"_s;
    QTest::newRow("blank number") << QStringList{u"--appliance"_s, u"h"_s, u"-d"_s, u" "_s, m_doc}
                                  << u"invalid number ' '"_s;
    QTest::newRow("no document") << base << u"no document given"_s;
    QTest::newRow("comma in a file name")
        << base + QStringList{u"a,b.ps"_s} << u"file names may not contain ',': a,b.ps"_s;
    QTest::newRow("missing document") << base + QStringList{none} << u"cannot read "_s + none;
    QTest::newRow("a folder") << base + QStringList{m_dir.path()} << u"cannot read "_s + m_dir.path();
    for (const QString& dials : {u"0"_s, u"-1"_s, u"100"_s, u"tre"_s})
        QTest::addRow("maxdials %s", qPrintable(dials)) << base + QStringList{u"--maxdials"_s, dials, m_doc}
                                                        << u"--maxdials must be a number from 1 to 99"_s;
    QTest::newRow("both passwords") << base + QStringList{u"--password"_s, u"x"_s, u"--password-file"_s,
                                                          u"p"_s, m_doc}
                                    << u"--password and --password-file exclude each other"_s;
    QTest::newRow("wait limit zero") << base + QStringList{u"--wait"_s, u"--wait-limit"_s, u"0"_s, m_doc}
                                     << u"invalid --wait-limit"_s;
    QTest::newRow("wait limit without wait")
        << base + QStringList{u"--wait-limit"_s, u"5"_s, m_doc} << u"--wait-limit needs --wait"_s;
    QTest::newRow("timeout not a number")
        << base + QStringList{u"--timeout"_s, u"1m"_s, m_doc} << u"invalid --timeout"_s;
    const QString tomorrow = QDateTime::currentDateTime().addDays(1).toString(u"yyyy-MM-dd HH:mm"_s);
    for (const QString& at : {u"2026-13-01 10:00"_s, u"tomorrow"_s, u"2027-01-15T10:00"_s})
        QTest::addRow("at %s", qPrintable(at)) << base + QStringList{u"--at"_s, at, m_doc}
                                               << u"--at must be a local time as \"YYYY-MM-DD HH:MM\""_s;
    QTest::newRow("at in the past") << base + QStringList{u"--at"_s, u"2020-01-01 10:00"_s, m_doc}
                                    << u"--at is in the past"_s;
    QTest::newRow("at more than a year ahead")
        << base + QStringList{u"--at"_s,
                              QDateTime::currentDateTime().addDays(367).toString(u"yyyy-MM-dd HH:mm"_s),
                              m_doc}
        << u"--at is more than a year ahead"_s;
    QTest::newRow("kill after no hours")
        << base + QStringList{u"--at"_s, tomorrow, u"--kill-after"_s, u"0"_s, m_doc}
        << u"--kill-after must be at least 1: the fax would be given up before it is sent"_s;
    QTest::newRow("kill after 100 days") << base + QStringList{u"--kill-after"_s, u"2400"_s, m_doc}
                                         << u"--kill-after must be at most 2376 hours"_s;
    QTest::newRow("kill after not a number") << base + QStringList{u"--kill-after"_s, u"3h"_s, m_doc}
                                             << u"--kill-after must be a number of hours"_s;
    for (const QString& tries : {u"0"_s, u"-1"_s, u"100"_s, u"x"_s})
        QTest::addRow("tries %s", qPrintable(tries))
            << base + QStringList{u"--tries"_s, tries, m_doc} << u"--tries must be a number from 1 to 99"_s;
    QTest::newRow("the first error wins")
        << QStringList{u"--appliance"_s, u"h"_s, u"-d"_s, u"1:2"_s, u"--maxdials"_s, u"0"_s}
        << u"invalid number '1:2'"_s;
    // --cancel JOB...
    const QStringList cancel{u"--appliance"_s, u"h"_s, u"--cancel"_s};
    QTest::newRow("cancel without jobs") << cancel << u"--cancel needs at least one job number"_s;
    for (const QString& job : {u"7a"_s, u"-"_s, u"1234567890"_s, u"7 8"_s})
        QTest::addRow("cancel job '%s'", qPrintable(job))
            << cancel + QStringList{u"7"_s, job} << u"invalid job number '%1'"_s.arg(job);
    QTest::newRow("cancel with a number")
        << cancel + QStringList{u"-d"_s, u"1"_s, u"7"_s} << u"--cancel takes job numbers, not -d"_s;
    QTest::newRow("cancel while capturing")
        << cancel + QStringList{u"--capture"_s, u"7"_s} << u"--cancel and --capture exclude each other"_s;
    QTest::newRow("cancel, both passwords")
        << cancel + QStringList{u"--password"_s, u"x"_s, u"--password-file"_s, u"p"_s, u"7"_s}
        << u"--password and --password-file exclude each other"_s;
    QTest::newRow("cancel, bad timeout")
        << cancel + QStringList{u"--timeout"_s, u"0"_s, u"7"_s} << u"invalid --timeout"_s;
    // --tags FILE: the numbers come from the pages.
    const QStringList tags{u"--appliance"_s, u"h"_s, u"--tags"_s};
    QTest::newRow("tags with a number")
        << tags + QStringList{m_doc, u"-d"_s, u"1"_s} << u"--tags reads the numbers from the pages: no -d"_s;
    QTest::newRow("tags with more documents")
        << tags + QStringList{m_doc, m_doc} << u"--tags takes one document, the file after it"_s;
    QTest::newRow("tags, missing document") << tags + QStringList{none} << u"cannot read "_s + none;
    QTest::newRow("drop-common without tags")
        << base + QStringList{u"--drop-common"_s, m_doc} << u"--drop-common needs --tags"_s;
}

void TestSendOptions::usageError()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    const Expected<SendOptions> options = parse(arguments);
    QVERIFY(!options);
    QCOMPARE(options.error().message, error);
}

void TestSendOptions::request_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("maxDials");
    QTest::addColumn<qint64>("waitLimitMs");
    QTest::addColumn<int>("replyLimitMs");
    QTest::addColumn<qint64>("hostWaitLimitMs");
    const QStringList base{u"--appliance"_s, u"h"_s, u"-d"_s, u"1"_s, m_doc};
    const qint64 day = CorvanefaxHost::LongestWaitMs;
    QTest::newRow("defaults") << base << 3 << qint64(0) << 60000 << qint64(0);
    QTest::newRow("dials") << base + QStringList{u"--maxdials"_s, u"99"_s} << 99 << qint64(0) << 60000
                           << qint64(0);
    QTest::newRow("wait limit") << base + QStringList{u"--wait"_s, u"--wait-limit"_s, u"90"_s} << 3
                                << qint64(90000) << 60000 << qint64(0);
    QTest::newRow("wait limit beyond a day")
        << base + QStringList{u"--wait"_s, u"--wait-limit"_s, u"9999999999"_s} << 3 << day << 60000
        << qint64(0);
    QTest::newRow("timeout") << base + QStringList{u"--timeout"_s, u"5"_s} << 3 << qint64(0) << 5000
                             << qint64(5000);
    QTest::newRow("timeout beyond a day")
        << base + QStringList{u"--timeout"_s, u"9999999999"_s} << 3 << qint64(0) << int(day) << day;
}

void TestSendOptions::request()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, maxDials);
    QFETCH(qint64, waitLimitMs);
    QFETCH(int, replyLimitMs);
    QFETCH(qint64, hostWaitLimitMs);
    const Expected<SendOptions> options = parse(arguments);
    QVERIFY2(options, options ? "" : qPrintable(options.error().message));
    QVERIFY(!options->capture);
    const SendRequest& request = options->request;
    QCOMPARE(request.appliance, u"h"_s);
    QCOMPARE(request.numbers, QStringList{u"1"_s});
    QCOMPARE(request.files, QStringList{QFileInfo(m_doc).absoluteFilePath()});
    QCOMPARE(request.maxDials, maxDials);
    QCOMPARE(request.waitLimitMs, waitLimitMs);
    QCOMPARE(request.replyLimitMs, replyLimitMs);
    QCOMPARE(options->hostWaitLimitMs, hostWaitLimitMs);
}

void TestSendOptions::captureAsksOnlyForTheAppliance()
{
    const Expected<SendOptions> options =
        parse({u"--appliance"_s, u"h"_s, u"--capture"_s, u"--debug"_s, u"--maxdials"_s, u"0"_s});
    QVERIFY(options);
    QVERIFY(options->capture);
    QCOMPARE(options->printer, u"kestrel"_s);
    QCOMPARE(options->request.appliance, u"h"_s);
    QVERIFY(options->request.debug);
}

// The checks both the send window and corvafax-send make before a fax goes.
void TestSendOptions::jobOptionsCheck_data()
{
    QTest::addColumn<JobOptions>("options");
    QTest::addColumn<int>("problem");
    using P = JobOptionsProblem;
    const QDateTime now(QDate(2027, 1, 15), QTime(10, 30, 40));
    const auto at = [](const QDateTime& when) {
        return JobOptions{when, {}, false, {}};
    };
    QTest::newRow("none") << JobOptions{} << int(P::None);
    QTest::newRow("this minute") << at(now.addSecs(-40)) << int(P::None);
    QTest::newRow("the minute before") << at(now.addSecs(-41)) << int(P::SendTimePast);
    QTest::newRow("a year ahead") << at(now.addYears(1)) << int(P::None);
    QTest::newRow("a year and a minute") << at(now.addYears(1).addSecs(60)) << int(P::SendTimeTooFar);
    QTest::newRow("kill after 1 hour") << JobOptions{{}, 1, false, {}} << int(P::None);
    QTest::newRow("kill at the send time")
        << JobOptions{now.addDays(1), 0, false, {}} << int(P::KillBeforeSend);
    QTest::newRow("kill before the send time") << JobOptions{{}, -2, false, {}} << int(P::KillBeforeSend);
    QTest::newRow("kill after 99 days") << JobOptions{{}, 2376, false, {}} << int(P::None);
    QTest::newRow("kill after 99 days and an hour") << JobOptions{{}, 2377, false, {}} << int(P::KillTooLate);
    QTest::newRow("99 tries") << JobOptions{{}, {}, true, 99} << int(P::None);
    QTest::newRow("no tries") << JobOptions{{}, {}, false, 0} << int(P::TriesOutOfRange);
    QTest::newRow("100 tries") << JobOptions{{}, {}, false, 100} << int(P::TriesOutOfRange);
    QTest::newRow("the send time first") << JobOptions{now.addYears(-1), 0, false, 0} << int(P::SendTimePast);
}

void TestSendOptions::jobOptionsCheck()
{
    QFETCH(JobOptions, options);
    QFETCH(int, problem);
    const QDateTime now(QDate(2027, 1, 15), QTime(10, 30, 40));
    QCOMPARE(int(checkJobOptions(options, now)), problem);
}

void TestSendOptions::jobOptions()
{
    const QDateTime at = QDateTime::currentDateTime().addDays(1);
    const Expected<SendOptions> options =
        parse({u"--appliance"_s, u"h"_s, u"-d"_s, u"1"_s, u"--at"_s, at.toString(u"yyyy-MM-dd HH:mm"_s),
               u"--kill-after"_s, u"30"_s, u"--standard"_s, u"--tries"_s, u"4"_s, m_doc});
    QVERIFY2(options, options ? "" : qPrintable(options.error().message));
    const JobOptions& job = options->request.options;
    QCOMPARE(job.sendAt, QDateTime(at.date(), QTime(at.time().hour(), at.time().minute())));
    QCOMPARE(job.killAfterHours, 30);
    QVERIFY(job.standardResolution);
    QCOMPARE(job.maxTries, 4);
    const Expected<SendOptions> plain = parse({u"--appliance"_s, u"h"_s, u"-d"_s, u"1"_s, m_doc});
    QVERIFY(plain && plain->request.options.isDefault());
}

void TestSendOptions::cancelTakesJobsAndLogin()
{
    const Expected<SendOptions> options =
        parse({u"--appliance"_s, u"h"_s, u"--user"_s, u"mario"_s, u"--password"_s, u"pw"_s, u"--timeout"_s,
               u"5"_s, u"--cancel"_s, u"7"_s, u"12"_s});
    QVERIFY2(options, options ? "" : qPrintable(options.error().message));
    QVERIFY(options->cancel);
    QVERIFY(!options->capture);
    QCOMPARE(options->jobs, (QStringList{u"7"_s, u"12"_s}));
    QCOMPARE(options->request.appliance, u"h"_s);
    QCOMPARE(options->request.user, u"mario"_s);
    QCOMPARE(options->request.password, u"pw"_s);
    QCOMPARE(options->hostWaitLimitMs, qint64(5000));
    QVERIFY(options->request.files.isEmpty());
}

// An empty password file says the password is empty: it is given (the
// keyring is not asked and the control's own is not used), not missing.
void TestSendOptions::emptyPasswordFileGivesAnEmptyPassword()
{
    const QString path = m_dir.filePath(u"empty-password"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    file.close();
    const Expected<SendOptions> options = parse({u"--appliance"_s, u"h"_s, u"--user"_s, u"mario"_s,
                                                 u"--password-file"_s, path, u"-d"_s, u"1"_s, m_doc});
    QVERIFY2(options, options ? "" : qPrintable(options.error().message));
    QVERIFY(options->request.password.isEmpty());
    QVERIFY(!options->request.password.isNull());
}

void TestSendOptions::tagsTakeTheDocumentAndNoNumber()
{
    const Expected<SendOptions> options =
        parse({u"--appliance"_s, u"h"_s, u"--tags"_s, m_doc, u"--drop-common"_s, u"--maxdials"_s, u"5"_s});
    QVERIFY2(options, options ? "" : qPrintable(options.error().message));
    QCOMPARE(options->tagsFile, m_doc);
    QVERIFY(options->dropCommonPages);
    QVERIFY(options->request.numbers.isEmpty());
    QVERIFY(options->request.files.isEmpty());
    QCOMPARE(options->request.maxDials, qint16(5));
}

QTEST_GUILESS_MAIN(TestSendOptions)
#include "tst_sendoptions.moc"
