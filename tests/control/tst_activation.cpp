// Activation against the simulator: status polling switched on and off, the
// three status events and the print capture reaching the host's sink.

#include "ControlState.h"
#include "ControlTexts.h"
#include "CorvanefaxControl.h"
#include "ScriptedMessageBox.h"
#include "SimulatorProcess.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using kestrel::test::SimulatorProcess;

namespace {

class Host : public IControlSite, public ICorvanefaxEvents
{
public:
    ScriptedMessageBox box;
    QStringList events; // name and the page's last characters
    QStringList pages;
    QStringList spoolFiles;
    QStringList messages;
    bool capture = false;

    IMessageBox& messageBox() override { return box; }
    void propertyChanged(const QString&) override {}
    bool hostsPrintCapture() const override { return capture; }
    void PrintedDocAvailable(QString& SpoolFile) override { spoolFiles << SpoolFile; }
    void MessageFromAppliance(QString& Msg) override { messages << Msg; }
    void XMLServerStatus(QString& XML_Output) override { record(u"XMLServerStatus"_s, XML_Output); }
    void XMLFaxOutStatus(QString& XML_Output) override { record(u"XMLFaxOutStatus"_s, XML_Output); }
    void XMLFaxDoneStatus(QString& XML_Output) override { record(u"XMLFaxDoneStatus"_s, XML_Output); }

private:
    void record(const QString& name, const QString& page)
    {
        events << name;
        pages << page;
    }
};

} // namespace

class TestActivation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void pollingFollowsXmlStatus();
    void offlineLeavesPollingAlone();
    void capturedJobReachesTheHost();
    void captureOpensWhateverElse_data();
    void captureOpensWhateverElse();

private:
    SimulatorProcess m_sim;
    Host m_host;
    std::unique_ptr<CorvanefaxControl> m_control;
};

void TestActivation::init()
{
    ControlState::current() = ControlState();
    m_host = Host();
    if (!m_sim.isRunning())
        QVERIFY(m_sim.start());
    m_sim.applyPortsToEnvironment();
    m_control = std::make_unique<CorvanefaxControl>();
    m_control->SetClientSite(&m_host);
    m_control->Advise(&m_host);
    m_control->InitProperties();
    m_control->setIndirizzoIP(u"127.0.0.1"_s);
}

void TestActivation::pollingFollowsXmlStatus()
{
    m_control->setXMLStatus(VbTrue);
    QVERIFY(!m_control->Attiva());
    QVERIFY(m_control->Timer1().isEnabled());
    QCOMPARE(m_control->Timer1().Timer1().interval(), 7000);

    m_control->Timer1().tick();
    QCOMPARE(m_host.events, (QStringList{u"XMLServerStatus"_s, u"XMLFaxOutStatus"_s, u"XMLFaxDoneStatus"_s}));
    QVERIFY(m_host.pages.at(0).trimmed().endsWith(u"</elenco_modem>"_s));
    QVERIFY(m_host.pages.at(1).trimmed().endsWith(u"</jobs>"_s));
    QVERIFY(m_host.pages.at(2).trimmed().endsWith(u"</jobs>"_s));

    // Any value other than True switches polling off at the next activation.
    m_control->setXMLStatus(1);
    QVERIFY(!m_control->Attiva());
    QVERIFY(!m_control->Timer1().isEnabled());
}

void TestActivation::offlineLeavesPollingAlone()
{
    m_control->setXMLStatus(VbTrue);
    QVERIFY(!m_control->Attiva());
    QVERIFY(m_control->Timer1().isEnabled());
    m_control->setXMLStatus(VbFalse);
    m_control->setIndirizzoIP(u"127.0.0.2"_s); // nobody answers there
    QVERIFY(!m_control->Attiva());
    QCOMPARE(m_host.messages, QStringList{u"Appliance KESTREL Offline"_s});
    QCOMPARE(ControlState::current().IsActive, VbFalse);
    QVERIFY(m_control->Timer1().isEnabled());
}

void TestActivation::capturedJobReachesTheHost()
{
    QTemporaryDir temp;
    qputenv("TEMP", temp.path().toLocal8Bit());
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    qputenv("KESTREL_PRINT_PORT", QByteArray::number(port));
    m_control->setNomeStampante(u"kestrel"_s);
    QVERIFY(m_control->Socket().AscoltaStampante());

    QTcpSocket spooler;
    spooler.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(spooler.waitForConnected(5000));
    spooler.write("%!PS-Adobe-3.0\n(%%EOF) pop\nshowpage\n%%EOF\n\x04");
    spooler.disconnectFromHost();
    QTRY_COMPARE_WITH_TIMEOUT(m_host.spoolFiles.size(), 1, 10000);
    QVERIFY(m_host.spoolFiles.at(0).startsWith(temp.path() + u"/kestrel-"_s));
    QFile spool(m_host.spoolFiles.at(0));
    QVERIFY(spool.open(QIODevice::ReadOnly));
    QCOMPARE(spool.readAll(), QByteArray("%!PS-Adobe-3.0\n(%%EOF) pop\nshowpage\n%%EOF\n\x04\r\n"));
    qunsetenv("TEMP");
}

void TestActivation::captureOpensWhateverElse_data()
{
    QTest::addColumn<QString>("appliance");
    QTest::newRow("the appliance there") << u"127.0.0.1"_s;
    QTest::newRow("the appliance away") << u"127.0.0.2"_s; // nobody answers there
}

void TestActivation::captureOpensWhateverElse()
{
    // No print system to ask for the capture printer, and perhaps no
    // appliance: the host hears of each, yet print jobs are taken (they wait
    // in the send window until a fax can go).
    QFETCH(QString, appliance);
    QTemporaryDir dir;
    const QByteArray savedServer = qgetenv("CUPS_SERVER");
    qputenv("CUPS_SERVER", dir.filePath(u"no-cupsd.sock"_s).toLocal8Bit());
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close();
    qputenv("KESTREL_PRINT_PORT", QByteArray::number(port));
    m_host.capture = true;
    m_control->setIndirizzoIP(appliance);
    // libcups fails at once: that is Attiva's error, once the appliance
    // has been asked too.
    const MethodError error = m_control->Attiva();
    QCOMPARE(error.number, 462);
    QCOMPARE(error.description, texts::printerNotChecked(ControlState::current().NomeStampante,
                                                         texts::PrinterSystemUnavailable));
    const bool away = appliance == u"127.0.0.2"_s;
    QCOMPARE(ControlState::current().IsActive, away ? VbFalse : VbTrue);
    QCOMPARE(m_host.messages.contains(u"Appliance KESTREL Offline"_s), away);
    QTcpSocket printer;
    printer.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(printer.waitForConnected(5000));
    QTest::qWait(200);
    QCOMPARE(m_host.messages.size(), away ? 1 : 0);
    qputenv("CUPS_SERVER", savedServer);
    qunsetenv("KESTREL_PRINT_PORT");
}

QTEST_MAIN(TestActivation)
#include "tst_activation.moc"
