// When the tracker asks the fax server about unfinished faxes, on a timer
// the test runs out: at most once an interval, one question for all, never
// while nothing is unfinished; and what the answers and the appliance's
// pages make of the faxes.

#include "ClientTexts.h"
#include "Corvanefax.h"
#include "ManualTimer.h"
#include "MockClock.h"
#include "RecordingFaxStatus.h"
#include "StatusTracker.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;
using State = JobReport::State;

Q_DECLARE_METATYPE(kestrel::FaxState)

class TestStatusTracker : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    MockClock m_clock{QDateTime::currentDateTimeUtc()};
    std::unique_ptr<FaxHistory> m_history;
    FaxStatusHost m_host;
    test::RecordingFaxStatus* m_query = nullptr;
    test::ManualTimer m_timer;
    std::unique_ptr<StatusTracker> m_tracker;

    void add(const QString& job)
    {
        FaxRecord record;
        record.job = job;
        record.appliance = u"fax.local"_s;
        record.number = u"0612345"_s;
        m_history->add(record);
        m_tracker->wake();
    }

    // One step of a script: "add 7", "fire", "wake", "end", "error",
    // "<state> 7" (the open question's answer), "page <WORD> 7" (finished),
    // "pending <WORD> 7".
    void run(const QString& step)
    {
        const QStringList words = step.split(u' ');
        const QString& verb = words.first();
        if (verb == u"add"_s)
            add(words.at(1));
        else if (verb == u"fire"_s)
            m_timer.fire();
        else if (verb == u"wake"_s)
            m_tracker->wake();
        else if (verb == u"end"_s)
            m_query->answer({});
        else if (verb == u"error"_s)
            m_query->answer({}, u"Connessione rifiutata"_s);
        else if (verb == u"page"_s)
            m_tracker->takeFinishedPage(u"<jobs><job><jobid>"_s + words.at(2) + u"</jobid><state>"_s +
                                        words.at(1) + u"</state></job></jobs>"_s);
        else if (verb == u"pending"_s)
            m_tracker->takePendingPage(u"<jobs><job><jobid>"_s + words.at(2) + u"</jobid><state>"_s +
                                       words.at(1) + u"</state></job></jobs>"_s);
        else
            m_query->answer({test::report(words.at(1), State(verb.toInt()))});
    }

