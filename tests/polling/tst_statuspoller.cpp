#include "PageServer.h"
#include "StatusPoller.h"

#include "Ports.h"
#include "SignalWatcher.h"
#include "SimulatorProcess.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QTest>

#include <csignal>

using namespace kestrel;
using namespace Qt::StringLiterals;

namespace {

// The closing tag at character 120; "è" makes characters and UTF-8 bytes differ.
QByteArray modemPage()
{
    QString page = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<elenco_modem><modem nome=\"ttyIAX0\" "
                   "stato=\"è libero\"/>"_s;
    page += QString(119 - page.size(), u' ') + u"</elenco_modem>\n"_s;
    return page.toUtf8();
}
const QByteArray QueuePage = "<jobs><job id=\"7\"/></jobs>\n";
const QByteArray DonePage = "<jobs></jobs>";

} // namespace

class TestStatusPoller : public QObject
{
    Q_OBJECT

private:
    // The journal holds the server's requests and the poller's events as
    // they happened.
    QStringList m_journal;
    QStringList m_log;
    std::unique_ptr<PageServer> m_server;
    std::unique_ptr<StatusPoller> m_poller;

private Q_SLOTS:
    void init()
    {
        m_journal.clear();
        m_log.clear();
        m_server = std::make_unique<PageServer>(&m_journal);
        m_server->setPage(u"/api/modem.php"_s, modemPage());
        m_server->setPage(u"/api/faxstat.php"_s, QueuePage);
        m_server->setPage(u"/api/faxstat.php?D=1"_s, DonePage);
        qputenv(ports::AppliancePagesVariable, QByteArray::number(m_server->port()));
        m_poller = std::make_unique<StatusPoller>();
        m_poller->setAddress(u"127.0.0.1"_s);
        m_poller->setLogger([this](const QString& line) { m_log.append(line); });
        const auto note = [this](const QString& name) {
            return [this, name](const QString& page) {
                m_journal.append(name + u' ' + page);
            };
        };
        connect(m_poller.get(), &StatusPoller::XMLServerStatus, this, note(u"XMLServerStatus"_s));
        connect(m_poller.get(), &StatusPoller::XMLFaxOutStatus, this, note(u"XMLFaxOutStatus"_s));
        connect(m_poller.get(), &StatusPoller::XMLFaxDoneStatus, this, note(u"XMLFaxDoneStatus"_s));
    }
    void cleanup()
    {
        m_poller.reset();
        m_server.reset();
    }

    void eachPageRaisedBeforeTheNextRequest()
    {
        m_poller->tick();
        const QStringList expected{
            u"GET /api/modem.php"_s,       u"XMLServerStatus "_s + QString::fromUtf8(modemPage()),
            u"GET /api/faxstat.php"_s,     u"XMLFaxOutStatus "_s + QString::fromUtf8(QueuePage),
            u"GET /api/faxstat.php?D=1"_s, u"XMLFaxDoneStatus "_s + QString::fromUtf8(DonePage)};
        QCOMPARE(m_journal, expected);
        QCOMPARE(m_log, QStringList({u"XML appliance status:120"_s, u"XML queue status:20"_s,
                                     u"XML done status:7"_s}));
    }

