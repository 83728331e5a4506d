// Stopping jobs and moving a queued job's send time on the fax server,
// reply by reply, without sockets. The replies are hfaxd 6.0.7's.

#include "ControlTexts.h"
#include "JobActionProtocol.h"

#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

using namespace kestrel;

using Outcome = JobActionReport::Outcome;

namespace {

Reply reply(const QString& text)
{
    return {text.left(3).toInt(), text};
}

// Logs in as mario, then gives the replies one by one: the commands sent
// from the first job's selection on, in order. cut: the connection is lost
// after the last reply.
QStringList converse(JobActionProtocol& protocol, const QStringList& replies, bool cut)
{
    protocol.onReply(reply(u"220 hfaxd (HylaFAX (tm) Version 6.0.7) server ready."_s));
    QStringList sent = protocol.onReply(reply(u"230 User mario logged in."_s));
    for (const QString& text : replies)
        sent << protocol.onReply(reply(text));
    if (cut)
        protocol.fail(texts::actionConnectionDropped());
    return sent;
}

const QDateTime MoveTo(QDate(2026, 12, 11), QTime(3, 57), QTimeZone::utc());
const QString Goodbye = u"221 Goodbye."_s;

} // namespace

class TestJobActionProtocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cancel_data();
    void cancel();
    void move_data();
    void move();
    void cancelsSeveral();
    void staleViewMakesNewSessions();
};

void TestJobActionProtocol::cancel_data()
{
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QStringList>("commands");
    // -1: the job gets no report (error says why).
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("error");

    const QString selected = u"200 Current job: jobid: 7 groupid: 7."_s;
    const QString ours = u"213 mario"_s;
    const QStringList asked{u"JOB 7"_s, u"JPARM OWNER"_s, u"JKILL"_s, u"QUIT"_s};
    QTest::newRow("killed") << QStringList{selected, ours, u"200 Job 7 killed."_s, Goodbye} << false << asked
                            << int(Outcome::Done) << QString() << QString();
    QTest::newRow("another job said killed")
        << QStringList{selected, ours, u"200 Job 8 killed."_s, Goodbye} << false << asked
        << int(Outcome::Refused) << texts::actionUnconfirmed(u"7"_s, u"200 Job 8 killed."_s) << QString();
    QTest::newRow("another job selected")
        << QStringList{u"200 Current job: jobid: 70 groupid: 70."_s, Goodbye} << false
        << QStringList{u"JOB 7"_s, u"QUIT"_s} << int(Outcome::Refused)
        << texts::actionUnconfirmed(u"7"_s, u"200 Current job: jobid: 70 groupid: 70."_s) << QString();
    QTest::newRow("already done")
        << QStringList{selected, ours, u"504 Job 7 not killed; already done."_s, Goodbye} << false << asked
        << int(Outcome::Refused)
        << u"Il fax n. 7 è già concluso: il server fax non lo ha annullato (504 Job 7 not killed; already done.)"_s
        << QString();
    QTest::newRow("not permitted")
        << QStringList{selected, ours, u"504 Cannot kill job: Operation not permitted."_s, Goodbye} << false
        << asked << int(Outcome::Refused)
        << u"Il server fax non permette a questo utente di modificare il fax n. 7 (504 Cannot kill job: Operation not permitted.)"_s
        << QString();
    // Never killed: the server would let an administrator do it.
    QTest::newRow("another user's job")
        << QStringList{selected, u"213 luigi"_s, Goodbye} << false
        << QStringList{u"JOB 7"_s, u"JPARM OWNER"_s, u"QUIT"_s} << int(Outcome::Refused)
        << texts::statusOtherOwner(u"7"_s, u"luigi"_s) << QString();
    QTest::newRow("unknown job")
        << QStringList{u"500 Cannot set job 7; job does not exist (No such file or directory)."_s, Goodbye}
        << false << QStringList{u"JOB 7"_s, u"QUIT"_s} << int(Outcome::Unknown)
        << texts::actionUnknownJob(u"7"_s,
                                   u"500 Cannot set job 7; job does not exist (No such file or directory)."_s)
        << QString();
    QTest::newRow("gone before the kill")
        << QStringList{selected, ours,
                       u"500 Cannot kill job 7; job does not exist (No such file or directory)."_s, Goodbye}
        << false << asked << int(Outcome::Unknown)
        << texts::actionUnknownJob(
               u"7"_s, u"500 Cannot kill job 7; job does not exist (No such file or directory)."_s)
        << QString();
    QTest::newRow("cut before the kill's answer")
        << QStringList{selected, ours} << true << QStringList{u"JOB 7"_s, u"JPARM OWNER"_s, u"JKILL"_s} << -1
        << QString() << texts::actionConnectionDropped();
    QTest::newRow("cut after the kill, at the goodbye")
        << QStringList{selected, ours, u"200 Job 7 killed."_s} << true << asked << int(Outcome::Done)
        << QString() << QString();
}

