// The job status query against the appliance simulator: the states a job
// goes through, and a host that goes away inside an event.

#include "ControlTexts.h"
#include "FaxStatusQuery.h"
#include "SimulatorProcess.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::SimulatorProcess;

using State = JobReport::State;

namespace {

class Sink : public IFaxStatusEvents
{
public:
    QList<JobReport> reports;
    QStringList ended;
    std::function<void()> onReport;
    std::function<void()> onEnded;

    void JobStatus(const JobReport& report) override
    {
        reports << report;
        if (onReport)
            onReport();
    }
    void QueryEnded(const QString& error) override
    {
        ended << error;
        if (onEnded)
            onEnded();
    }
};

// One session with the fax server, its replies as they came.
QString converse(quint16 port, const QByteArray& commands)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("USER mario\r\nPASS pw\r\n" + commands + "QUIT\r\n");
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(5000)) {
    }
    return QString::fromLatin1(socket.readAll());
}

QString submitJob(quint16 port)
{
    const QString replies = converse(port, "JNEW\r\nJPARM DIALSTRING 0612\r\nJSUBM\r\n");
    return QRegularExpression(u"200 Job (\\d+) submitted"_s).match(replies).captured(1);
}

} // namespace

class TestFaxStatus : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void queuedThenSent();
    void cancelledAndUnknown();
    void serverAway();
    void hostGoesInsideAnEvent();
    void goodbye_data();
    void goodbye();

private:
    std::unique_ptr<FaxStatusQuery> newQuery();
    SimulatorProcess m_sim;
    Sink m_sink;
};

void TestFaxStatus::init()
{
    m_sink = Sink();
}

std::unique_ptr<FaxStatusQuery> TestFaxStatus::newQuery()
{
    auto query = std::make_unique<FaxStatusQuery>();
    query->SetServer(m_sim.host(), u"mario"_s, u"pw"_s);
    query->SetWaitLimitMs(5000);
    query->Advise(&m_sink);
    return query;
}

void TestFaxStatus::queuedThenSent()
{
    QVERIFY2(m_sim.start({u"--done-after"_s, u"1.5"_s}), qPrintable(m_sim.errorString()));
    m_sim.applyPortsToEnvironment();
    const QString job = submitJob(m_sim.faxPort());
    QVERIFY(!job.isEmpty());
    const auto query = newQuery();
    QVERIFY(query->Query({job}));
    // One question at a time; events only from the event loop.
    QVERIFY(query->IsQuerying());
    QVERIFY(!query->Query({job}));
    QVERIFY(m_sink.reports.isEmpty());
    QTRY_COMPARE(m_sink.ended, QStringList{QString()});
    QVERIFY(!query->IsQuerying());
    QCOMPARE(m_sink.reports.size(), 1);
    QCOMPARE(m_sink.reports.at(0).state, State::Queued);
    QCOMPARE(m_sink.reports.at(0).serverState, u"READY"_s);
    QCOMPARE(m_sink.reports.at(0).number, u"0612"_s);

    QTest::qWait(1600);
    QVERIFY(query->Query({job}));
    QTRY_COMPARE(m_sink.ended.size(), 2);
    QCOMPARE(m_sink.reports.at(1).state, State::Sent);
    QCOMPARE(m_sink.reports.at(1).serverState, u"DONE"_s);
}

void TestFaxStatus::cancelledAndUnknown()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    m_sim.applyPortsToEnvironment();
    const QString job = submitJob(m_sim.faxPort());
    QVERIFY(converse(m_sim.faxPort(), "JKILL " + job.toLatin1() + "\r\n")
                .contains(u"200 Job %1 killed."_s.arg(job)));
    const auto query = newQuery();
    QVERIFY(query->Query({job, u"999"_s}));
    QTRY_COMPARE(m_sink.ended, QStringList{QString()});
    QCOMPARE(m_sink.reports.size(), 2);
    QCOMPARE(m_sink.reports.at(0).job, job);
    QCOMPARE(m_sink.reports.at(0).state, State::Cancelled);
    QCOMPARE(m_sink.reports.at(0).reason, u"Job aborted by request"_s);
    QCOMPARE(m_sink.reports.at(1).job, u"999"_s);
    QCOMPARE(m_sink.reports.at(1).state, State::Unknown);
}

