// The client as main() makes it, with a stand-in for the fax control: the
// connections between its windows.

#include "ClientApplication.h"
#include "ClientTexts.h"
#include "DesktopNotices.h"
#include "FaxHistory.h"
#include "FaxStatusWindow.h"
#include "FrmOption.h"
#include "FrmSend.h"
#include "ManualTimer.h"
#include "MockClock.h"
#include "OtherProgram.h"
#include "RecordingControl.h"
#include "RecordingFaxStatus.h"
#include "ScriptedMessageBox.h"
#include "ScriptedTagReader.h"
#include "TestFiles.h"
#include "TrayIcon.h"
#include "TrayMenu.h"
#include "Wait.h"

#include <QLabel>
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
    void faxEndsInANotice_data();
    void faxEndsInANotice();
    void resendPutsBackOnlyWhatWasSent_data();
    void resendPutsBackOnlyWhatWasSent();
    void historyHeldAtTheStartIsReadLater();
    void statusWindowFromTheSendWindowAndTheMenu();
    void refusedLoginUntilTheSettingsAreSaved();
    void taggedPrintSentAtOnce_data();
    void taggedPrintSentAtOnce();

private:
    // A client whose fax went to 0612345 (Studio Rossi) as job 7 of
    // fax.local, with stand-ins for the control and the status query.
    void startWithOneFax(bool tray, const QStringList& documents);

    QTemporaryDir m_dir;
    // Runs between the client's making and its start.
    std::function<void()> m_beforeStart;
    ScriptedMessageBox m_box;
    bool m_tray = true;
    QStringList m_notices;
    test::ManualTimer m_timer;
    RecordingControl* m_control = nullptr;
    test::RecordingFaxStatus* m_query = nullptr;
    std::unique_ptr<ClientApplication> m_client;
};

