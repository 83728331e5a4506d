// What the fax log makes of the history: the record of a submitted job and
// its name, the notice that tells how a fax ended, and what "Reinvia" puts
// back and says. A real history file and tracker; the fax server's answers,
// the notices and the send window are stand-ins.

#include "ClientTexts.h"
#include "FaxLog.h"
#include "ManualTimer.h"
#include "MockClock.h"
#include "RecordingFaxStatus.h"
#include "ResendDocuments.h"
#include "ScriptedMessageBox.h"
#include "TestFiles.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace kestrel;
using State = JobReport::State;

Q_DECLARE_METATYPE(kestrel::JobReport::State)
Q_DECLARE_METATYPE(kestrel::FaxState)

class TestFaxLog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    MockClock m_clock{QDateTime::currentDateTimeUtc()};
    std::unique_ptr<FaxHistory> m_history;
    FaxStatusHost m_host;
    test::RecordingFaxStatus* m_query = nullptr;
    test::ManualTimer m_timer;
    std::unique_ptr<StatusTracker> m_tracker;
    test::ScriptedMessageBox m_box;
    std::unique_ptr<FaxLog> m_log;

    // What the log asked of the program, in order.
    QStringList m_said;
    QHash<QString, QString> m_database;
    QList<DesktopContact> m_desktop;
    bool m_putBackTaken = true;

    void makeLog(const QString& historyPath)
    {
        m_log.reset();
        m_tracker.reset();
        m_history = std::make_unique<FaxHistory>(historyPath, m_clock);
        auto query = std::make_unique<test::RecordingFaxStatus>();
        m_query = query.get();
        m_host.adopt(std::move(query));
        m_tracker = std::make_unique<StatusTracker>(*m_history, m_host, m_timer);
        m_tracker->setServer([] {
            return StatusTracker::Server{u"fax.local"_s, u"ufficio"_s, u"segreta"_s};
        });
        FaxLog::Services s;
        s.notify = [this](int handle, const QString& text, bool resend) {
            m_said << u"notice %1 %2%3"_s.arg(handle).arg(text, resend ? u" [Reinvia]"_s : QString());
        };
        s.tell = [this](const QString& text) {
            m_said << u"tell "_s + text;
        };
        s.databaseName = [this](const QString& number) {
            return m_database.value(number);
        };
        s.desktopContacts = [this] {
            return m_desktop;
        };
        s.putBack = [this](const QString& number, const QString& name, const QStringList& documents) {
            m_said << u"put back %1 %2 %3"_s.arg(number, name, documents.join(u',')).trimmed();
            return m_putBackTaken;
        };
        s.messageBox = &m_box;
        m_log = std::make_unique<FaxLog>(*m_history, *m_tracker, s);
    }

    static SubmittedJob job(const QString& number, const QString& description,
                            const QStringList& documents = {})
    {
        return {u"7"_s, u"fax.local"_s, number, number, description, documents, {}};
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(u"storico.db"_s));
        m_timer = test::ManualTimer();
        m_box.clear();
        m_said.clear();
        m_database.clear();
        m_desktop.clear();
        m_putBackTaken = true;
        makeLog(m_dir.filePath(u"storico.db"_s));
    }

    void cleanup()
    {
        m_log.reset();
        m_tracker.reset();
    }

    void naming_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("name");
        // The contact database knows 0612345; the desktop contacts know it
        // and 0733 as their vCards write them.
        QTest::newRow("the description wins") << u"0612345"_s << u"Studio"_s << u"Studio"_s;
        QTest::newRow("else the contact database") << u"0612345"_s << QString() << u"Rossi"_s;
        QTest::newRow("else the desktop contacts, by digits") << u"0733"_s << QString() << u"Bianchi"_s;
        QTest::newRow("unknown to both") << u"0999"_s << QString() << QString();
        QTest::newRow("no digits: no contact matches") << u"-"_s << QString() << QString();
    }
    void naming()
    {
        QFETCH(QString, number);
        QFETCH(QString, description);
        QFETCH(QString, name);
        m_database.insert(u"0612345"_s, u"Rossi"_s);
        m_desktop = {{u"06 123-45"_s, u"Rossi vCard"_s}, {u"07-33"_s, u"Bianchi"_s}, {QString(), u"Senza"_s}};
        m_log->record(job(number, description), false);
        QCOMPARE(m_history->records().constLast().name, name);
    }

    void recorded_data()
    {
        QTest::addColumn<bool>("uncertain");
        QTest::addColumn<FaxState>("state");
        QTest::newRow("accepted: queued") << false << FaxState::Queued;
        QTest::newRow("answer lost: to check") << true << FaxState::ToCheck;
    }
    void recorded()
    {
        QFETCH(bool, uncertain);
        QFETCH(FaxState, state);
        const QString document = m_dir.filePath(u"kestrel-1.ps"_s);
        QVERIFY(testfiles::write(document, "%!PS\n"));
        m_log->record(job(u"0612345"_s, u"Studio"_s, {document}), uncertain);
        const FaxRecord& record = m_history->records().constLast();
        QCOMPARE(record.state, state);
        QCOMPARE(record.documents, QStringList{document});
        QCOMPARE(record.stamps, QList<DocumentStamp>{ResendDocuments::stampOf(document)});
        // Asked about at once.
        QCOMPARE(m_query->queries, QList<QStringList>{QStringList{u"7"_s}});
    }

    void endNotices_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("notice");
        const QString studio = u"Studio"_s;
        QTest::newRow("sent, with its pages")
            << studio << State::Sent << u"notice 0 "_s + texts::history::sentNotice(studio, 3);
        QTest::newRow("failed: Reinvia offered")
            << studio << State::Failed
            << u"notice 0 "_s + texts::history::failedNotice(studio, u"Occupato"_s) + u" [Reinvia]"_s;
        QTest::newRow("cancelled") << studio << State::Cancelled
                                   << u"notice 0 "_s + texts::history::cancelledNotice(studio);
        QTest::newRow("no name: the number")
            << QString() << State::Cancelled
            << u"notice 0 "_s + texts::history::cancelledNotice(u"0612345"_s);
        QTest::newRow("not ended: nothing") << studio << State::Sending << QString();
    }
    void endNotices()
    {
        QFETCH(QString, description);
        QFETCH(State, state);
        QFETCH(QString, notice);
        m_log->record(job(u"0612345"_s, description), false);
        m_query->answer({test::report(u"7"_s, state, u"Occupato"_s, 2, 3)});
        QCOMPARE(m_said, notice.isEmpty() ? QStringList() : QStringList{notice});
    }

    void resend_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("taken");
        QTest::addColumn<QStringList>("box");
        const QString other = m_dir.filePath(u"kestrel-2.ps"_s);
        QTest::newRow("as sent: nothing to say") << QString() << true << QStringList();
        QTest::newRow("one removed") << u"remove"_s << true
                                     << QStringList{texts::history::documentsMissing({other})};
        QTest::newRow("one written again")
            << u"rewrite"_s << true << QStringList{texts::history::documentsRefused({other})};
        QTest::newRow("the window took nothing: nothing said") << u"remove"_s << false << QStringList();
    }
    void resend()
    {
        QFETCH(QString, change);
        QFETCH(bool, taken);
        QFETCH(QStringList, box);
        const QString kept = m_dir.filePath(u"kestrel-1.ps"_s);
        const QString other = m_dir.filePath(u"kestrel-2.ps"_s);
        QVERIFY(testfiles::write(kept, "%!PS\n"));
        QVERIFY(testfiles::write(other, "%!PS\n"));
        m_log->record(job(u"0612345"_s, u"Studio"_s, {kept, other}), false);
        if (change == u"remove"_s)
            QVERIFY(QFile::remove(other));
        else if (change == u"rewrite"_s)
            QVERIFY(testfiles::write(other, "%!PS-Adobe\n"));
        m_putBackTaken = taken;
        m_log->resend(0);
        m_log->resend(1); // no such fax: nothing
        const QStringList documents = change.isEmpty() ? QStringList{kept, other} : QStringList{kept};
        QCOMPARE(m_said, QStringList{u"put back 0612345 Studio "_s + documents.join(u',')});
        QCOMPARE(m_box.texts(), box);
        QFile::remove(kept);
        QFile::remove(other);
    }

    // A history file that cannot be made: said once, after the write.
    void unusableHistoryIsSaid()
    {
        makeLog(m_dir.filePath(u"no-such-folder/storico.db"_s));
        m_log->record(job(u"0612345"_s, u"Studio"_s), false);
        QVERIFY(m_said.isEmpty());
        QTRY_COMPARE(m_said.size(), 1);
        QVERIFY2(m_said.constFirst().startsWith(u"tell "_s + texts::history::Unavailable),
                 qPrintable(m_said.at(0)));
    }
};

QTEST_GUILESS_MAIN(TestFaxLog)
#include "tst_faxlog.moc"
