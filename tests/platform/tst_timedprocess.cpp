// A program run under a time limit: how it ended comes back once, later,
// with the last line of its standard error.
#include "TimedProcess.h"

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
};

QTEST_GUILESS_MAIN(TestTimedProcess)
#include "tst_timedprocess.moc"
