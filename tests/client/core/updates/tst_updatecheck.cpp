#include "UpdateCheck.h"

#include "DetachedProcessStarter.h"
#include "FifoUnblocker.h"
#include "MockClock.h"
#include "RecordingProcessStarter.h"
#include "TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kestrel;
using namespace Qt::StringLiterals;
namespace files = kestrel::testfiles;
using Outcome = UpdateCheck::Outcome;

namespace {

QDateTime at(int year, int month, int day)
{
    return QDateTime(QDate(year, month, day), QTime(9, 0));
}

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString file(const QString& name) const { return m_dir->filePath(name); }

private Q_SLOTS:
    void init() { m_dir = std::make_unique<QTemporaryDir>(); }

    // A stand-in updater notes each run in "marks" a moment after it was
    // started, so a client that waited for it would be seen.
    void startedOncePerMonth()
    {
        QVERIFY(files::write(file(u"refresher"_s), "#!/bin/sh\nsleep 1\necho run >> marks\n"));
        QVERIFY(QFile::setPermissions(file(u"refresher"_s), QFile::ReadOwner | QFile::ExeOwner));
        MockClock clock(at(2024, 1, 5));
        DetachedProcessStarter starter;
        UpdateCheck check(m_dir->path(), clock, starter);

        QCOMPARE(check.CheckForUpdate(), Outcome::Started);
        QVERIFY(!QFile::exists(file(u"marks"_s)));
        QCOMPARE(files::read(file(u"lastrefresh"_s)), QByteArray("2401\n"));
        QTRY_COMPARE_WITH_TIMEOUT(files::read(file(u"marks"_s)), QByteArray("run\n"), 10000);

        clock.setNow(at(2024, 1, 31));
        QCOMPARE(check.CheckForUpdate(), Outcome::UpToDate);
        clock.setNow(at(2024, 2, 1));
        QCOMPARE(check.CheckForUpdate(), Outcome::Started);
        QCOMPARE(files::read(file(u"lastrefresh"_s)), QByteArray("2402\n"));
        QTRY_COMPARE_WITH_TIMEOUT(files::read(file(u"marks"_s)), QByteArray("run\nrun\n"), 10000);
    }

    void withoutUpdaterNothingWritten()
    {
        MockClock clock(at(2024, 1, 5));
        RecordingProcessStarter starter;
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(), Outcome::NoUpdater);
        QVERIFY(starter.started().isEmpty());
        QVERIFY(QDir(m_dir->path()).isEmpty());
    }

    void markerLinesJoinedAndTrimmed()
    {
        QVERIFY(files::write(file(u"refresher"_s), ""));
        QVERIFY(files::write(file(u"lastrefresh"_s), " 24\r\n03 \r\n"));
        MockClock clock(at(2024, 3, 15));
        RecordingProcessStarter starter;
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(), Outcome::UpToDate);
        QVERIFY(starter.started().isEmpty());
    }

    // Without its marker the updater would run at every start of the client.
    void unwritableMarkerStartsNothing()
    {
        QVERIFY(files::write(file(u"refresher"_s), ""));
        QVERIFY(QDir(m_dir->path()).mkdir(u"lastrefresh"_s));
        MockClock clock(at(2024, 3, 15));
        RecordingProcessStarter starter;
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(), Outcome::MarkerNotWritten);
        QVERIFY(starter.started().isEmpty());
    }

    // Neither file is opened unless it is a regular file: a FIFO would hold
    // the start, a device could feed it without end.
    void notRegularFilesPassedOver_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("symlink");
        QTest::addColumn<Outcome>("outcome");
        QTest::newRow("marker a FIFO") << u"lastrefresh"_s << false << Outcome::MarkerNotWritten;
        QTest::newRow("marker a symlink to a FIFO") << u"lastrefresh"_s << true << Outcome::MarkerNotWritten;
        QTest::newRow("updater a FIFO") << u"refresher"_s << false << Outcome::NoUpdater;
        QTest::newRow("updater a symlink to a FIFO") << u"refresher"_s << true << Outcome::NoUpdater;
    }
    void notRegularFilesPassedOver()
    {
        QFETCH(QString, name);
        QFETCH(bool, symlink);
        QFETCH(Outcome, outcome);
        if (name != u"refresher"_s)
            QVERIFY(files::write(file(u"refresher"_s), ""));
        const QString fifo = symlink ? file(u"fifo"_s) : file(name);
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QVERIFY(!symlink || QFile::link(fifo, file(name)));
        test::FifoUnblocker unblocker(fifo);
        MockClock clock(at(2024, 3, 15));
        RecordingProcessStarter starter;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(), outcome);
        QVERIFY2(timer.elapsed() < 1500, "waited on a FIFO");
        QVERIFY(starter.started().isEmpty());
        QCOMPARE(QFileInfo(file(name)).isSymLink(), symlink);
        QVERIFY(!QFileInfo(fifo).isFile());
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
