// corvafax-send --capture, the command-line host of print capture, as a
// user runs it: one Ctrl-C or SIGTERM ends it at any point.

#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
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
    void capturesWhileTheApplianceIsAway();
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

void TestCaptureHost::capturesWhileTheApplianceIsAway()
{
    // No page server where the appliance should be: the host says so and
    // goes on taking print jobs.
    SimulatorProcess appliance;
    QVERIFY2(appliance.start({u"--http-fault"_s, u"http-refuse"_s}), qPrintable(appliance.errorString()));
    QTemporaryDir temp;
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KESTREL_HTTP_PORT"_s, QString::number(appliance.httpPort()));
    environment.insert(u"TEMP"_s, temp.path());
    environment.insert(u"XDG_DATA_HOME"_s, temp.filePath(u"data"_s));
    environment.insert(u"KESTREL_PRINT_PORT"_s, QString::number(port));
    QProcess host;
    host.setProcessEnvironment(environment);
    host.start(QString::fromUtf8(KESTREL_SEND_PATH), {u"--capture"_s, u"--appliance"_s, appliance.host()});
    QVERIFY(host.waitForStarted(5000));
    const auto killHost = qScopeGuard([&host] {
        host.terminate();
        host.waitForFinished(5000);
    });
    QByteArray err;
    QElapsedTimer clock;
    clock.start();
    while (!err.contains("in attesa di stampe") && host.state() == QProcess::Running &&
           clock.elapsed() < 30000) {
        host.waitForReadyRead(100);
        err += host.readAllStandardError();
    }
    QVERIFY2(err.contains("in attesa di stampe"), err.constData());
    QVERIFY2(err.contains("le stampe vengono acquisite comunque"), err.constData());

    QTcpSocket spooler;
    spooler.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(spooler.waitForConnected(5000));
    spooler.write("%!PS-Adobe-3.0\nshowpage\n%%EOF\n");
    QVERIFY(spooler.waitForBytesWritten(5000));
    spooler.disconnectFromHost();
    QByteArray out;
    clock.restart();
    while (!out.contains('\n') && host.state() == QProcess::Running && clock.elapsed() < 10000) {
        host.waitForReadyRead(100);
        out += host.readAllStandardOutput();
    }
    QVERIFY2(out.startsWith(QByteArray(temp.path().toLocal8Bit() + "/kestrel-")), out.constData());
    QCOMPARE(host.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestCaptureHost)
#include "tst_capturehost.moc"
