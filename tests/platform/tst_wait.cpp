// The wait helper and the process-wide request to quit: every wait gives up
// at once when the program is asked to quit, also when the request is a
// signal that arrives while the wait runs nested in the event loop.

#include "SignalWatcher.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestWait : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { clearInterruption(); }

    void interruptionEndsTheWait_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("asked before the wait") << u"before"_s;
        QTest::newRow("asked by a handler during the wait") << u"handler"_s;
        QTest::newRow("SIGTERM during the wait") << u"SIGTERM"_s;
        QTest::newRow("SIGINT during the wait") << u"SIGINT"_s;
    }
    void interruptionEndsTheWait()
    {
        QFETCH(QString, how);
        SignalWatcher watcher;
        QVERIFY(watcher.install());
        QSignalSpy terminations(&watcher, &SignalWatcher::terminationRequested);
        if (how == "before"_L1)
            requestInterruption();
        else if (how == "handler"_L1)
            QTimer::singleShot(50, this, [] { requestInterruption(); });
        else
            QTimer::singleShot(50, this, [how] { std::raise(how == "SIGTERM"_L1 ? SIGTERM : SIGINT); });

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(waitUntil([] { return false; }, 20000), WaitOutcome::Interrupted);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(interruptionRequested());
        // Later waits give up at once as well: the program is on its way out.
        QCOMPARE(waitUntil([] { return false; }, 20000), WaitOutcome::Interrupted);
        if (how.startsWith("SIG"_L1)) {
            QTRY_COMPARE(terminations.size(), 1);
            QCOMPARE(terminations.at(0).at(0).toInt(), how == "SIGTERM"_L1 ? SIGTERM : SIGINT);
        }
    }

    void doneWinsOverInterruption()
    {
        requestInterruption();
        QCOMPARE(waitUntil([] { return true; }, 1000), WaitOutcome::Done);
    }
};

QTEST_GUILESS_MAIN(TestWait)
#include "tst_wait.moc"