void TestJobActionProtocol::cancel()
{
    QFETCH(QStringList, replies);
    QFETCH(bool, cut);
    QFETCH(QStringList, commands);
    QFETCH(int, outcome);
    QFETCH(QString, reason);
    QFETCH(QString, error);

    JobActionProtocol protocol(u"mario"_s, u"pw"_s, {u"7"_s});
    QCOMPARE(converse(protocol, replies, cut), commands);
    const QList<JobActionReport> reports = protocol.takeActions();
    QCOMPARE(reports.size(), outcome < 0 ? 0 : 1);
    if (outcome >= 0) {
        QCOMPARE(reports.at(0).job, u"7"_s);
        QCOMPARE(int(reports.at(0).outcome), outcome);
        QCOMPARE(reports.at(0).reason, reason);
    }
    QCOMPARE(protocol.error(), error);
    QVERIFY(protocol.done());
}

void TestJobActionProtocol::move_data()
{
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("error");

    const QStringList start{u"200 Current job: jobid: 7 groupid: 7."_s, u"213 mario"_s, u"213 SLEEPING"_s,
                            u"213 000300"_s, u"200 Job 7 suspended."_s};
    const QStringList startAsked{u"JOB 7"_s,          u"JPARM OWNER"_s, u"JPARM STATE"_s,
                                 u"JPARM LASTTIME"_s, u"JSUSP"_s,       u"JPARM SENDTIME 202612110357"_s};
    const QString timeSet = u"213 SENDTIME set to 20261211035700."_s;
    const QString spanSet = u"213 LASTTIME set to 000300."_s;
    const QString submitted = u"200 Job 7 submitted."_s;
    const QStringList rest{u"JPARM LASTTIME 000300"_s, u"JSUBM"_s, u"JPARM SENDTIME"_s, u"QUIT"_s};

    QTest::newRow("moved") << start +
                                  QStringList{timeSet, spanSet, submitted, u"213 20261211035700"_s, Goodbye}
                           << false << startAsked + rest << int(Outcome::Done) << QString() << QString();
    QTest::newRow("another time read back")
        << start + QStringList{timeSet, spanSet, submitted, u"213 20261210035700"_s, Goodbye} << false
        << startAsked + rest << int(Outcome::Refused)
        << texts::actionUnconfirmed(u"7"_s, u"213 20261210035700"_s) << QString();
    // Refused after the suspension: submitted again all the same.
    QTest::newRow("send time refused")
        << start + QStringList{u"500 Bad time."_s, submitted, Goodbye} << false
        << startAsked + QStringList{u"JSUBM"_s, u"QUIT"_s} << int(Outcome::Refused)
        << u"Il server fax non ha spostato il fax n. 7 (500 Bad time.)"_s << QString();
    QTest::newRow("kill time already past the send time: left as it is")
        << QStringList{u"200 Current job: jobid: 7 groupid: 7."_s,
                       u"213 mario"_s,
                       u"213 READY"_s,
                       u"213 00-2100"_s,
                       u"200 Job 7 suspended."_s,
                       timeSet,
                       submitted,
                       u"213 20261211035700"_s,
                       Goodbye}
        << false << startAsked + QStringList{u"JSUBM"_s, u"JPARM SENDTIME"_s, u"QUIT"_s} << int(Outcome::Done)
        << QString() << QString();
    QTest::newRow("on the line") << QStringList{u"200 Current job: jobid: 7 groupid: 7."_s, u"213 mario"_s,
                                                u"213 ACTIVE"_s, Goodbye}
                                 << false
                                 << QStringList{u"JOB 7"_s, u"JPARM OWNER"_s, u"JPARM STATE"_s, u"QUIT"_s}
                                 << int(Outcome::Refused) << texts::moveNotQueued(u"7"_s, u"ACTIVE"_s)
                                 << QString();
    QTest::newRow("another user's job")
        << QStringList{u"200 Current job: jobid: 7 groupid: 7."_s, u"213 luigi"_s, Goodbye} << false
        << QStringList{u"JOB 7"_s, u"JPARM OWNER"_s, u"QUIT"_s} << int(Outcome::Refused)
        << texts::statusOtherOwner(u"7"_s, u"luigi"_s) << QString();
    QTest::newRow("suspension refused")
        << QStringList{u"200 Current job: jobid: 7 groupid: 7."_s,
                       u"213 mario"_s,
                       u"213 SLEEPING"_s,
                       u"213 000300"_s,
                       u"504 Job 7 not suspended; already done."_s,
                       Goodbye}
        << false << QStringList{u"JOB 7"_s,          u"JPARM OWNER"_s, u"JPARM STATE"_s,
                                u"JPARM LASTTIME"_s, u"JSUSP"_s,       u"QUIT"_s}
        << int(Outcome::Refused)
        << u"Il fax n. 7 è già concluso: il server fax non lo ha spostato (504 Job 7 not suspended; already done.)"_s
        << QString();
    QTest::newRow("resubmission refused")
        << start + QStringList{timeSet, spanSet, u"460 Failed to submit job 7."_s, Goodbye} << false
        << startAsked + QStringList{u"JPARM LASTTIME 000300"_s, u"JSUBM"_s, u"QUIT"_s}
        << int(Outcome::Refused) << texts::moveLeftSuspended(u"7"_s, u"460 Failed to submit job 7."_s)
        << QString();
    QTest::newRow("cut while suspended")
        << start + QStringList{timeSet} << true << startAsked + QStringList{u"JPARM LASTTIME 000300"_s} << -1
        << QString() << texts::moveLeftSuspended(u"7"_s, texts::actionConnectionDropped());
}

