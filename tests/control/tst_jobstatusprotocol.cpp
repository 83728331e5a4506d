// Asking the fax server about one job, reply by reply, without sockets.

#include "JobStatusProtocol.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

using Outcome = JobStatusProtocol::Outcome;

class TestJobStatusProtocol : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void replies_data();
    void replies();
    void connectionLost();
};

void TestJobStatusProtocol::replies_data()
{
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("detail");
    // hfaxd's own answers (6.0.7).
    const QStringList login{u"220 vm server (HylaFAX (tm) Version 6.0.7) ready."_s,
                            u"331 Password required for mario."_s, u"230 User mario logged in."_s};
    const QStringList asked{u"USER mario"_s, u"PASS pw"_s, u"JOB 7"_s};
    QTest::newRow("queued") << login + QStringList{u"200 Current job: jobid: 7 groupid: 7."_s, u"213 READY"_s}
                            << asked + QStringList{u"JPARM STATE"_s, u"QUIT"_s} << int(Outcome::Held)
                            << u"READY"_s;
    QTest::newRow("unknown to the server")
        << login + QStringList{u"500 Cannot set job 7; job does not exist (No such file or directory)."_s}
        << asked + QStringList{u"QUIT"_s} << int(Outcome::NotHeld)
        << u"500 Cannot set job 7; job does not exist (No such file or directory)."_s;
    QTest::newRow("no password asked")
        << QStringList{u"130 Warning."_s, u"220 ready."_s, u"230 logged in."_s, u"200 Current job."_s,
                       u"213 DONE"_s}
        << QStringList{u"USER mario"_s, u"JOB 7"_s, u"JPARM STATE"_s, u"QUIT"_s} << int(Outcome::Held)
        << u"DONE"_s;
    QTest::newRow("login refused") << QStringList{u"220 ready."_s, u"331 Password?"_s,
                                                  u"530 Login incorrect."_s}
                                   << QStringList{u"USER mario"_s, u"PASS pw"_s, u"QUIT"_s}
                                   << int(Outcome::Unknown) << u"login: 530 Login incorrect."_s;
    QTest::newRow("job refused otherwise")
        << login + QStringList{u"503 Not allowed."_s} << asked + QStringList{u"QUIT"_s}
        << int(Outcome::Unknown) << u"JOB 7: 503 Not allowed."_s;
}

void TestJobStatusProtocol::replies()
{
    QFETCH(QStringList, replies);
    QFETCH(QStringList, commands);
    QFETCH(int, outcome);
    QFETCH(QString, detail);
    JobStatusProtocol protocol(u"mario"_s, u"pw"_s, u"7"_s);
    QStringList sent;
    for (const QString& text : replies)
        sent << protocol.onReply({text.left(3).toInt(), text});
    QCOMPARE(sent, commands);
    QCOMPARE(int(protocol.outcome()), outcome);
    QCOMPARE(protocol.detail(), detail);
    // Nothing more is said once the answer is in.
    QCOMPARE(protocol.onReply({213, u"213 READY"_s}), QStringList());
}

void TestJobStatusProtocol::connectionLost()
{
    JobStatusProtocol protocol(u"mario"_s, u"pw"_s, u"7"_s);
    protocol.onReply({220, u"220 ready."_s});
    protocol.fail(u"the fax server closed the connection"_s);
    QCOMPARE(protocol.outcome(), Outcome::Unknown);
    QCOMPARE(protocol.detail(), u"the fax server closed the connection"_s);
}

QTEST_GUILESS_MAIN(TestJobStatusProtocol)
#include "tst_jobstatusprotocol.moc"
