// Asking the fax server about several jobs, reply by reply, without sockets,
// and reading its listing of a job.

#include "ControlTexts.h"
#include "JobListing.h"
#include "JobQueryProtocol.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

using State = JobReport::State;

namespace {

// hfaxd 6.0.7's listing of a job (JPARM alone), trimmed to what matters,
// with its job id and owner lines unless given.
QString listing(const QString& job, QStringList lines)
{
    if (!lines.join(u'\n').contains(u"JOBID:"_s))
        lines << u"    JOBID: "_s + job;
    if (!lines.join(u'\n').contains(u"OWNER:"_s))
        lines << u"    OWNER: mario"_s;
    return u"217-Job state: jobid %1 groupid %1\r\n    SENDTIME: 20261208201744\r\n"_s.arg(job) +
           lines.join(u"\r\n"_s) + u"\r\n217 End of job %1 state."_s.arg(job);
}

QString listing(const QString& job, const QString& state, const QString& code, const QString& status)
{
    return listing(job, {u"    STATE: "_s + state, u"    STATUSCODE: "_s + code, u"    STATUS: "_s + status,
                         u"    EXTERNAL: 0612"_s, u"    DIALSTRING: 0612"_s, u"    TOTPAGES: 2"_s,
                         u"    NPAGES: 1"_s, u"    NTRIES: 0"_s, u"    NDIALS: 0"_s, u"    TOTDIALS: 3"_s,
                         u"    TOTTRIES: 2"_s, u"    DOCUMENT: PS docq/doc1.ps.7"_s});
}

Reply reply(const QString& text)
{
    return {text.left(3).toInt(), text};
}

} // namespace

Q_DECLARE_METATYPE(QList<int>)

class TestJobQueryProtocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void states_data();
    void states();
    void listingFields();
    void anotherJobsListing_data();
    void anotherJobsListing();
    void serverText_data();
    void serverText();
    void session_data();
    void session();
    void connectionLost();
};

void TestJobQueryProtocol::states_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("expected");
    for (const QString& waiting : {u"SUSPENDED"_s, u"PENDING"_s, u"SLEEPING"_s, u"BLOCKED"_s, u"READY"_s})
        QTest::addRow("%s", qPrintable(waiting)) << waiting << u"000"_s << QString() << int(State::Queued);
    QTest::newRow("ACTIVE") << u"ACTIVE"_s << u"000"_s << QString() << int(State::Sending);
    QTest::newRow("DONE") << u"DONE"_s << u"000"_s << QString() << int(State::Sent);
    // Measured on hfaxd 6.0.7: JKILL, and a kill time that passed.
    QTest::newRow("killed") << u"FAILED"_s << u"345"_s << u"Job aborted by request"_s
                            << int(State::Cancelled);
    QTest::newRow("killed, no code") << u"FAILED"_s << QString() << u"Job aborted by request"_s
                                     << int(State::Cancelled);
    QTest::newRow("kill time passed")
        << u"FAILED"_s << u"325"_s << u"Kill time expired"_s << int(State::Failed);
    QTest::newRow("a word to come") << u"RESTING"_s << u"000"_s << QString() << int(State::Queued);
}

void TestJobQueryProtocol::states()
{
    QFETCH(QString, state);
    QFETCH(QString, code);
    QFETCH(QString, status);
    QFETCH(int, expected);
    const std::optional<JobReport> report =
        readJobListing(u"7"_s, u"mario"_s, listing(u"7"_s, state, code, status));
    QVERIFY(report);
    QCOMPARE(int(report->state), expected);
    QCOMPARE(report->serverState, state);
    QCOMPARE(report->reason, status);
}

void TestJobQueryProtocol::listingFields()
{
    const std::optional<JobReport> report =
        readJobListing(u"7"_s, u"mario"_s, listing(u"7"_s, u"FAILED"_s, u"325"_s, u"Kill time expired"_s));
    QVERIFY(report);
    QCOMPARE(report->job, u"7"_s);
    QCOMPARE(report->number, u"0612"_s);
    QCOMPARE(report->pagesSent, 1);
    QCOMPARE(report->pagesTotal, 2);
    // The totals over every try, not the current try's counts.
    QCOMPARE(report->tries, 2);
    QCOMPARE(report->dials, 3);
    // The dial string is listed to the job's owner only.
    const std::optional<JobReport> other =
        readJobListing(u"7"_s, u"mario"_s, listing(u"7"_s, {u"    STATE: READY"_s, u"    EXTERNAL: 0698"_s}));
    QVERIFY(other);
    QCOMPARE(other->number, u"0698"_s);
    QVERIFY(!readJobListing(u"7"_s, u"mario"_s, listing(u"7"_s, {u"    EXTERNAL: 0698"_s})));
}