void TestJobActionProtocol::move()
{
    QFETCH(QStringList, replies);
    QFETCH(bool, cut);
    QFETCH(QStringList, commands);
    QFETCH(int, outcome);
    QFETCH(QString, reason);
    QFETCH(QString, error);

    // Any time zone: the server is told UTC.
    JobActionProtocol protocol(u"mario"_s, u"pw"_s, u"7"_s, MoveTo.toTimeZone(QTimeZone("Europe/Rome")));
    QCOMPARE(converse(protocol, replies, cut), commands);
    const QList<JobActionReport> reports = protocol.takeActions();
    QCOMPARE(reports.size(), outcome < 0 ? 0 : 1);
    if (outcome >= 0) {
        QCOMPARE(int(reports.at(0).action), int(JobActionReport::Action::Move));
        QCOMPARE(int(reports.at(0).outcome), outcome);
        QCOMPARE(reports.at(0).reason, reason);
        if (outcome == int(Outcome::Done))
            QCOMPARE(reports.at(0).sendTime, MoveTo);
    }
    QCOMPARE(protocol.error(), error);
}

void TestJobActionProtocol::cancelsSeveral()
{
    // One session; a number that is not a job's never goes on the wire; a
    // login refused leaves every job without a report.
    JobActionProtocol protocol(u"mario"_s, u"pw"_s, {u"7"_s, u"7 JKILL"_s, u"8"_s});
    const QStringList sent = converse(protocol,
                                      {u"200 Current job: jobid: 7 groupid: 7."_s, u"213 mario"_s,
                                       u"200 Job 7 killed."_s, u"200 Current job: jobid: 8 groupid: 8."_s,
                                       u"213 mario"_s, u"504 Job 8 not killed; already done."_s, Goodbye},
                                      false);
    QCOMPARE(sent, (QStringList{u"JOB 7"_s, u"JPARM OWNER"_s, u"JKILL"_s, u"JOB 8"_s, u"JPARM OWNER"_s,
                                u"JKILL"_s, u"QUIT"_s}));
    const QList<JobActionReport> reports = protocol.takeActions();
    QCOMPARE(reports.size(), 3);
    QCOMPARE(int(reports.at(0).outcome), int(Outcome::Done));
    QCOMPARE(int(reports.at(1).outcome), int(Outcome::Unknown));
    QCOMPARE(reports.at(2).job, u"8"_s);
    QCOMPARE(int(reports.at(2).outcome), int(Outcome::Refused));

    JobActionProtocol refused(u"mario"_s, u"pw"_s, {u"7"_s});
    refused.onReply(reply(u"220 ready."_s));
    QCOMPARE(refused.onReply(reply(u"530 Login incorrect."_s)), QStringList{u"QUIT"_s});
    QVERIFY(refused.takeActions().isEmpty());
    QCOMPARE(refused.error(), texts::loginRefused());
}

