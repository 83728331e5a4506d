// The session's text routines and command batches, without sockets.

#include "PassiveReply.h"
#include "SessionText.h"

#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

using namespace kestrel;

Q_DECLARE_METATYPE(kestrel::JobOptions)

class TestSessionText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void textBetween_data();
    void textBetween();
    void fileSuffix_data();
    void fileSuffix();
    void lists();
    void parameterBatch_data();
    void parameterBatch();
    void submitBatchChop();
    void jobOptionLines_data();
    void jobOptionLines();
    void passiveReply_data();
    void passiveReply();
};

void TestSessionText::textBetween_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("expected");
    QTest::newRow("job id") << u"200 New job created: jobid: 1234 groupid: 1234."_s << u"id:"_s << u"g"_s
                            << u" 1234 "_s;
    QTest::newRow("no marker") << u"200 ok"_s << u"id:"_s << u"g"_s << QString();
    QTest::newRow("to the end") << u"jobid: 77"_s << u"id:"_s << u"g"_s << u" 77"_s;
    QTest::newRow("long end never matches") << u"id:abgcd"_s << u"id:"_s << u"gc"_s << u"abgcd"_s;
    QTest::newRow("case-sensitive marker") << u"JOBID: 5 g"_s << u"id:"_s << u"g"_s << QString();
}

void TestSessionText::textBetween()
{
    QFETCH(QString, text);
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, expected);
    QCOMPARE(TextBetween(text, start, end), expected);
}

void TestSessionText::fileSuffix_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("ps") << u"/tmp/x.ps"_s << u".ps"_s;
    QTest::newRow("pdf") << u"/tmp/y.pdf"_s << u".pdf"_s;
    QTest::newRow("upper PDF has no dot") << u"/scans/SCAN.PDF"_s << u"PDF"_s;
    QTest::newRow("jpg") << u"a.jpg"_s << u".jpg"_s;
    QTest::newRow("txt") << u"notes.txt"_s << u".txt"_s;
    QTest::newRow("tif") << u"a.tif"_s << u".tif"_s;
    QTest::newRow("tiff") << u"a.tiff"_s << u".tif"_s;
    QTest::newRow("other") << u"a.docx"_s << u"ocx"_s;
    QTest::newRow("short") << u"ab"_s << u"ab"_s;
}

void TestSessionText::fileSuffix()
{
    QFETCH(QString, path);
    QFETCH(QString, suffix);
    QCOMPARE(FileSuffix(path), suffix);
    QCOMPARE(remoteName(u"1234"_s, 2, path), u"1234-2"_s + suffix);
}

void TestSessionText::lists()
{
    QCOMPARE(splitFileList(u"a.ps,b.pdf,"_s), (QStringList{u"a.ps"_s, u"b.pdf"_s}));
    QCOMPARE(splitFileList(u",,a.ps,,"_s), QStringList{u"a.ps"_s});
    QCOMPARE(splitFileList(QString()), QStringList());
    QCOMPARE(splitNumberList(u"0612345:0698765"_s), (QStringList{u"0612345"_s, u"0698765"_s}));
    QCOMPARE(splitNumberList(u"0612345::"_s), QStringList{u"0612345"_s});
}

void TestSessionText::parameterBatch_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("numbers");
    QTest::addColumn<QString>("modem");
    QTest::addColumn<int>("maxDials");
    QTest::addColumn<QByteArray>("wire");
    const QByteArray tail =
        "jparm notify done\r\njparm vres 196\r\njparm usexvres no\r\njparm sendtime now\r\n";
    QTest::newRow("plain")
        << u"Mario"_s << u"0612345"_s << u"any"_s << 3
        << "jparm fromuser mario\r\ntype i\r\njparm dialstring 0612345\r\njparm external 0612345\r\n"
           "jparm maxdials 3\r\n" +
               tail;
    QTest::newRow("two numbers, upper modem kept")
        << u"test"_s << u"0612345:0698765:"_s << u"ANY"_s << -1
        << "jparm fromuser test\r\ntype i\r\njparm dialstring 0612345\r\njparm dialstring 0698765\r\n"
           "jparm external 0698765\r\njparm modem ANY\r\njparm maxdials -1\r\n" +
               tail;
    QTest::newRow("empty modem")
        << u"test"_s << u"1"_s << QString() << 3
        << "jparm fromuser test\r\ntype i\r\njparm dialstring 1\r\njparm external 1\r\njparm modem \r\n"
           "jparm maxdials 3\r\n" +
               tail;
}

void TestSessionText::parameterBatch()
{
    QFETCH(QString, user);
    QFETCH(QString, numbers);
    QFETCH(QString, modem);
    QFETCH(int, maxDials);
    QFETCH(QByteArray, wire);
    QCOMPARE(commandBytes(jobParameterBatch(user, numbers, modem, static_cast<qint16>(maxDials))), wire);
}

