#include "UpdateCheck.h"

#include "DetachedProcessStarter.h"
#include "MockClock.h"
#include "RecordingProcessStarter.h"
#include "TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

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
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