void TestJobQueryProtocol::anotherJobsListing_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("mismatch");
    const QString done = u"    STATE: DONE"_s;
    // A server that counted anew gave the number to another user's job.
    QTest::newRow("another user's") << QStringList{done, u"    OWNER: luigi"_s}
                                    << texts::statusOtherOwner(u"7"_s, u"luigi"_s);
    // hfaxd lists its default job after a selection that failed.
    QTest::newRow("the default job") << QStringList{u"    STATE: UNDEFINED"_s, u"    JOBID: default"_s}
                                     << texts::statusOtherJob(u"7"_s, u"default"_s);
    QTest::newRow("another user's, named like ours")
        << QStringList{done, u"    OWNER: Mario"_s} << texts::statusOtherOwner(u"7"_s, u"Mario"_s);
}

void TestJobQueryProtocol::anotherJobsListing()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, mismatch);
    const std::optional<JobReport> report = readJobListing(u"7"_s, u"mario"_s, listing(u"7"_s, lines));
    QVERIFY(report);
    QCOMPARE(report->job, u"7"_s);
    QCOMPARE(int(report->state), int(State::Unknown));
    QCOMPARE(report->mismatch, mismatch);
    QVERIFY(!report->finished());
}

void TestJobQueryProtocol::serverText_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("shown");
    QTest::newRow("UTF-8") << QByteArray("Linea occupata, riprover\xc3\xa0")
                           << u"Linea occupata, riproverà"_s;
    QTest::newRow("Latin-1") << QByteArray("Linea occupata, riprover\xe0") << u"Linea occupata, riproverà"_s;
    QTest::newRow("control characters")
        << QByteArray("No carrier\x1b[2J\x07 detected\xe2\x80\xae!") << u"No carrier [2J detected !"_s;
    QTest::newRow("long") << QByteArray(500, 'x') << QString(MaxServerText - 1, u'x') + u'\u2026';
}

void TestJobQueryProtocol::serverText()
{
    QFETCH(QByteArray, wire);
    QFETCH(QString, shown);
    // Replies are read one byte a character.
    QCOMPARE(kestrel::serverText(QString::fromLatin1(wire)), shown);
    const std::optional<JobReport> report = readJobListing(
        u"7"_s, u"mario"_s,
        listing(u"7"_s, {u"    STATE: FAILED"_s, u"    STATUS: "_s + QString::fromLatin1(wire)}));
    QVERIFY(report);
    QCOMPARE(report->reason, shown);
}

