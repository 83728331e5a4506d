// A program run under a time limit: how it ended comes back once, later,
// with the last line of its standard error.
#include "TimedProcess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestTimedProcess : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // How a started program ended.
    void programOutcome_data()
    {
        using End = ProgramOutcome::End;
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        const QString sh = u"/bin/sh"_s;
        QTest::newRow("refused") << sh
                                 << QStringList{u"-c"_s, u"echo 'lpadmin: drivers are deprecated' >&2; "
                                                         "echo 'lpadmin: Forbidden' >&2; exit 1"_s}
                                 << int(End::Exited) << 1 << u"lpadmin: Forbidden"_s;
        QTest::newRow("warned") << sh << QStringList{u"-c"_s, u"echo 'deprecated' >&2"_s} << int(End::Exited)
                                << 0 << u"deprecated"_s;
        QTest::newRow("stuck") << u"/bin/sleep"_s << QStringList{u"30"_s} << int(End::TimedOut) << -1
                               << QString();
        QTest::newRow("crashed") << sh << QStringList{u"-c"_s, u"kill -SEGV $$"_s} << int(End::Crashed) << -1
                                 << QString();
        QTest::newRow("missing") << u"/nonexistent/lpadmin"_s << QStringList() << int(End::NotStarted) << 0
                                 << u"*"_s;
    }
    void programOutcome()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, end);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        std::optional<ProgramOutcome> outcome;
        TimedProcess::start(program, arguments, 300, this,
                            [&outcome](const ProgramOutcome& o) { outcome = o; });
        QVERIFY(!outcome); // never from inside the call
        QTRY_VERIFY_WITH_TIMEOUT(outcome, 10000);

        QCOMPARE(int(outcome->end), end);
        if (exitCode >= 0)
            QCOMPARE(outcome->exitCode, exitCode);
        if (message == u"*"_s)
            QVERIFY(!outcome->message.isEmpty());
        else
            QCOMPARE(outcome->message, message);
    }

    // A program past its memory bound fails to allocate instead of growing.
    void memoryBound()
    {
        std::optional<ProgramOutcome> outcome;
        const QString grow = u"b = bytearray(400 * 1024 * 1024)"_s;
        TimedProcess::start(
            u"python3"_s, {u"-c"_s, grow}, 20000, this, [&outcome](const ProgramOutcome& o) { outcome = o; },
            ProgramBounds{128 * 1024 * 1024, false});
        QTRY_VERIFY_WITH_TIMEOUT(outcome, 20000);
        QCOMPARE(int(outcome->end), int(ProgramOutcome::End::Exited));
        QCOMPARE(outcome->exitCode, 1);
        QCOMPARE(outcome->message, u"MemoryError"_s);
    }

    // Bound to its context, the program is stopped when the context goes.
    void stoppedWithContext()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(u"pid"_s);
        auto context = std::make_unique<QObject>();
        bool reported = false;
        TimedProcess::start(
            u"/bin/sh"_s, {u"-c"_s, u"echo $$ > '%1'; exec sleep 60"_s.arg(pidFile)}, 60000, context.get(),
            [&reported](const ProgramOutcome&) { reported = true; }, ProgramBounds{0, true});
        QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, 10000);
        QFile file(pidFile);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pid = file.readAll().trimmed();
        context.reset();
        // Gone, not a zombie: reaped once killed.
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(u"/proc/"_s + QString::fromLatin1(pid)), 10000);
        QTest::qWait(50);
        QVERIFY(!reported);
    }
};

QTEST_GUILESS_MAIN(TestTimedProcess)
#include "tst_timedprocess.moc"