void TestFaxStatus::serverAway()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    m_sim.applyPortsToEnvironment();
    m_sim.stop();
    const auto query = newQuery();
    QVERIFY(!query->Query({}));
    QVERIFY(query->Query({u"7"_s}));
    QTRY_COMPARE(m_sink.ended, QStringList{texts::statusUnreachable(m_sim.host())});
    QVERIFY(m_sink.reports.isEmpty());
}

void TestFaxStatus::hostGoesInsideAnEvent()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    m_sim.applyPortsToEnvironment();
    const QString job = submitJob(m_sim.faxPort());
    // A question asked again from the end of the last one is taken.
    auto query = newQuery();
    int asked = 0;
    m_sink.onEnded = [&] {
        if (++asked < 2)
            QVERIFY(query->Query({job}));
    };
    QVERIFY(query->Query({job}));
    QTRY_COMPARE(m_sink.ended.size(), 2);
    // Destroyed from its report, with the end of the question already on
    // its way: nothing more comes, and nothing of it is used after (the
    // sanitizer tree would say so).
    m_sink = Sink();
    m_sink.onReport = [&] {
        query.reset();
    };
    query = newQuery();
    QVERIFY(query->Query({job}));
    QTRY_VERIFY(!query);
    QTest::qWait(200);
    QCOMPARE(m_sink.reports.size(), 1);
    QVERIFY(m_sink.ended.isEmpty());
}

void TestFaxStatus::goodbye_data()
{
    QTest::addColumn<bool>("answered");
    QTest::newRow("answered") << true;
    QTest::newRow("never answered") << false;
}

// The goodbye reaches the server before the connection closes; one that
// is never answered loses nothing that was learnt.
void TestFaxStatus::goodbye()
{
    QFETCH(bool, answered);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    qputenv("KESTREL_FAX_PORT", QByteArray::number(server.serverPort()));
    const auto restore = qScopeGuard([] { qunsetenv("KESTREL_FAX_PORT"); });
    QByteArray heard;
    bool closedByClient = false;
    connect(&server, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* socket = server.nextPendingConnection();
        socket->write("220 ready.\r\n");
        connect(socket, &QTcpSocket::disconnected, this, [&] { closedByClient = true; });
        connect(socket, &QTcpSocket::readyRead, this, [&, socket] {
            const QByteArray got = socket->readAll();
            heard += got;
            if (got.startsWith("USER"))
                socket->write("230 in.\r\n");
            else if (got.startsWith("JOB"))
                socket->write("200 Current job.\r\n");
            else if (got.startsWith("JPARM"))
                socket->write("217-Job state: jobid 7\r\n    STATE: DONE\r\n    JOBID: 7\r\n"
                              "    OWNER: mario\r\n217 End of job 7 state.\r\n");
            else if (got.startsWith("QUIT") && answered)
                socket->write("221 Goodbye.\r\n");
        });
    });
    auto query = std::make_unique<FaxStatusQuery>();
    query->SetServer(u"127.0.0.1"_s, u"mario"_s, QString());
    query->Advise(&m_sink);
    QVERIFY(query->Query({u"7"_s}));
    QTRY_COMPARE(m_sink.ended, QStringList{QString()});
    QCOMPARE(m_sink.reports.size(), 1);
    QCOMPARE(m_sink.reports.at(0).state, State::Sent);
    QTRY_VERIFY(closedByClient);
    QVERIFY(heard.endsWith("QUIT\r\n"));
}

QTEST_GUILESS_MAIN(TestFaxStatus)
#include "tst_faxstatus.moc"