    void incompletePageDropped_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("droppedEvent");
        QTest::newRow("queue without tag")
            << u"/api/faxstat.php"_s << QByteArray("<jobs><job id=\"7\"/>") << u"XMLFaxOutStatus"_s;
        QTest::newRow("queue tag in capitals")
            << u"/api/faxstat.php"_s << QByteArray("<JOBS></JOBS>") << u"XMLFaxOutStatus"_s;
        QTest::newRow("modem tag in capitals")
            << u"/api/modem.php"_s << QByteArray("<ELENCO_MODEM></ELENCO_MODEM>") << u"XMLServerStatus"_s;
    }
    void incompletePageDropped()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, body);
        QFETCH(QString, droppedEvent);
        m_server->setPage(path, body);
        m_poller->tick();
        QCOMPARE(m_journal.filter(u"GET "_s).size(), 3); // the next page is still asked
        QCOMPARE(m_journal.size(), 5);
        QVERIFY(m_journal.filter(droppedEvent).isEmpty());
        QCOMPARE(m_log.size(), 2);
    }

    void timerPollsUntilDisabled()
    {
        QVERIFY(!m_poller->isEnabled());
        m_poller->enable(true);
        QCOMPARE(m_poller->Timer1().interval(), 7000);
        // Disabling from the host's handler also ends the running tick.
        connect(m_poller.get(), &StatusPoller::XMLServerStatus, this, [this] { m_poller->enable(false); });
        QTRY_VERIFY_WITH_TIMEOUT(!m_journal.isEmpty(), 9000);
        QTRY_VERIFY(!m_poller->isTicking());
        QVERIFY(!m_poller->isEnabled());
        QCOMPARE(m_journal.filter(u"GET "_s), QStringList{u"GET /api/modem.php"_s});
    }

    // The appliance's own pages, whole, or nothing when they are incomplete.
    void simulatorPages_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("healthy") << QString();
        QTest::newRow("no closing tags") << u"no-closing-tag"_s;
        QTest::newRow("closing tags in capitals") << u"upper-closing-tag"_s;
    }
    void simulatorPages()
    {
        QFETCH(QString, fault);
        test::SimulatorProcess simulator;
        QVERIFY2(simulator.start(fault.isEmpty() ? QStringList() : QStringList{u"--http-fault"_s, fault}),
                 qPrintable(simulator.errorString()));
        simulator.applyPortsToEnvironment();
        m_poller->setAddress(simulator.host());

        m_poller->tick();

        QCOMPARE(m_log.size(), fault.isEmpty() ? 3 : 0); // answered pages: no failure lines either
        QCOMPARE(m_journal.size(), fault.isEmpty() ? 3 : 0);
        const QStringList tags{u"</elenco_modem>\n"_s, u"</jobs>\n"_s, u"</jobs>\n"_s};
        for (qsizetype i = 0; i < m_journal.size(); ++i) {
            const QString page = m_journal.at(i).section(u' ', 1);
            QVERIFY2(page.startsWith(u"<?xml"_s) && page.endsWith(tags.at(i)), qPrintable(m_journal.at(i)));
        }
    }

    void unansweredApplianceKeepsHostResponsive()
    {
        test::SimulatorProcess simulator;
        QVERIFY2(simulator.start({u"--http-fault"_s, u"no-answer"_s}), qPrintable(simulator.errorString()));
        simulator.applyPortsToEnvironment();
        m_poller->setTickTimeLimitMs(1500);
        m_poller->enable(true);
        int beats = 0;
        QTimer heartbeat;
        connect(&heartbeat, &QTimer::timeout, this, [&beats] { ++beats; });
        heartbeat.start(10);
        // Timer1 firing while a tick still waits must not start a second one.
        QTimer::singleShot(200, m_poller.get(), &StatusPoller::tick);

        m_poller->tick();

        QVERIFY2(beats > 20, qPrintable(QString::number(beats)));
        QCOMPARE(m_log.size(), 4);
        QCOMPARE(m_log.at(0), u"XML status: previous poll still running, tick skipped"_s);
        QVERIFY2(m_log.at(1).startsWith(u"XML status: /api/modem.php failed: no answer"_s),
                 qPrintable(m_log.at(1)));
        QCOMPARE(m_log.at(2), u"XML status: /api/faxstat.php skipped, no time left in this poll"_s);
        QCOMPARE(m_log.at(3), u"XML status: /api/faxstat.php?D=1 skipped, no time left in this poll"_s);
        QVERIFY(m_poller->isEnabled());
        m_poller->tick(); // the next tick still runs
        QCOMPARE(m_log.size(), 7);
    }

    void refusedConnectionFailsAtOnce()
    {
        m_server.reset(); // nothing listens on that port any more
        m_poller->enable(true);
        m_poller->tick();
        QCOMPARE(m_log.size(), 3);
        for (const QString& line : std::as_const(m_log))
            QVERIFY2(line.contains(u" failed: "_s), qPrintable(line)); // none ran out of time
        QVERIFY(m_poller->isEnabled());
    }

    // A page far larger than any status page is dropped as it arrives, with
    // a debug line; the other pages of the tick are still polled.
    void oversizedPageDropped_data()
    {
        QTest::addColumn<bool>("endless");
        QTest::newRow("8 MiB with its length") << false;
        QTest::newRow("endless, no length") << true;
    }
    void oversizedPageDropped()
    {
        QFETCH(bool, endless);
        if (endless) {
            m_server->setEndlessPage(u"/api/modem.php"_s);
        } else {
            QByteArray page = modemPage();
            page.insert(page.indexOf("</elenco_modem>"), QByteArray(8 * 1024 * 1024, ' '));
            m_server->setPage(u"/api/modem.php"_s, page);
        }
        m_poller->setTickTimeLimitMs(20000);
        QElapsedTimer clock;
        clock.start();
        m_poller->tick();
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_journal.filter(u"XMLServerStatus"_s), QStringList());
        QCOMPARE(m_journal.filter(u"XMLFaxOutStatus"_s).size(), 1);
        QCOMPARE(m_journal.filter(u"XMLFaxDoneStatus"_s).size(), 1);
        QCOMPARE(m_log.size(), 3);
        QVERIFY2(m_log.at(0).startsWith(u"XML status: /api/modem.php failed: "_s) &&
                     m_log.at(0).contains(u"larger than"_s),
                 qPrintable(m_log.at(0)));
        if (endless)
            QVERIFY(m_server->endlessBytesSent() < 64 * 1024 * 1024);
    }

    // Ctrl-C or SIGTERM while a tick waits for the appliance ends the tick at
    // once; the pages after it are not asked.
    void signalEndsATick()
    {
        SignalWatcher watcher;
        QVERIFY(watcher.install());
        m_server->setSilentPage(u"/api/modem.php"_s);
        m_poller->setTickTimeLimitMs(30000);
        QTimer::singleShot(200, this, [] { std::raise(SIGTERM); });
        QElapsedTimer clock;
        clock.start();
        m_poller->tick();
        clearInterruption();
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(m_journal, QStringList{u"GET /api/modem.php"_s});
        QVERIFY(!m_poller->isTicking());
    }

    void hostDestroysPollerInHandler()
    {
        connect(m_poller.get(), &StatusPoller::XMLServerStatus, this, [this] { m_poller.reset(); });
        StatusPoller* poller = m_poller.get();
        poller->tick();
        QCOMPARE(m_journal.filter(u"GET "_s).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStatusPoller)
#include "tst_statuspoller.moc"