private Q_SLOTS:
    void init()
    {
        m_tracker.reset();
        QFile::remove(m_dir.filePath(u"storico.db"_s));
        m_history = std::make_unique<FaxHistory>(m_dir.filePath(u"storico.db"_s), m_clock);
        auto query = std::make_unique<test::RecordingFaxStatus>();
        m_query = query.get();
        m_host.adopt(std::move(query));
        m_timer = test::ManualTimer();
        m_tracker = std::make_unique<StatusTracker>(*m_history, m_host, m_timer);
        m_tracker->setServer([] {
            return StatusTracker::Server{u"fax.local"_s, u"ufficio"_s, u"segreta"_s};
        });
    }

    void timing_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("asked");
        const QString queued = QString::number(int(State::Queued));
        const QString sent = QString::number(int(State::Sent));
        const QString unknown = QString::number(int(State::Unknown));
        QTest::newRow("nothing unfinished, nothing asked")
            << QStringList{u"wake"_s, u"fire"_s} << QStringList();
        QTest::newRow("a new fax is asked about at once") << QStringList{u"add 7"_s} << QStringList{u"7"_s};
        QTest::newRow("one question for all, once an interval")
            << QStringList{u"add 7"_s, u"add 8"_s, queued + u" 7"_s, u"add 9"_s, u"fire"_s}
            << QStringList{u"7"_s, u"7,8,9"_s};
        QTest::newRow("none once all ended")
            << QStringList{u"add 7"_s, sent + u" 7"_s, u"fire"_s, u"wake"_s} << QStringList{u"7"_s};
        QTest::newRow("a question that outlasts the interval: the next when it ends")
            << QStringList{u"add 7"_s, u"fire"_s, u"end"_s} << QStringList{u"7"_s, u"7"_s};
        // The server's listing tells how it ended.
        QTest::newRow("the finished page ends nothing")
            << QStringList{u"add 7"_s, u"end"_s, u"page DONE 7"_s, u"fire"_s} << QStringList{u"7"_s, u"7"_s};
        QTest::newRow("unknown to the server, asked no more")
            << QStringList{u"add 7"_s, unknown + u" 7"_s, u"fire"_s} << QStringList{u"7"_s};
        QTest::newRow("the server away: asked again after the wait")
            << QStringList{u"add 7"_s, u"error"_s, u"wake"_s, u"fire"_s} << QStringList{u"7"_s, u"7"_s};
    }
    void timing()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, asked);
        for (const QString& step : std::as_const(script))
            run(step);
        QStringList queries;
        for (const QStringList& jobs : std::as_const(m_query->queries))
            queries << jobs.join(u',');
        QCOMPARE(queries, asked);
        if (!asked.isEmpty())
            QCOMPARE(m_query->address, u"fax.local"_s);
    }

    // The server away: asked after twice the wait of the last time, up to
    // ten minutes; the window says why its states are old, until an answer.
    void backOff()
    {
        QSignalSpy notes(m_tracker.get(), &StatusTracker::serverNoteChanged);
        add(u"7"_s);
        QCOMPARE(m_timer.interval, StatusTracker::DefaultIntervalMs);
        QList<int> waits;
        for (int i = 0; i < 6; ++i) {
            m_query->answer({}, u"Impossibile collegarsi"_s);
            waits << m_timer.interval;
            m_tracker->wake(); // a fax added meanwhile asks nothing sooner
            m_timer.fire();
        }
        QCOMPARE(waits, (QList<int>{60000, 120000, 240000, 480000, 600000, 600000}));
        QCOMPARE(m_query->queries.size(), 7);
        QCOMPARE(m_tracker->serverNote(), texts::history::serverAway(u"Impossibile collegarsi"_s, 10));
        QCOMPARE(notes.size(), 5); // the same note is not told again
        m_query->answer({test::report(u"7"_s, State::Queued)});
        QCOMPARE(m_tracker->serverNote(), QString());
        m_timer.fire();
        m_query->answer({test::report(u"7"_s, State::Queued)});
        QCOMPARE(m_timer.interval, StatusTracker::DefaultIntervalMs);
    }

    // A refused login is tried again with another login, without waiting
    // for the settings to say so.
    void refusedLogin()
    {
        QString password = u"segreta"_s;
        m_tracker->setServer([&password] {
            return StatusTracker::Server{u"fax.local"_s, u"ufficio"_s, password};
        });
        add(u"7"_s);
        m_query->answer({}, LoginRefused.toString());
        QCOMPARE(m_tracker->serverNote(), texts::history::loginRefusedNote(LoginRefused.toString()));
        QVERIFY(!m_timer.isActive());
        add(u"8"_s);
        QCOMPARE(m_query->queries.size(), 1);
        password = u"nuova"_s;
        add(u"9"_s);
        QCOMPARE(m_query->queries.size(), 2);
        QCOMPARE(m_query->queries.last(), (QStringList{u"7"_s, u"8"_s, u"9"_s}));
    }

    // Once the server's listing spoke of a fax, the pending page's word
    // (the appliance says SENDING of every waiting job) moves it no more.
    void listingOverPages()
    {
        add(u"7"_s);
        add(u"8"_s);
        run(u"pending SENDING 8"_s);
        QCOMPARE(m_history->records().at(1).state, FaxState::Sending);
        m_query->answer({test::report(u"7"_s, State::Queued), test::report(u"8"_s, State::Queued)});
        run(u"pending SENDING 7"_s);
        run(u"pending SENDING 8"_s);
        QCOMPARE(m_history->records().at(0).state, FaxState::Queued);
        QCOMPARE(m_history->records().at(1).state, FaxState::Queued);
    }

    // A fax an older version left queued and marked as forgotten by the
    // server is to be checked.
    void forgottenBefore()
    {
        FaxRecord record;
        record.job = u"7"_s;
        record.appliance = u"fax.local"_s;
        record.lost = true;
        record.reason = texts::history::NotOnServer;
        m_history->add(record);
        m_tracker->wake();
        QCOMPARE(m_history->records().at(0).state, FaxState::ToCheck);
        QCOMPARE(m_history->records().at(0).reason, texts::history::NotOnServer);
        QVERIFY(m_query->queries.isEmpty());
    }

    // Each end is told once, with the fax it was.
    void endsTold()
    {
        QSignalSpy ended(m_tracker.get(), &StatusTracker::faxEnded);
        add(u"7"_s);
        add(u"8"_s);
        m_query->answer(
            {test::report(u"7"_s, State::Sending), test::report(u"8"_s, State::Failed, u"Busy"_s)});
        QCOMPARE(ended.size(), 1);
        QCOMPARE(ended.at(0).at(0).toInt(), 1);
        QCOMPARE(m_history->records().at(1).reason, u"Busy"_s);
        m_timer.fire();
        m_query->answer({test::report(u"7"_s, State::Sent, {}, 2, 2)});
        QCOMPARE(ended.size(), 2);
        QCOMPARE(ended.at(1).at(0).toInt(), 0);
    }

    void pages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("finished");
        QTest::addColumn<FaxState>("state");
        const QString head = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<jobs>\n"_s;
        const QString job =
            u"  <job><jobid>7</jobid><groupid>7</groupid><owner>ufficio</owner><number>0612345</number>"
            "<modem>any</modem><documents>1</documents><state>%1</state>"
            "<submitted>2026-12-08T10:15:00</submitted></job>\n"_s;
        QTest::newRow("pending, sending")
            << head + job.arg(u"SENDING"_s) + u"</jobs>\n"_s << false << FaxState::Sending;
        QTest::newRow("closing tag in capitals")
            << head + job.arg(u"SENDING"_s) + u"</JOBS>\n"_s << false << FaxState::Sending;
        QTest::newRow("another user's job")
            << head + job.arg(u"DONE"_s).replace(u"ufficio"_s, u"luigi"_s) + u"</jobs>\n"_s << true
            << FaxState::ToCheck;
        QTest::newRow("cut in the job") << head + job.arg(u"SENDING"_s).left(60) << false << FaxState::Queued;
        QTest::newRow("another job") << head + job.arg(u"SENDING"_s).replace(u">7<"_s, u">77<"_s) << false
                                     << FaxState::Queued;
    }
    void pages()
    {
        QFETCH(QString, page);
        QFETCH(bool, finished);
        QFETCH(FaxState, state);
        add(u"7"_s);
        if (finished)
            m_tracker->takeFinishedPage(page);
        else
            m_tracker->takePendingPage(page);
        QCOMPARE(m_history->records().at(0).state, state);
    }
};

QTEST_GUILESS_MAIN(TestStatusTracker)
#include "tst_statustracker.moc"