void TestJobQueryProtocol::session_data()
{
    QTest::addColumn<QStringList>("jobs");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QList<int>>("states"); // of the reports, in order
    QTest::addColumn<QString>("error");
    const QStringList login{u"220 vm server (HylaFAX (tm) Version 6.0.7) ready."_s,
                            u"331 Password required for mario."_s, u"230 User mario logged in."_s};
    const QStringList loggedIn{u"USER mario"_s, u"PASS pw"_s};
    const QString unknown = u"500 Cannot set job 9; job does not exist (No such file or directory)."_s;
    QTest::newRow("two jobs, one the server does not know")
        << QStringList{u"7"_s, u"9"_s}
        << login + QStringList{u"200 Current job: jobid: 7 groupid: 7."_s,
                               listing(u"7"_s, u"FAILED"_s, u"345"_s, u"Job aborted by request"_s), unknown,
                               u"221 Goodbye."_s}
        << loggedIn + QStringList{u"JOB 7"_s, u"JPARM"_s, u"JOB 9"_s, u"QUIT"_s}
        << QList<int>{int(State::Cancelled), int(State::Unknown)} << QString();
    QTest::newRow("finished between the two commands: selected again")
        << QStringList{u"7"_s}
        << login + QStringList{u"200 Current job: jobid: 7 groupid: 7."_s,
                               u"500 Cannot access job state; job deleted by another party."_s,
                               u"200 Current job: jobid: 7 groupid: 7."_s,
                               listing(u"7"_s, u"DONE"_s, u"000"_s, QString()), u"221 Goodbye."_s}
        << loggedIn + QStringList{u"JOB 7"_s, u"JPARM"_s, u"JOB 7"_s, u"JPARM"_s, u"QUIT"_s}
        << QList<int>{int(State::Sent)} << QString();
    QTest::newRow("a number that is no job's never goes on the wire")
        << QStringList{u"7\r\nJKILL 8"_s, u"8"_s}
        << login + QStringList{u"200 Current job: jobid: 8 groupid: 8."_s,
                               listing(u"8"_s, u"READY"_s, u"000"_s, QString()), u"221 Goodbye."_s}
        << loggedIn + QStringList{u"JOB 8"_s, u"JPARM"_s, u"QUIT"_s}
        << QList<int>{int(State::Unknown), int(State::Queued)} << QString();
    QTest::newRow("a job refused, the next asked")
        << QStringList{u"7"_s, u"8"_s}
        << login + QStringList{u"503 Not allowed."_s, u"200 Current job: jobid: 8 groupid: 8."_s,
                               listing(u"8"_s, u"ACTIVE"_s, u"000"_s, QString()), u"221 Goodbye."_s}
        << loggedIn + QStringList{u"JOB 7"_s, u"JOB 8"_s, u"JPARM"_s, u"QUIT"_s}
        << QList<int>{int(State::Sending)} << texts::statusRefused(u"7"_s, u"503 Not allowed."_s);
    QTest::newRow("login refused") << QStringList{u"7"_s}
                                   << QStringList{u"220 ready."_s, u"331 Password?"_s,
                                                  u"530 Login incorrect."_s, u"221 Goodbye."_s}
                                   << loggedIn + QStringList{u"QUIT"_s} << QList<int>()
                                   << texts::loginRefused();
    QTest::newRow("no password asked") << QStringList{u"7"_s}
                                       << QStringList{u"130 Warning."_s,
                                                      u"220 ready."_s,
                                                      u"230 logged in."_s,
                                                      u"200 Current job."_s,
                                                      listing(u"7"_s, u"READY"_s, u"000"_s, QString()),
                                                      u"221 Goodbye."_s}
                                       << QStringList{u"USER mario"_s, u"JOB 7"_s, u"JPARM"_s, u"QUIT"_s}
                                       << QList<int>{int(State::Queued)} << QString();
}

void TestJobQueryProtocol::session()
{
    QFETCH(QStringList, jobs);
    QFETCH(QStringList, replies);
    QFETCH(QStringList, commands);
    QFETCH(QList<int>, states);
    QFETCH(QString, error);
    JobQueryProtocol protocol(u"mario"_s, u"pw"_s, jobs);
    QStringList sent;
    QList<JobReport> reports;
    for (const QString& text : replies) {
        sent << protocol.onReply(reply(text));
        reports += protocol.takeReports();
    }
    QCOMPARE(sent, commands);
    // The goodbye was answered.
    QVERIFY(protocol.done());
    QList<int> got;
    for (const JobReport& report : std::as_const(reports))
        got << int(report.state);
    QCOMPARE(got, states);
    QCOMPARE(protocol.error(), error);
    QCOMPARE(protocol.onReply(reply(u"200 Current job."_s)), QStringList());
}

void TestJobQueryProtocol::connectionLost()
{
    JobQueryProtocol protocol(u"mario"_s, u"pw"_s, {u"7"_s, u"8"_s});
    for (const QString& text : {u"220 ready."_s, u"230 in."_s, u"200 Current job."_s})
        protocol.onReply(reply(text));
    protocol.onReply(reply(listing(u"7"_s, u"READY"_s, u"000"_s, QString())));
    protocol.fail(texts::statusConnectionDropped());
    // What was learnt stays; the rest is said not to be known.
    QCOMPARE(protocol.takeReports().size(), 1);
    QCOMPARE(protocol.error(), texts::statusConnectionDropped());
    QVERIFY(protocol.done());

    // After the goodbye nothing is left to lose.
    JobQueryProtocol quitting(u"mario"_s, u"pw"_s, {u"7"_s});
    for (const QString& text : {u"220 ready."_s, u"230 in."_s, u"200 Current job."_s})
        quitting.onReply(reply(text));
    QCOMPARE(quitting.onReply(reply(listing(u"7"_s, u"DONE"_s, u"000"_s, QString()))),
             QStringList{u"QUIT"_s});
    QVERIFY(quitting.asked() && !quitting.done());
    quitting.fail(texts::statusConnectionDropped());
    QCOMPARE(quitting.error(), QString());
}

QTEST_GUILESS_MAIN(TestJobQueryProtocol)
#include "tst_jobqueryprotocol.moc"