void TestSessionText::submitBatchChop()
{
    const QStringList names{u"7-1.ps"_s, u"7-2PDF"_s};
    QCOMPARE(commandBytes(submitBatch(names, true)),
             QByteArray("jparm document /tmp/7-1.ps\r\njparm document /tmp/7-2PDF\r\nJPARM LASTTIME "
                        "000300\r\njsubm\r\n"));
    QCOMPARE(
        commandBytes(submitBatch(names, false)),
        QByteArray("jparm document /tmp/7-1.ps\r\njparm document /tmp/7-2PDF\r\nJPARM LASTTIME 000300\r\n"
                   "jparm pagechop none\r\njparm chopthreshold 0\r\njparm pagelength 296\r\n"
                   "jparm tagline 0\r\njparm usetagline no\r\njsubm\r\n"));
    QCOMPARE(notifyAddressCommand(u"Mario@Example.ORG"_s), u"jparm notifyaddr mario@example.org"_s);
}

// The options change only their own lines; the rest of the job is as ever.
void TestSessionText::jobOptionLines_data()
{
    QTest::addColumn<JobOptions>("options");
    QTest::addColumn<QStringList>("parameterLines"); // after "jparm maxdials 3"
    QTest::addColumn<QString>("lastTime");
    const QStringList asEver{u"jparm notify done"_s, u"jparm vres 196"_s, u"jparm usexvres no"_s,
                             u"jparm sendtime now"_s};
    QTest::newRow("none") << JobOptions{} << asEver << u"JPARM LASTTIME 000300"_s;
    // 10:05 in Rome on a winter day is 09:05 UTC, the server's clock.
    const QDateTime rome(QDate(2027, 1, 15), QTime(10, 5, 40), QTimeZone("Europe/Rome"));
    QTest::newRow("send time in UTC, to the minute")
        << JobOptions{rome, {}, false, {}}
        << QStringList{u"jparm notify done"_s, u"jparm vres 196"_s, u"jparm usexvres no"_s,
                       u"jparm sendtime 202701150905"_s}
        << u"JPARM LASTTIME 000300"_s;
    QTest::newRow("standard, four tries")
        << JobOptions{{}, {}, true, 4}
        << QStringList{u"jparm maxtries 4"_s, u"jparm notify done"_s, u"jparm vres 98"_s,
                       u"jparm usexvres no"_s, u"jparm sendtime now"_s}
        << u"JPARM LASTTIME 000300"_s;
    QTest::newRow("kill after 5 hours")
        << JobOptions{{}, 5, false, {}} << asEver << u"JPARM LASTTIME 000500"_s;
    QTest::newRow("kill after 49 hours")
        << JobOptions{{}, 49, false, {}} << asEver << u"JPARM LASTTIME 020100"_s;
    QTest::newRow("kill after 99 days")
        << JobOptions{{}, JobOptions::MostKillAfterHours, false, {}} << asEver << u"JPARM LASTTIME 990000"_s;
}

void TestSessionText::jobOptionLines()
{
    QFETCH(JobOptions, options);
    QFETCH(QStringList, parameterLines);
    QFETCH(QString, lastTime);
    const QStringList batch = jobParameterBatch(u"u"_s, u"1"_s, u"any"_s, 3, options);
    QCOMPARE(batch.mid(batch.indexOf(u"jparm maxdials 3"_s) + 1), parameterLines);
    QCOMPARE(submitBatch({u"7-1.ps"_s}, true, options),
             (QStringList{u"jparm document /tmp/7-1.ps"_s, lastTime, u"jsubm"_s}));
}

void TestSessionText::passiveReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("hfaxd") << u"227 Entering passive mode (127,0,0,1,213,173)"_s << u"127.0.0.1"_s
                           << 213 * 256 + 173;
    QTest::newRow("port 50000") << u"227 Entering Passive Mode (192,168,1,20,195,80)"_s << u"192.168.1.20"_s
                                << 50000;
    QTest::newRow("blanks") << u"227 ok ( 10, 0, 0, 5, 4, 1 )."_s << u"10.0.0.5"_s << 1025;
    QTest::newRow("no parentheses") << u"227 =127,0,0,1,4,1"_s << u"127.0.0.1"_s << 1025;
    QTest::newRow("out of range") << u"227 (127,0,0,1,256,1)"_s << QString() << 0;
    QTest::newRow("five numbers") << u"227 (127,0,0,1,4)"_s << QString() << 0;
    QTest::newRow("port zero") << u"227 (127,0,0,1,0,0)"_s << QString() << 0;
    QTest::newRow("garbage") << u"227 (a,b,c,d,e,f)"_s << QString() << 0;
}

void TestSessionText::passiveReply()
{
    QFETCH(QString, reply);
    QFETCH(QString, host);
    QFETCH(int, port);
    const auto address = parsePassiveReply(reply);
    QCOMPARE(address.has_value(), !host.isEmpty());
    if (address) {
        QCOMPARE(address->host, host);
        QCOMPARE(int(address->port), port);
    }
}

QTEST_GUILESS_MAIN(TestSessionText)
#include "tst_sessiontext.moc"
