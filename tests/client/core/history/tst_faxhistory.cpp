// The history on a real SQLite file: made at the first fax, owner-only,
// read back whole by the next run, never through what a hostile user put
// in its place; written in the end when another program held the file, and
// read when it was held at the start; older layouts brought up to date.

#include "FaxHistory.h"
#include "ManualTimer.h"
#include "MockClock.h"
#include "OtherProgram.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestFaxHistory : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    MockClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 15), Qt::UTC)};

    QString path() const { return m_dir.filePath(u"storico.db"_s); }

    // A history that waits little for locks, on a timer of the test's.
    std::unique_ptr<FaxHistory> makeHistory(test::ManualTimer& timer)
    {
        auto history = std::make_unique<FaxHistory>(path(), m_clock);
        history->setBusyTimeout(20);
        history->setRetryTimer(timer);
        return history;
    }

    QStringList jobsInFile()
    {
        FaxHistory again(path(), m_clock);
        // A file that cannot be read lists no job: the caller's comparison fails.
        (void)again.open();
        QStringList jobs;
        for (const FaxRecord& record : again.records())
            jobs << record.job + u':' + QString::number(int(record.state));
        return jobs;
    }

    static FaxRecord fax(const QString& job, const QString& appliance = u"fax.local"_s)
    {
        FaxRecord record;
        record.job = job;
        record.appliance = appliance;
        record.number = u"0612345"_s;
        record.name = u"Studio Rossi, \"sede\"\nnuova"_s;
        record.documents = {u"/tmp/kestrel-1.ps"_s, u"/tmp/a,b\n.ps"_s};
        return record;
    }