void TestClientApplication::init()
{
    QVERIFY(testfiles::write(m_dir.filePath(u"KZV.INI"_s), "[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n"));
    QFile::remove(m_dir.filePath(u"storico.db"_s));
    m_box.clear();
    m_notices.clear();
    m_timer = test::ManualTimer();
    m_beforeStart = nullptr;
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

void TestClientApplication::startWithOneFax(bool tray, const QStringList& documents)
{
    ClientApplication::Replacements replacements;
    replacements.messageBox = &m_box;
    replacements.trayAvailable = [tray] {
        return tray;
    };
    replacements.createControl = [this](CorvanefaxHost& host) -> Status {
        auto control = std::make_unique<RecordingControl>();
        m_control = control.get();
        host.adopt(std::move(control));
        return {};
    };
    replacements.createFaxStatus = [this](FaxStatusHost& host) -> Status {
        auto query = std::make_unique<test::RecordingFaxStatus>();
        m_query = query.get();
        host.adopt(std::move(query));
        return {};
    };
    replacements.statusTimer = &m_timer;
    replacements.notificationBus = QDBusConnection(u"no-bus"_s);
    replacements.showNotice = [this](const QString& text) {
        m_notices << text;
    };
    m_client = std::make_unique<ClientApplication>(m_dir.path(), replacements);
    if (m_beforeStart)
        m_beforeStart();
    QVERIFY(m_client->start());
    FrmSend& send = m_client->sendWindow();
    send.putBack(u"0612345"_s, u"Studio Rossi"_s, documents);
    send.cmdsendClick();
    m_control->submit(u"7"_s);
    QCOMPARE(m_client->history().records().size(), 1);
    QCOMPARE(m_query->queries, QList<QStringList>{QStringList{u"7"_s}});
    QCOMPARE(m_query->address, u"fax.local"_s);
}

void TestClientApplication::faxEndsInANotice_data()
{
    QTest::addColumn<bool>("tray");
    QTest::newRow("the tray icon's message") << true;
    QTest::newRow("no notification area: the notice window") << false;
}

// Without a notification service: the tray icon's message, whose click
// shows the fax; else the notice window.
void TestClientApplication::faxEndsInANotice()
{
    QFETCH(bool, tray);
    startWithOneFax(tray, {u"/tmp/kestrel-1.ps"_s});
    m_notices.clear();
    m_query->answer({test::report(u"7"_s, JobReport::State::Failed, u"Busy signal detected"_s)});
    // The server's reason in Italian; the history keeps its own words.
    const QString text = u"Fax a Studio Rossi non riuscito: Numero occupato"_s;
    QCOMPARE(m_notices, tray ? QStringList() : QStringList{text});
    QCOMPARE(m_client->history().records().at(0).reason, u"Busy signal detected"_s);
    if (tray) {
        QCOMPARE(m_client->tray().shownMessage(), text);
        Q_EMIT m_client->tray().findChild<QSystemTrayIcon*>()->messageClicked();
        QVERIFY(m_client->statusWindow().isVisible());
        QCOMPARE(m_client->statusWindow().currentFax(), 0);
    }
}

void TestClientApplication::resendPutsBackOnlyWhatWasSent_data()
{
    QTest::addColumn<QString>("change");
    // Missing, or other than the file sent: the stamps taken at the
    // submission reach the check (which files count is ResendDocuments').
    QTest::newRow("removed") << u"remove"_s;
    QTest::newRow("written again since") << u"rewrite"_s;
}

// "Reinvia": the number and the documents still as they were sent come
// back to the send window; the others are named.
void TestClientApplication::resendPutsBackOnlyWhatWasSent()
{
    QFETCH(QString, change);
    const QString kept = m_dir.filePath(u"kestrel-1.ps"_s);
    const QString other = m_dir.filePath(u"kestrel-2.ps"_s);
    QVERIFY(testfiles::write(kept, "%!PS\n"));
    QVERIFY(testfiles::write(other, "%!PS\n"));
    startWithOneFax(true, {kept, other});
    FrmSend& send = m_client->sendWindow();
    QCOMPARE(send.destinations().rows(), 1);
    if (change == u"remove"_s)
        QVERIFY(QFile::remove(other));
    else
        QVERIFY(testfiles::write(other, "%!PS-Adobe\n"));
    m_box.clear();
    Q_EMIT m_client->notices().resendRequested(m_client->history().handleOf(0));
    QCOMPARE(send.destinations().column(1), QStringList{u"0612345"_s});
    QCOMPARE(send.destinations().column(2), QStringList{u"Studio Rossi"_s});
    QCOMPARE(send.documents().column(1), QStringList{kept});
    QCOMPARE(m_box.texts(), QStringList{change == u"remove"_s ? texts::history::documentsMissing({other})
                                                              : texts::history::documentsRefused({other})});
    QVERIFY(send.isVisible());
    QFile::remove(other);
}

// A history file another program held at the start: its faxes come in
// when it is free, the unfinished ones are asked about, and a notice of
// this run still leads to its own fax.
void TestClientApplication::historyHeldAtTheStartIsReadLater()
{
    const QString path = m_dir.filePath(u"storico.db"_s);
    {
        MockClock clock(QDateTime::currentDateTimeUtc());
        FaxHistory earlier(path, clock);
        FaxRecord record;
        record.job = u"3"_s;
        record.appliance = u"fax.local"_s;
        record.number = u"0699999"_s;
        earlier.add(record);
    }
    {
        test::OtherProgram other(path);
        QVERIFY(other.exec(u"BEGIN EXCLUSIVE"_s));
        m_beforeStart = [this] {
            m_client->history().setBusyTimeout(20);
        };
        startWithOneFax(true, {u"/tmp/kestrel-1.ps"_s});
        QCOMPARE(m_client->history().fileState(), FaxHistory::FileState::Unread);
        m_query->answer({test::report(u"7"_s, JobReport::State::Failed, u"Busy signal detected"_s)});
        QVERIFY(other.exec(u"ROLLBACK"_s));
    }
    FaxHistory& history = m_client->history();
    QVERIFY(history.save());
    QCOMPARE(history.records().at(0).job, u"3"_s);
    m_timer.fire();
    QCOMPARE(m_query->queries.constLast(), QStringList{u"3"_s});
    // The failed fax's message, shown before the file came in.
    Q_EMIT m_client->tray().findChild<QSystemTrayIcon*>()->messageClicked();
    QCOMPARE(m_client->statusWindow().currentFax(), 1);
}

void TestClientApplication::statusWindowFromTheSendWindowAndTheMenu()
{
    startWithOneFax(true, {u"/tmp/kestrel-1.ps"_s});
    FrmSend& send = m_client->sendWindow();
    auto* button = send.findChild<QPushButton*>(u"statusButton"_s);
    QCOMPARE(button->accessibleName(), u"Stato dei fax"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    FaxStatusWindow& window = m_client->statusWindow();
    QVERIFY(window.isVisible());
    window.close();
    Q_EMIT m_client->trayMenu().statusWindowRequested();
    QVERIFY(window.isVisible());
}

// A refused login: the status window says why its states are old, and the
// fax server is asked again once the settings are saved.
void TestClientApplication::refusedLoginUntilTheSettingsAreSaved()
{
    startWithOneFax(true, {u"/tmp/kestrel-1.ps"_s});
    m_query->answer({}, LoginRefused.toString());
    FaxStatusWindow& window = m_client->statusWindow();
    QCOMPARE(window.serverNote()->text(), texts::history::loginRefusedNote(LoginRefused.toString()));
    m_timer.fire();
    QCOMPARE(m_query->queries.size(), 1);
    // A new password changes nothing else: the window just closes.
    Q_EMIT m_client->optionsWindow().accepted();
    QTRY_COMPARE(m_query->queries.size(), 2);
}

void TestClientApplication::taggedPrintSentAtOnce_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("every page names its destination: sent, one notice") << false;
    QTest::newRow("tags in doubt: the window, and why") << true;
}

// "Invia subito le stampe con destinatario": the letters go without the
// window, the history follows each fax, and one notice says what went.
void TestClientApplication::taggedPrintSentAtOnce()
{
    QFETCH(bool, refused);
    QVERIFY(testfiles::write(m_dir.filePath(u"KZV.INI"_s),
                             "[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\nTAGSEND=1\r\n"));
    const QString problem = u"pagina 1: due destinatari sulla stessa pagina"_s;
    ClientApplication::Replacements replacements;
    replacements.messageBox = &m_box;
    replacements.trayAvailable = [] {
        return true;
    };
    replacements.createControl = [this](CorvanefaxHost& host) -> Status {
        auto control = std::make_unique<RecordingControl>();
        m_control = control.get();
        host.adopt(std::move(control));
        return {};
    };
    replacements.createFaxStatus = [](FaxStatusHost& host) -> Status {
        host.adopt(std::make_unique<test::RecordingFaxStatus>());
        return {};
    };
    replacements.statusTimer = &m_timer;
    replacements.notificationBus = QDBusConnection(u"no-bus"_s);
    replacements.showNotice = [this](const QString& text) {
        m_notices << text;
    };
    replacements.makeTagReader = [refused, problem] {
        auto reader = std::make_unique<test::ScriptedTagReader>();
        reader->scripts = {refused ? test::ScriptedTagReader::refused(problem)
                                   : test::ScriptedTagReader::tagged(
                                         {{u"0123456789"_s, u"Rossi"_s, 2}, {u"022222"_s, QString(), 1}})};
        return reader;
    };
    m_client = std::make_unique<ClientApplication>(m_dir.path(), replacements);
    QVERIFY(m_client->start());
    FrmSend& send = m_client->sendWindow();
    m_box.clear();
    m_control->printed(u"/tmp/lettere.ps"_s);
    if (refused) {
        QVERIFY(send.isVisible());
        QCOMPARE(m_box.texts(), QStringList{texts::letters::refused(problem)});
        QCOMPARE(send.documents().column(1), QStringList{u"/tmp/lettere.ps"_s});
        QVERIFY(m_control->sent.isEmpty());
        return;
    }
    QVERIFY(!send.isVisible());
    QCOMPARE(m_control->sent.size(), 1);
    m_control->submit(u"7"_s);
    QCOMPARE(m_control->sent.size(), 2);
    m_control->submit(u"8"_s);
    QVERIFY(!send.isVisible());
    QVERIFY(m_box.shown().isEmpty());
    QCOMPARE(m_client->tray().shownMessage(),
             texts::letters::sentNotice({u"Rossi (0123456789)"_s, u"022222"_s}, u" 7 8"_s, QString()));
    const QList<FaxRecord>& faxes = m_client->history().records();
    QCOMPARE(faxes.size(), 2);
    QCOMPARE(faxes.at(0).name, u"Rossi"_s);
    QCOMPARE(faxes.at(0).documents, QStringList{m_control->sent.at(0).files.chopped(1)});
}

QTEST_MAIN(TestClientApplication)
#include "tst_clientapplication.moc"
