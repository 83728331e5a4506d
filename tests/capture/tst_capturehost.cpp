// corvafax-send --capture, the command-line host of print capture, as a
// user runs it: one Ctrl-C or SIGTERM ends it at any point.

#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;
using kestrel::test::SimulatorProcess;

class TestCaptureHost : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void signalDuringActivationEndsTheProgram_data();
    void signalDuringActivationEndsTheProgram();
};

void TestCaptureHost::signalDuringActivationEndsTheProgram_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
}

void TestCaptureHost::signalDuringActivationEndsTheProgram()
{
    QFETCH(int, signalNumber);
    // The appliance takes the request for its modem page and never answers:
    // activation waits (up to 60 s) when the signal comes.
    SimulatorProcess appliance;
    QVERIFY2(appliance.start({u"--http-fault"_s, u"no-answer"_s}), qPrintable(appliance.errorString()));
    QTemporaryDir temp;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KESTREL_HTTP_PORT"_s, QString::number(appliance.httpPort()));
    environment.insert(u"TEMP"_s, temp.path());
    environment.insert(u"KESTREL_PRINT_PORT"_s, u"1"_s); // never reached
    QProcess host;
    host.setProcessEnvironment(environment);
    host.start(QString::fromUtf8(KESTREL_SEND_PATH),
               {u"--capture"_s, u"--appliance"_s, appliance.host(), u"--debug"_s});
    QVERIFY(host.waitForStarted(5000));
    // The debug log's first line comes just before the request.
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains("Debug abilitato") && clock.elapsed() < 10000) {
        host.waitForReadyRead(100);
        err += host.readAllStandardError();
    }
    QVERIFY2(err.contains("Debug abilitato"), err.constData());
    QTest::qWait(300);

    ::kill(static_cast<pid_t>(host.processId()), signalNumber);
    clock.restart();
    QVERIFY2(host.waitForFinished(5000), "still running 5 s after one signal");
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    err += host.readAllStandardError();
    QCOMPARE(host.exitStatus(), QProcess::NormalExit);
    QCOMPARE(host.exitCode(), 0);
    // The request was given up because of the signal: the appliance is not
    // reported offline for it.
    QVERIFY2(!err.contains("Offline"), err.constData());
}

QTEST_GUILESS_MAIN(TestCaptureHost)
#include "tst_capturehost.moc"