private Q_SLOTS:
    void init() { QFile::remove(path()); }

    void madeAtTheFirstFaxAndReadBack()
    {
        {
            FaxHistory history(path(), m_clock);
            QVERIFY(history.open());
            QVERIFY(!QFile::exists(path()));
            history.add(fax(u"7"_s));
            QCOMPARE(testfiles::mode(path()), 0600);
            m_clock.setNow(m_clock.now().addSecs(60));
            JobUpdate failed;
            failed.state = FaxState::Failed;
            failed.reason = u"Busy signal detected"_s;
            failed.pagesTotal = 2;
            failed.tries = 3;
            QVERIFY(history.update(u"fax.local"_s, u"7"_s, failed, {}).ended);
        }
        FaxHistory again(path(), m_clock);
        QVERIFY(again.open());
        QCOMPARE(again.records().size(), 1);
        const FaxRecord& read = again.records().first();
        const FaxRecord expected = fax(u"7"_s);
        QCOMPARE(read.job, u"7"_s);
        QCOMPARE(read.name, expected.name);
        QCOMPARE(read.documents, expected.documents);
        QCOMPARE(read.state, FaxState::Failed);
        QCOMPARE(read.reason, u"Busy signal detected"_s);
        QCOMPARE(read.pagesTotal, 2);
        QCOMPARE(read.tries, 3);
        QCOMPARE(read.submitted, m_clock.now().addSecs(-60));
        QCOMPARE(read.changed, m_clock.now());
    }

    void madeOwnerOnly()
    {
        QVERIFY(testfiles::write(path(), {}));
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        FaxHistory history(path(), m_clock);
        QVERIFY(history.open());
        QCOMPARE(testfiles::mode(path()), 0600);
    }

    void refusesWhatIsNoFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("symlink to a file") << u"link"_s;
        QTest::newRow("FIFO") << u"fifo"_s;
        QTest::newRow("folder") << u"folder"_s;
    }
    void refusesWhatIsNoFile()
    {
        QFETCH(QString, kind);
        const QString target = m_dir.filePath(u"elsewhere.db"_s);
        QVERIFY(testfiles::write(target, {}));
        if (kind == u"link"_s)
            QVERIFY(QFile::link(target, path()));
        else if (kind == u"fifo"_s)
            QCOMPARE(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
        else
            QVERIFY(QDir().mkdir(path()));
        FaxHistory history(path(), m_clock);
        QSignalSpy failed(&history, &FaxHistory::storeFailed);
        QVERIFY(!history.open());
        history.add(fax(u"7"_s));
        history.add(fax(u"8"_s));
        QCOMPARE(failed.size(), 1); // said once; the run goes on in memory
        QCOMPARE(history.records().size(), 2);
        QCOMPARE(testfiles::read(target), QByteArray());
        QDir(path()).removeRecursively();
        QFile::remove(path());
    }

    // Only the newest fax of a number is asked about: a server that starts
    // counting again gives old numbers to new jobs.
    void trackedJobs()
    {
        FaxHistory history(path(), m_clock);
        history.add(fax(u"7"_s));
        history.add(fax(u"8"_s));
        history.add(fax(u"9"_s, u"other.local"_s));
        JobUpdate sent;
        sent.state = FaxState::Sent;
        history.update(u"fax.local"_s, u"8"_s, sent, {});
        history.add(fax(u"7"_s));
        history.update(u"fax.local"_s, u"7"_s, sent, {});
        QCOMPARE(history.trackedJobs(u"fax.local"_s), QStringList());
        history.add(fax(u"10"_s));
        QCOMPARE(history.trackedJobs(u"fax.local"_s), QStringList{u"10"_s});
        QCOMPARE(history.records().at(0).state, FaxState::Queued);
    }

    // A commit the reader's lock refused is rolled back (the file is not
    // kept locked), kept in memory, and written by the next change, by the
    // retry, or at the end.
    void writtenAfterAReadersLock_data()
    {
        QTest::addColumn<QString>("writtenBy");
        QTest::addColumn<bool>("batched");
        QTest::newRow("the next change") << u"change"_s << false;
        QTest::newRow("the next change, answers in a batch") << u"change"_s << true;
        QTest::newRow("the retry") << u"retry"_s << false;
        QTest::newRow("the end of the run") << u"end"_s << true;
    }
    void writtenAfterAReadersLock()
    {
        QFETCH(QString, writtenBy);
        QFETCH(bool, batched);
        test::ManualTimer timer;
        auto history = makeHistory(timer);
        QVERIFY(history->open());
        history->add(fax(u"6"_s));
        QSignalSpy failed(history.get(), &FaxHistory::storeFailed);
        QSignalSpy stateChanged(history.get(), &FaxHistory::fileStateChanged);
        {
            test::OtherProgram reader(path());
            QVERIFY(reader.holdReadLock());
            JobUpdate sent;
            sent.state = FaxState::Sent;
            std::optional<FaxHistory::Batch> batch;
            if (batched)
                batch.emplace(*history);
            history->update(u"fax.local"_s, u"6"_s, sent, {});
            history->add(fax(u"7"_s));
            batch.reset();
            QCOMPARE(history->fileState(), FaxHistory::FileState::Unsaved);
            QVERIFY(!history->fileProblem().isEmpty());
            QCOMPARE(failed.size(), 1);
            QCOMPARE(stateChanged.size(), 1);
            QVERIFY(timer.isActive());
            QVERIFY(reader.exec(u"ROLLBACK"_s));
            // Let go by the reader, the file is free: the history holds no lock.
            QVERIFY(reader.exec(u"BEGIN IMMEDIATE"_s));
            QVERIFY(reader.exec(u"ROLLBACK"_s));
        }
        if (writtenBy == u"change"_s)
            history->add(fax(u"8"_s));
        else if (writtenBy == u"retry"_s)
            timer.fire();
        else
            history.reset();
        if (history) {
            QCOMPARE(history->fileState(), FaxHistory::FileState::Saved);
            QVERIFY(history->fileProblem().isEmpty());
            QVERIFY(!timer.isActive());
            QCOMPARE(stateChanged.size(), 2);
        }
        QStringList expected{u"6:2"_s, u"7:0"_s};
        if (writtenBy == u"change"_s)
            expected << u"8:0"_s;
        history.reset();
        QCOMPARE(jobsInFile(), expected);
    }

    // Held at the start: the file's faxes are read later, in front of those
    // of the run, which keep their handles; the unfinished ones are tracked.
    void readWhenALockAtTheStartEnds()
    {
        {
            FaxHistory earlier(path(), m_clock);
            earlier.add(fax(u"5"_s));
        }
        test::ManualTimer timer;
        auto history = makeHistory(timer);
        QSignalSpy prepended(history.get(), &FaxHistory::prepended);
        {
            test::OtherProgram writer(path());
            QVERIFY(writer.exec(u"BEGIN EXCLUSIVE"_s));
            QVERIFY(!history->open());
            QCOMPARE(history->fileState(), FaxHistory::FileState::Unread);
            QVERIFY(history->records().isEmpty());
            history->add(fax(u"6"_s));
            const int handle = history->handleOf(0);
            QCOMPARE(history->fileState(), FaxHistory::FileState::Unread);
            QVERIFY(writer.exec(u"ROLLBACK"_s));
            timer.fire();
            QCOMPARE(history->indexOfHandle(handle), 1);
        }
        QCOMPARE(history->fileState(), FaxHistory::FileState::Saved);
        QCOMPARE(prepended.size(), 1);
        QCOMPARE(prepended.first().first().toInt(), 1);
        QCOMPARE(history->records().size(), 2);
        QCOMPARE(history->trackedJobs(u"fax.local"_s), (QStringList{u"5"_s, u"6"_s}));
        history.reset();
        QCOMPARE(jobsInFile(), (QStringList{u"5:0"_s, u"6:0"_s}));
    }

    // The first layout, without a version: brought up to date in place; its
    // faxes read as before, new ones keep their documents' stamps.
    void olderLayoutUpgraded()
    {
        {
            test::OtherProgram old(path());
            QVERIFY(old.exec(u"CREATE TABLE faxes (id INTEGER PRIMARY KEY, job TEXT NOT NULL, "
                             "appliance TEXT NOT NULL, submitted INTEGER NOT NULL, number TEXT NOT NULL, "
                             "name TEXT, documents TEXT NOT NULL, state TEXT NOT NULL, "
                             "pages_sent INTEGER NOT NULL, pages_total INTEGER NOT NULL, "
                             "tries INTEGER NOT NULL, reason TEXT, changed INTEGER NOT NULL, "
                             "lost INTEGER NOT NULL)"_s));
            QVERIFY(old.exec(u"INSERT INTO faxes VALUES (1, '4', 'fax.local', 0, '0612345', NULL, "
                             "'[\"/tmp/kestrel-1.ps\"]', 'failed', 1, 2, 3, 'Busy', 0, 0)"_s));
        }
        QVERIFY(QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner));
        FaxRecord stamped = fax(u"5"_s);
        stamped.stamps = {{1234, 1'780'000'000, 123'456'789}, {-1, 0, 0}};
        {
            FaxHistory history(path(), m_clock);
            QVERIFY(history.open());
            QCOMPARE(history.records().size(), 1);
            QCOMPARE(history.records().first().state, FaxState::Failed);
            QCOMPARE(history.records().first().documents, QStringList{u"/tmp/kestrel-1.ps"_s});
            QVERIFY(history.records().first().stamps.isEmpty());
            history.add(stamped);
        }
        QCOMPARE(test::OtherProgram(path()).value(u"PRAGMA user_version"_s).toInt(), 2);
        FaxHistory again(path(), m_clock);
        QVERIFY(again.open());
        QCOMPARE(again.records().size(), 2);
        QCOMPARE(again.records().last().stamps, stamped.stamps);
    }

    // The layout with the stamps (version 1) gains the planned send time:
    // its faxes read as sent at once, a fax for later keeps its time.
    void plannedTimeAddedToVersion1()
    {
        {
            FaxHistory earlier(path(), m_clock);
            earlier.add(fax(u"5"_s));
        }
        {
            test::OtherProgram old(path());
            QVERIFY(old.exec(u"ALTER TABLE faxes DROP COLUMN planned"_s));
            QVERIFY(old.exec(u"PRAGMA user_version = 1"_s));
        }
        FaxRecord later = fax(u"6"_s);
        later.planned = QDateTime(QDate(2027, 1, 16), QTime(9, 30), QTimeZone::utc());
        {
            FaxHistory history(path(), m_clock);
            QVERIFY(history.open());
            QVERIFY(!history.records().first().planned.isValid());
            history.add(later);
        }
        QCOMPARE(test::OtherProgram(path()).value(u"PRAGMA user_version"_s).toInt(), 2);
        FaxHistory again(path(), m_clock);
        QVERIFY(again.open());
        QCOMPARE(again.records().size(), 2);
        QVERIFY(!again.records().first().planned.isValid());
        QCOMPARE(again.records().last().planned, later.planned);
    }

    // A state a later version wrote is shown as to be checked, and its word
    // stays in the file until the state really changes.
    void laterVersionsStateWordKept()
    {
        {
            FaxHistory earlier(path(), m_clock);
            earlier.add(fax(u"5"_s));
        }
        QVERIFY(test::OtherProgram(path()).exec(u"UPDATE faxes SET state = 'onhold'"_s));
        FaxHistory history(path(), m_clock);
        QVERIFY(history.open());
        QCOMPARE(history.records().first().state, FaxState::ToCheck);
        JobUpdate pages;
        pages.pagesTotal = 4;
        QVERIFY(history.update(u"fax.local"_s, u"5"_s, pages, {}).changed);
        QCOMPARE(test::OtherProgram(path()).value(u"SELECT state || pages_total FROM faxes"_s), u"onhold4"_s);
        JobUpdate sent;
        sent.state = FaxState::Sent;
        QVERIFY(history.update(u"fax.local"_s, u"5"_s, sent, {}).ended);
        QCOMPARE(test::OtherProgram(path()).value(u"SELECT state FROM faxes"_s), u"sent"_s);
    }

    void tenThousandFaxes()
    {
        {
            FaxHistory history(path(), m_clock);
            FaxHistory::Batch batch(history);
            for (int job = 1; job <= 10000; ++job)
                history.add(fax(QString::number(job)));
        }
        FaxHistory again(path(), m_clock);
        QVERIFY(again.open());
        QCOMPARE(again.records().size(), 10000);
        QCOMPARE(again.records().last().job, u"10000"_s);
        QCOMPARE(again.indexOf(u"fax.local"_s, u"5000"_s), 4999);
        QCOMPARE(again.trackedJobs(u"fax.local"_s).size(), 10000);
    }
};

QTEST_GUILESS_MAIN(TestFaxHistory)
#include "tst_faxhistory.moc"
