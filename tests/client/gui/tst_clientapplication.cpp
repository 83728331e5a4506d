// The client as main() makes it, with a stand-in for the fax control: the
// connections between its windows.

#include "ClientApplication.h"
#include "FrmOption.h"
#include "FrmSend.h"
#include "RecordingControl.h"
#include "ScriptedMessageBox.h"
#include "TestFiles.h"
#include "TrayMenu.h"
#include "Wait.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::RecordingControl;
using kestrel::test::ScriptedMessageBox;

class TestClientApplication : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void optionsNeverWithdrawTheSendWindow_data();
    void optionsNeverWithdrawTheSendWindow();
    void quitFromTheWindowOrTheMenu();

private:
    QTemporaryDir m_dir;
    ScriptedMessageBox m_box;
    bool m_tray = true;
    std::unique_ptr<ClientApplication> m_client;
};

void TestClientApplication::init()
{
    QVERIFY(testfiles::write(m_dir.filePath(u"KZV.INI"_s), "[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n"));
    m_box.clear();
}

void TestClientApplication::cleanup()
{
    m_client.reset();
    clearInterruption();
}

void TestClientApplication::optionsNeverWithdrawTheSendWindow_data()
{
    QTest::addColumn<bool>("tray");
    QTest::addColumn<bool>("hiddenWhileOpen");
    QTest::newRow("with a notification area") << true << true;
    // Nothing would lead back to a hidden window: it is minimised instead.
    QTest::newRow("without one") << false << false;
}

void TestClientApplication::optionsNeverWithdrawTheSendWindow()
{
    QFETCH(bool, tray);
    QFETCH(bool, hiddenWhileOpen);
    ClientApplication::Replacements replacements;
    replacements.messageBox = &m_box;
    replacements.trayAvailable = [tray] {
        return tray;
    };
    replacements.createControl = [](CorvanefaxHost& host) -> Status {
        host.adopt(std::make_unique<RecordingControl>());
        return {};
    };
    replacements.showNotice = [](const QString&) {
    };
    m_client = std::make_unique<ClientApplication>(m_dir.path(), replacements);
    QVERIFY(m_client->start());
    FrmSend& send = m_client->sendWindow();
    send.showInFront();
    // "Setup", from the tray menu or (without one) the window itself.
    Q_EMIT m_client->trayMenu().setupRequested();
    FrmOption& options = m_client->optionsWindow();
    QVERIFY(options.isVisible());
    QCOMPARE(!send.isVisible(), hiddenWhileOpen);
    QCOMPARE(send.isMinimized(), !hiddenWhileOpen);
    // Saved with nothing the control needs anew: the options window closes,
    // the send window stays put away, and is found again as before.
    QTest::mouseClick(options.findChild<QPushButton*>(u"cmdSalva"_s), Qt::LeftButton);
    QVERIFY(!options.isVisible());
    QCOMPARE(!send.isVisible(), hiddenWhileOpen);
    Q_EMIT m_client->trayMenu().sendWindowRequested();
    QVERIFY(send.isVisible());
    QVERIFY(!send.isMinimized());
}

void TestClientApplication::quitFromTheWindowOrTheMenu()
{
    ClientApplication::Replacements replacements;
    replacements.messageBox = &m_box;
    replacements.trayAvailable = [] {
        return false;
    };
    replacements.createControl = [](CorvanefaxHost& host) -> Status {
        host.adopt(std::make_unique<RecordingControl>());
        return {};
    };
    m_client = std::make_unique<ClientApplication>(m_dir.path(), replacements);
    QVERIFY(m_client->start());
    m_client->sendWindow().ensureControls();
    m_box.setNextAnswers({MsgAnswer::Yes});
    QTest::mouseClick(m_client->sendWindow().findChild<QPushButton*>(u"quitButton"_s), Qt::LeftButton);
    QVERIFY(interruptionRequested());
    clearInterruption();
    Q_EMIT m_client->trayMenu().quitRequested();
    QVERIFY(interruptionRequested());
}

QTEST_MAIN(TestClientApplication)
#include "tst_clientapplication.moc"