// Measured on hfaxd 6.0.7: a job suspended within the second the scheduler
// last wrote it stays unsuspended for the session that suspended it; a new
// session sees it suspended (and JSUSP again is 200).
void TestJobActionProtocol::staleViewMakesNewSessions()
{
    const QStringList suspended{u"200 Current job: jobid: 7 groupid: 7."_s, u"213 mario"_s, u"213 PENDING"_s,
                                u"213 000300"_s, u"200 Job 7 suspended."_s};
    const QStringList asked{u"JOB 7"_s,          u"JPARM OWNER"_s, u"JPARM STATE"_s,
                            u"JPARM LASTTIME"_s, u"JSUSP"_s,       u"JPARM SENDTIME 202612110357"_s};
    const QString stale = u"503 Suspend the job with JSUSP first."_s;

    JobActionProtocol protocol(u"mario"_s, u"pw"_s, u"7"_s, MoveTo);
    const QStringList first = converse(protocol, suspended + QStringList{stale}, false);
    QCOMPARE(first, (asked + QStringList{u"QUIT"_s}));
    QVERIFY(protocol.wantsNewSession());
    protocol.onReply(reply(Goodbye));
    QVERIFY(protocol.wantsNewSession());
    QVERIFY(protocol.takeActions().isEmpty());
    // The second session: the job is taken up again, and moved.
    protocol.restart();
    QVERIFY(!protocol.wantsNewSession());
    const QStringList second = converse(
        protocol,
        suspended + QStringList{u"213 SENDTIME set to 20261211035700."_s, u"213 LASTTIME set to 000300."_s,
                                u"200 Job 7 submitted."_s, u"213 20261211035700"_s, Goodbye},
        false);
    QCOMPARE(second,
             (asked + QStringList{u"JPARM LASTTIME 000300"_s, u"JSUBM"_s, u"JPARM SENDTIME"_s, u"QUIT"_s}));
    QList<JobActionReport> reports = protocol.takeActions();
    QCOMPARE(reports.size(), 1);
    QCOMPARE(int(reports.at(0).outcome), int(Outcome::Done));
    QVERIFY(protocol.error().isEmpty());

    // Three sessions at most: the third one submits the job again and says
    // why it was not moved.
    JobActionProtocol stubborn(u"mario"_s, u"pw"_s, u"7"_s, MoveTo);
    for (int session = 1; session < 3; ++session) {
        converse(stubborn, suspended + QStringList{stale, Goodbye}, false);
        QVERIFY(stubborn.wantsNewSession());
        stubborn.restart();
    }
    const QStringList last = converse(
        stubborn, suspended + QStringList{stale, u"504 Job 7 not submitted; use JSUSP first."_s, Goodbye},
        false);
    QCOMPARE(last, (asked + QStringList{u"JSUBM"_s, u"QUIT"_s}));
    QVERIFY(!stubborn.wantsNewSession());
    reports = stubborn.takeActions();
    QCOMPARE(reports.size(), 1);
    QCOMPARE(reports.at(0).reason,
             texts::moveLeftSuspended(u"7"_s, u"504 Job 7 not submitted; use JSUSP first."_s));
}

QTEST_GUILESS_MAIN(TestJobActionProtocol)
#include "tst_jobactionprotocol.moc"
