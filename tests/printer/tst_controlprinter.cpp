// The control's printer step against print systems that do not answer: the
// activation goes on at once, and the windows keep answering meanwhile.

#include "ControlState.h"
#include "ControlTexts.h"
#include "CorvanefaxControl.h"
#include "ScriptedMessageBox.h"
#include "SilentPrintServer.h"
#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using kestrel::test::SimulatorProcess;

namespace {

class Host : public IControlSite, public ICorvanefaxEvents
{
public:
    ScriptedMessageBox box;
    QStringList messages;
    int waitLimit = 60000;

    IMessageBox& messageBox() override { return box; }
    void propertyChanged(const QString&) override {}
    int waitLimitMs() const override { return waitLimit; }
    void MessageFromAppliance(QString& Msg) override { messages << Msg; }
};

} // namespace

class TestControlPrinter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void activationGoesOnAtOnce();
    void verificaStampanteWaitsWithEventsRunning();
    void closedWhileChecking();
    void printSystemErrorAtOnceIsTheActivationsError();

private:
    SimulatorProcess m_sim;
    Host m_host;
    std::unique_ptr<CorvanefaxControl> m_control;
};

void TestControlPrinter::init()
{
    ControlState::current() = ControlState();
    m_host.box.clear();
    m_host.messages.clear();
    m_host.waitLimit = 60000;
    if (!m_sim.isRunning())
        QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    m_sim.applyPortsToEnvironment();
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    qputenv("KESTREL_PRINT_PORT", QByteArray::number(probe.serverPort()));
    m_control = std::make_unique<CorvanefaxControl>();
    m_control->SetClientSite(&m_host);
    m_control->Advise(&m_host);
    m_control->InitProperties();
    m_control->setIndirizzoIP(m_sim.host());
    m_control->setNomeStampante(u"kestrel"_s);
}

void TestControlPrinter::cleanup()
{
    m_control.reset();
    qunsetenv("CUPS_SERVER");
    qunsetenv("KESTREL_PRINT_PORT");
}

void TestControlPrinter::activationGoesOnAtOnce()
{
    SilentPrintServer silent;
    QVERIFY(silent.listen());
    qputenv("CUPS_SERVER", silent.socketPath().toLocal8Bit());

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_control->Attiva());
    // libcups alone would hold it two minutes.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(u"Attiva took %1 ms"_s.arg(clock.elapsed())));
    QCOMPARE(ControlState::current().IsActive, VbTrue);

    // The check goes on meanwhile; activating again does not start another.
    QTRY_COMPARE(silent.connections(), 1);
    QVERIFY(!m_control->Attiva());
    QTest::qWait(300);
    QCOMPARE(silent.connections(), 1);
    QVERIFY(m_host.box.shown().isEmpty());
    QVERIFY(m_host.messages.isEmpty());

    // The print system fails later: the host hears it as a message, in the
    // user's words (libcups's own are for the debug log).
    silent.close();
    QTRY_COMPARE_WITH_TIMEOUT(m_host.messages.size(), 1, 20000);
    QCOMPARE(m_host.messages.first(),
             texts::printerNotChecked(u"kestrel"_s, texts::PrinterSystemUnavailable));
}

void TestControlPrinter::verificaStampanteWaitsWithEventsRunning()
{
    SilentPrintServer silent;
    QVERIFY(silent.listen());
    qputenv("CUPS_SERVER", silent.socketPath().toLocal8Bit());
    m_host.waitLimit = 400;
    int ticks = 0;
    QTimer input;
    input.setInterval(20);
    connect(&input, &QTimer::timeout, this, [&ticks] { ++ticks; });
    input.start();

    QElapsedTimer clock;
    clock.start();
    const MethodError error = m_control->VerificaStampante();

    QCOMPARE(error.number, 462); // the print system is not available
    QVERIFY2(clock.elapsed() < 5000, qPrintable(u"VerificaStampante took %1 ms"_s.arg(clock.elapsed())));
    QVERIFY2(ticks >= 3, qPrintable(u"%1 timer ticks during the wait"_s.arg(ticks)));
}

void TestControlPrinter::closedWhileChecking()
{
    SilentPrintServer silent;
    QVERIFY(silent.listen());
    qputenv("CUPS_SERVER", silent.socketPath().toLocal8Bit());
    QVERIFY(!m_control->Attiva());
    QTRY_COMPARE(silent.connections(), 1);

    m_control.reset();
    // libcups now gives up; its answer must find nobody to tell.
    silent.close();
    QTest::qWait(1000);
    QVERIFY(m_host.box.shown().isEmpty());
    QVERIFY(m_host.messages.isEmpty());
}

void TestControlPrinter::printSystemErrorAtOnceIsTheActivationsError()
{
    // No scheduler: libcups fails at once, and so does the activation, in
    // the user's words, every time (that the appliance is asked and the
    // capture opens all the same is tst_activation's).
    QTemporaryDir dir;
    qputenv("CUPS_SERVER", dir.filePath(u"no-cupsd.sock"_s).toLocal8Bit());

    for (int activation = 0; activation < 2; ++activation) {
        const MethodError error = m_control->Attiva();
        QCOMPARE(error.number, 462);
        QCOMPARE(error.description, u"Impossibile verificare la stampante kestrel (il sistema di stampa non "
                                    u"risponde o non è in funzione)."_s);
        QCOMPARE(ControlState::current().IsActive, VbTrue);
    }
    QTest::qWait(300);
    QVERIFY(m_host.messages.isEmpty()); // the caller has it
    QVERIFY(m_host.box.shown().isEmpty());
}

QTEST_MAIN(TestControlPrinter)
#include "tst_controlprinter.moc"
