// The control's surface: properties and their persistence, activation
// against an appliance that is not there, the debug window, the face.

#include "ControlFace.h"
#include "ControlState.h"
#include "CorvanefaxControl.h"
#include "DebugOutput.h"
#include "MemoryPropertyBag.h"
#include "ScriptedMessageBox.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;

namespace {

class RecordingSite : public IControlSite, public ICorvanefaxEvents
{
public:
    ScriptedMessageBox box;
    QStringList changed;
    QStringList messages;

    IMessageBox& messageBox() override { return box; }
    void propertyChanged(const QString& name) override { changed << name; }
    bool hostsPrintCapture() const override { return false; }
    void MessageFromAppliance(QString& Msg) override { messages << Msg; }
};

// A port nobody listens on.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

} // namespace

class TestCorvanefax : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void defaultsAndPersistence();
    void letNotifiesTheContainer();
    void offlineActivationRefusesSendFax();
    void debugWindowStartsOverAtEachActivation();
    void faceKeepsItsSize();
};

void TestCorvanefax::init()
{
    qputenv("KESTREL_HTTP_PORT", QByteArray::number(closedPort()));
    ControlState::current() = ControlState();
    if (FrmDebug* window = DebugOutput::current().window())
        window->hide();
}

void TestCorvanefax::defaultsAndPersistence()
{
    CorvanefaxControl control;
    MemoryPropertyBag empty;
    control.ReadProperties(empty);
    QCOMPARE(control.IndirizzoIP(), u"ipdelfax"_s);
    QCOMPARE(control.NomeStampante(), u"printer"_s);
    QCOMPARE(control.NomeUtente(), u"test"_s);
    QCOMPARE(control.PasswordUtente(), u"lanterna"_s);
    QCOMPARE(control.EmailAdress(), u"indirizzo"_s);
    QCOMPARE(control.DebugOn(), VbFalse);
    QCOMPARE(control.ChopOn(), VbTrue);
    QCOMPARE(control.XMLStatus(), VbFalse);

    // Values equal to their defaults need not be stored; the rest are.
    control.setIndirizzoIP(u"10.1.1.9"_s);
    control.setXMLStatus(VbTrue);
    control.setChopOn(VbFalse);
    MemoryPropertyBag saved;
    control.WriteProperties(saved);
    QCOMPARE(saved.values().keys(), (QStringList{u"ChopOn"_s, u"IndirizzoIP"_s, u"XMLStatus"_s}));

    CorvanefaxControl reloaded;
    reloaded.ReadProperties(saved);
    QCOMPARE(reloaded.IndirizzoIP(), u"10.1.1.9"_s);
    QCOMPARE(reloaded.XMLStatus(), VbTrue);
    QCOMPARE(reloaded.ChopOn(), VbFalse);
    QCOMPARE(reloaded.NomeUtente(), u"test"_s);

    // Every instance on a thread shares the same fields.
    QCOMPARE(control.IndirizzoIP(), u"10.1.1.9"_s);
}

void TestCorvanefax::letNotifiesTheContainer()
{
    CorvanefaxControl control;
    RecordingSite site;
    control.SetClientSite(&site);
    control.setIndirizzoIP(u"a"_s);
    control.setNomeStampante(u"b"_s);
    control.setPasswordUtente(u"c"_s);
    control.setEmailAdress(u"d"_s);
    control.setDebugOn(VbTrue);
    control.setChopOn(VbTrue);
    control.setXMLStatus(VbFalse);
    control.setNomeUtente(u"e"_s);
    QCOMPARE(site.changed,
             (QStringList{u"IndirizzoIP"_s, u"NomeStampante"_s, u"PasswordUtente"_s, u"EmailAdress"_s,
                          u"DebugOn"_s, u"ChopOn"_s, u"XMLStatus"_s, u"NomeUtente"_s}));
    QVERIFY(site.box.shown().isEmpty());
}

void TestCorvanefax::offlineActivationRefusesSendFax()
{
    CorvanefaxControl control;
    RecordingSite site;
    control.SetClientSite(&site);
    control.Advise(&site);
    control.InitProperties();
    control.setDebugOn(VbTrue);
    control.setIndirizzoIP(u"127.0.0.1"_s);

    // Before any activation.
    QVERIFY(!control.SendFax(u"a.ps,"_s, u"1"_s, u"x@y"_s).isValid());
    QCOMPARE(site.box.shown().size(), 1);
    QCOMPARE(site.box.shown().at(0).text, u"deve essere attivata con .attiva"_s);
    QCOMPARE(site.box.shown().at(0).icon, MsgIcon::Exclamation);

    // An appliance that refuses the connection is offline: a notice, no error.
    QVERIFY(!control.Attiva());
    QCOMPARE(site.messages, QStringList{u"Appliance KESTREL Offline"_s});
    QCOMPARE(ControlState::current().IsActive, VbFalse);
    QVERIFY(DebugOutput::current().text().contains(u"cant find corvane appliance on 127.0.0.1\r\n"_s));

    QVERIFY(!control.SendFax(u"a.ps,"_s, u"1"_s, u"x@y"_s).isValid());
    QCOMPARE(site.box.shown().size(), 2);
    QVERIFY(DebugOutput::current().text().contains(controlLibraryName() + u".attiva non eseguito \r\n"_s));
    // The refused call changes nothing.
    QCOMPARE(control.EmailAdress(), u"indirizzo"_s);
}

void TestCorvanefax::debugWindowStartsOverAtEachActivation()
{
    CorvanefaxControl control;
    RecordingSite site;
    control.SetClientSite(&site);
    control.Advise(&site);
    control.setIndirizzoIP(u"127.0.0.1"_s);

    // Switching diagnostics on shows nothing by itself.
    control.setDebugOn(VbTrue);
    FrmDebug* window = DebugOutput::current().window();
    QVERIFY(!window || !window->isVisible());

    control.Attiva();
    window = DebugOutput::current().window();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"Debug Ouput"_s);
    QVERIFY(window->TxtOut()->toPlainText().startsWith(u"Debug abilitato\n"_s));
    control.Attiva();
    QVERIFY(window->TxtOut()->toPlainText().startsWith(u"Debug abilitato\ncant find"_s));
    QCOMPARE(window->TxtOut()->toPlainText().count(u"Debug abilitato"_s), 1);

    // With diagnostics off nothing is written.
    control.setDebugOn(VbFalse);
    const QString before = window->TxtOut()->toPlainText();
    control.Attiva();
    QCOMPARE(window->TxtOut()->toPlainText(), before);
}

void TestCorvanefax::faceKeepsItsSize()
{
    CorvanefaxControl control;
    QWidget form;
    QWidget* face = control.CreateFace(&form);
    QVERIFY(face);
    const int side = qRound(780 * face->logicalDpiX() / 1440.0);
    QCOMPARE(face->size(), QSize(side, side));
    face->resize(200, 90);
    QCOMPARE(face->size(), QSize(side, side));
    control.SetExtent(5000, 100);
    QCOMPARE(control.ExtentWidth(), 780);
    QCOMPARE(control.ExtentHeight(), 780);
    QCOMPARE(face->size(), QSize(side, side));
}

QTEST_MAIN(TestCorvanefax)
#include "tst_corvanefax.moc"
