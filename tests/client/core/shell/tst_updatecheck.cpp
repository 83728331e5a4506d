#include "UpdateCheck.h"

#include "DetachedProcessStarter.h"
#include "MockClock.h"
#include "RecordingProcessStarter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(kestrel::UpdateCheck::Outcome)

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

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

    // A stand-in updater that notes each run in "marks", a moment after it
    // was started, so a client that waited for it would be seen.
    void startedOncePerMonth()
    {
        writeBytes(file(u"refresher"_s), "#!/bin/sh\nsleep 1\necho run >> marks\n");
        QVERIFY(QFile::setPermissions(file(u"refresher"_s),
                                      QFile::permissions(file(u"refresher"_s)) | QFileDevice::ExeOwner));
        MockClock clock(at(2024, 1, 5));
        DetachedProcessStarter starter;
        UpdateCheck check(m_dir->path(), clock, starter);

        QCOMPARE(check.CheckForUpdate(), UpdateCheck::Outcome::Started);
        QVERIFY(!QFile::exists(file(u"marks"_s)));
        QCOMPARE(readBytes(file(u"lastrefresh"_s)), QByteArray("2401\n"));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(file(u"marks"_s)), QByteArray("run\n"), 10000);

        clock.setNow(at(2024, 1, 31));
        QCOMPARE(check.CheckForUpdate(), UpdateCheck::Outcome::UpToDate);

        clock.setNow(at(2024, 2, 1));
        QCOMPARE(check.CheckForUpdate(), UpdateCheck::Outcome::Started);
        QCOMPARE(readBytes(file(u"lastrefresh"_s)), QByteArray("2402\n"));
        QTRY_COMPARE_WITH_TIMEOUT(readBytes(file(u"marks"_s)), QByteArray("run\nrun\n"), 10000);
    }

    void withoutUpdaterNothingWritten()
    {
        MockClock clock(at(2024, 1, 5));
        RecordingProcessStarter starter;
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(),
                 UpdateCheck::Outcome::NoUpdater);
        QVERIFY(starter.started().isEmpty());
        QVERIFY(QDir(m_dir->path()).isEmpty());
    }

    void marker_data()
    {
        QTest::addColumn<QByteArray>("marker"); // null: no marker file
        QTest::addColumn<UpdateCheck::Outcome>("expected");
        QTest::addColumn<QByteArray>("markerAfter");
        const auto started = UpdateCheck::Outcome::Started;
        const auto upToDate = UpdateCheck::Outcome::UpToDate;
        QTest::newRow("no marker") << QByteArray() << started << QByteArray("2403\n");
        QTest::newRow("this month") << QByteArray("2403\n") << upToDate << QByteArray("2403\n");
        QTest::newRow("lines joined and trimmed")
            << QByteArray(" 24\r\n03 \r\n") << upToDate << QByteArray(" 24\r\n03 \r\n");
        QTest::newRow("last year's month") << QByteArray("2303\n") << started << QByteArray("2403\n");
        QTest::newRow("empty marker") << QByteArray("") << started << QByteArray("2403\n");
    }
    void marker()
    {
        QFETCH(QByteArray, marker);
        QFETCH(UpdateCheck::Outcome, expected);
        QFETCH(QByteArray, markerAfter);
        writeBytes(file(u"refresher"_s), "#!/bin/sh\n");
        if (!marker.isNull())
            writeBytes(file(u"lastrefresh"_s), marker);
        MockClock clock(at(2024, 3, 15));
        RecordingProcessStarter starter;
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(), expected);
        QCOMPARE(readBytes(file(u"lastrefresh"_s)), markerAfter);
        const QStringList programs{file(u"refresher"_s)};
        QCOMPARE(starter.started(), expected == UpdateCheck::Outcome::Started ? programs : QStringList());
    }

    // Without its marker the updater would run at every start of the client.
    void unwritableMarkerStartsNothing()
    {
        writeBytes(file(u"refresher"_s), "#!/bin/sh\n");
        QVERIFY(QDir(m_dir->path()).mkdir(u"lastrefresh"_s));
        MockClock clock(at(2024, 3, 15));
        RecordingProcessStarter starter;
        QCOMPARE(UpdateCheck(m_dir->path(), clock, starter).CheckForUpdate(),
                 UpdateCheck::Outcome::MarkerNotWritten);
        QVERIFY(starter.started().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
