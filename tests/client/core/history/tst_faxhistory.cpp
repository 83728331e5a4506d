// The history on a real SQLite file: made at the first fax, owner-only,
// read back whole by the next run, never through what a hostile user put
// in its place.

#include "FaxHistory.h"
#include "MockClock.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestFaxHistory : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    MockClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 15), Qt::UTC)};

    QString path() const { return m_dir.filePath(u"storico.db"_s); }

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
