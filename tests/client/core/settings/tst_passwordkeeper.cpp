// The appliance password in a real Secret Service: gnome-keyring-daemon on
// a private session bus (keyring-session.sh), or a bus with none at all.
// The program runs itself once in each; a row that needs the other kind
// skips, saying so.

#include "ClientApplication.h"
#include "ClientTexts.h"
#include "FrmOption.h"
#include "Keyring.h"
#include "OptionsController.h"
#include "PasswordKeeper.h"
#include "RecordingControl.h"
#include "ScriptedFileChooser.h"
#include "ScriptedMessageBox.h"
#include "SendOptions.h"
#include "SimulatorProcess.h"
#include "TestFiles.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace kestrel;
using namespace Qt::StringLiterals;
namespace files = kestrel::testfiles;

namespace {

constexpr int AnswerMs = 20000; // far beyond a keyring's answer; only a fault reaches it

QString session()
{
    return qEnvironmentVariable("KESTREL_KEYRING");
}

// A settings file with a login, and the objects the program makes over it.
struct Desk
{
    explicit Desk(const QByteArray& pass)
    {
        files::write(dir.filePath(u"KZV.INI"_s),
                     "[MAIN]\r\nIP=fax.studio.lan\r\nUSER=mario\r\nMAIL=a@b.it\r\n" + pass);
        store.emplace(dir.path());
    }
    QByteArray file() const { return files::read(dir.filePath(u"KZV.INI"_s)); }
    bool settled(PasswordKeeper& keeper)
    {
        QSignalSpy changed(&keeper, &PasswordKeeper::placeChanged);
        keeper.settle();
        return changed.wait(AnswerMs);
    }

    QTemporaryDir dir;
    std::optional<SettingsStore> store;
};

// Why this row does not run in this session (empty: it runs).
QString skipReason(const QString& wanted)
{
    if (session().startsWith(u"missing:"_s))
        return u"no private session with a keyring: %1 is not installed"_s.arg(session().mid(8));
    if (session() != wanted)
        return wanted == u"unlocked"_s ? u"runs in the session with a keyring"_s
                                       : u"runs in the session without a keyring"_s;
    return {};
}

} // namespace

#define NEED_SESSION(wanted)                                                                                 \
    do {                                                                                                     \
        if (const QString why = skipReason(wanted); !why.isEmpty())                                          \
            QSKIP(qPrintable(why));                                                                          \
    } while (false)

class TestPasswordKeeper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The options window: the password shown is the keyring's; saved with a
    // new address it goes to the keyring under that address, and the file
    // keeps none. Emptied, it stays empty at the next start.
    void optionsWindowSavesToTheKeyring()
    {
        NEED_SESSION(u"unlocked"_s);
        Desk desk("PASS=vecchia\r\n");
        PasswordKeeper keeper(*desk.store);
        QVERIFY(desk.settled(keeper));
        OptionsController options(*desk.store);
        test::ScriptedMessageBox box;
        test::ScriptedFileChooser chooser;
        FrmOption window(options, box, chooser, nullptr, nullptr, &keeper);
        window.showModeless();
        QCOMPARE(window.fields().text(settings::Pass), u"vecchia"_s);
        QVERIFY(window.findChild<QLabel*>(u"lblPortachiavi"_s)->isHidden());

        window.findChild<QLineEdit*>(u"txtIP"_s)->setText(u"fax2.studio.lan"_s);
        window.findChild<QLineEdit*>(u"txtPassword"_s)->setText(u"nuova"_s);
        QSignalSpy changed(&keeper, &PasswordKeeper::placeChanged);
        QTest::mouseClick(window.findChild<QPushButton*>(u"cmdSalva"_s), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!desk.file().contains("nuova"), AnswerMs);
        QCOMPARE(keyring::readWaiting(u"mario@fax2.studio.lan"_s, AnswerMs).password, u"nuova"_s);
        QCOMPARE(desk.store->values().pass, u"nuova"_s);

        window.showModeless();
        window.findChild<QLineEdit*>(u"txtPassword"_s)->clear();
        QTest::mouseClick(window.findChild<QPushButton*>(u"cmdSalva"_s), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(keyring::readWaiting(u"mario@fax2.studio.lan"_s, AnswerMs).password,
                                  QString(), AnswerMs);
        QCOMPARE(keyring::readWaiting(u"mario@fax2.studio.lan"_s, AnswerMs).kind,
                 keyring::Answer::Kind::Done);
        SettingsStore restarted(desk.dir.path());
        PasswordKeeper again(restarted);
        QVERIFY(desk.settled(again));
        QCOMPARE(restarted.values().pass, QString());
    }

    // The program as started: the password leaves the file for the keyring
    // (service "corvafax", entry "user@address") only once stored, and the
    // next start has it again; without a keyring the file keeps it, the
    // options window says so and corvafax-send says why it goes on without.
    void programStart_data()
    {
        QTest::addColumn<QString>("session");
        QTest::newRow("keyring") << u"unlocked"_s;
        QTest::newRow("no keyring") << u"none"_s;
    }
    void programStart()
    {
        QFETCH(QString, session);
        NEED_SESSION(session);
        const bool keyring = session == u"unlocked"_s;
        Desk desk("PASS=segreta\r\n");
        test::ScriptedMessageBox box;
        ClientApplication::Replacements replacements;
        replacements.messageBox = &box;
        replacements.trayAvailable = [] {
            return false;
        };
        replacements.createControl = [](CorvanefaxHost& host) -> Status {
            host.adopt(std::make_unique<test::RecordingControl>());
            return {};
        };
        replacements.showNotice = [](const QString&) {
        };
        replacements.keyring = true;
        for (int start = 0; start < 2; ++start) {
            ClientApplication client(desk.dir.path(), replacements);
            QVERIFY(client.start());
            QTRY_COMPARE_WITH_TIMEOUT(client.settings().values().pass, u"segreta"_s, AnswerMs);
            QTRY_COMPARE_WITH_TIMEOUT(desk.file().contains("segreta"), !keyring, AnswerMs);
            const QLabel* notice = client.optionsWindow().findChild<QLabel*>(u"lblPortachiavi"_s);
            QTRY_COMPARE_WITH_TIMEOUT(notice->isHidden(), keyring, AnswerMs);
            QCOMPARE(notice->text(), texts::keyring::Unavailable);
        }
        QProcess lookup; // as any other program sees it
        lookup.start(u"secret-tool"_s,
                     {u"lookup"_s, u"server"_s, u"corvafax"_s, u"user"_s, u"mario@fax.studio.lan"_s});
        if (keyring && lookup.waitForStarted()) { // libsecret-tools is there
            QVERIFY(lookup.waitForFinished(AnswerMs));
            QCOMPARE(lookup.readAllStandardOutput(), "segreta");
        }
        SendRequest request;
        request.appliance = u"fax.studio.lan"_s;
        request.user = u"mario"_s;
        QCOMPARE(passwordFromKeyring(request, AnswerMs).isEmpty(), keyring);
        QCOMPARE(request.password, keyring ? u"segreta"_s : QString());
    }

    // The keeper goes (the program quits) while the keyring still works on
    // its request: the answer, when it comes, reaches no one.
    void answerAfterTheKeeperHasGone()
    {
        NEED_SESSION(u"unlocked"_s);
        Desk desk("PASS=segreta\r\n");
        auto keeper = std::make_unique<PasswordKeeper>(*desk.store);
        keeper->settle();
        keeper.reset();
        // The keyring's jobs run one after another: this one's answer comes
        // after the abandoned one's.
        QCOMPARE(keyring::readWaiting(u"mario@fax.studio.lan"_s, AnswerMs).kind, keyring::Answer::Kind::Done);
        QVERIFY(desk.file().contains("PASS=segreta"));
    }

    // corvafax-send logs in with the keyring's password for --user at
    // --appliance; a password file wins over it.
    void sendProgramLogsIn_data()
    {
        QTest::addColumn<QString>("inKeyring");
        QTest::addColumn<QByteArray>("inFile"); // empty: no --password-file
        QTest::newRow("from the keyring") << u"pw"_s << QByteArray();
        QTest::newRow("--password-file wins") << u"sbagliata"_s << QByteArray("pw\n");
    }
    void sendProgramLogsIn()
    {
        QFETCH(QString, inKeyring);
        QFETCH(QByteArray, inFile);
        NEED_SESSION(u"unlocked"_s);
        QObject receiver;
        std::optional<keyring::Answer> stored;
        keyring::write(u"ufficio@127.0.0.1"_s, inKeyring, &receiver,
                       [&](const keyring::Answer& a) { stored = a; });
        QTRY_VERIFY_WITH_TIMEOUT(stored.has_value(), AnswerMs);
        QTemporaryDir dir;
        const QString document = dir.filePath(u"doc.ps"_s);
        QVERIFY(files::write(document, "%!PS-Adobe-3.0\n%%Pages: 1\n%%Page: 1 1\nshowpage\n%%EOF\n"));
        QStringList login{u"--user"_s, u"ufficio"_s};
        if (!inFile.isEmpty()) {
            QVERIFY(files::write(dir.filePath(u"password"_s), inFile));
            QVERIFY(QFile::setPermissions(dir.filePath(u"password"_s), QFileDevice::ReadOwner));
            login << u"--password-file"_s << dir.filePath(u"password"_s);
        }
        test::SimulatorProcess sim;
        QVERIFY(sim.start({u"--user"_s, u"ufficio"_s, u"--password"_s, u"pw"_s}));
        QProcess send;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"KESTREL_HTTP_PORT"_s, QString::number(sim.httpPort()));
        env.insert(u"KESTREL_FAX_PORT"_s, QString::number(sim.faxPort()));
        send.setProcessEnvironment(env);
        send.start(QString::fromUtf8(KESTREL_SEND_PATH),
                   QStringList{u"--appliance"_s, u"127.0.0.1"_s, u"--timeout"_s, u"10"_s} + login +
                       QStringList{u"--notify"_s, u"a@b.it"_s, u"-d"_s, u"111"_s, document});
        QVERIFY(send.waitForFinished(60000));
        QVERIFY2(send.exitCode() == 0, send.readAllStandardError().constData());
        QCOMPARE(QStringList(sim.jobIds()).size(), 1);
    }

    // The keyring's daemon stops answering (last: it stays stopped until the
    // session ends). Nothing waits for it past its limit, and the event loop
    // goes on meanwhile.
    void stalledKeyring()
    {
        NEED_SESSION(u"unlocked"_s);
        QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
        const uint daemon = bus->servicePid(u"org.freedesktop.secrets"_s);
        QVERIFY(daemon > 1);
        QCOMPARE(::kill(pid_t(daemon), SIGSTOP), 0);

        Desk desk("PASS=segreta\r\n");
        PasswordKeeper keeper(*desk.store, 200);
        OptionsController options(*desk.store);
        test::ScriptedMessageBox box;
        test::ScriptedFileChooser chooser;
        FrmOption window(options, box, chooser, nullptr, nullptr, &keeper);
        window.showModeless();
        QSignalSpy changed(&keeper, &PasswordKeeper::placeChanged);
        keeper.settle(); // returns at once
        QLineEdit* prefix = window.findChild<QLineEdit*>(u"txtPrefisso"_s);
        prefix->clear();
        QTest::keyClicks(prefix, u"0039"_s); // the window answers meanwhile
        QCOMPARE(prefix->text(), u"0039"_s);
        QVERIFY(changed.wait(AnswerMs));
        QCOMPARE(keeper.place(), PasswordKeeper::Place::File);
        QVERIFY(!window.findChild<QLabel*>(u"lblPortachiavi"_s)->isHidden());
        QVERIFY(desk.file().contains("PASS=segreta"));

        bool ticked = false;
        QTimer::singleShot(0, this, [&ticked] { ticked = true; });
        SendRequest request;
        request.appliance = u"fax.studio.lan"_s;
        request.user = u"mario"_s;
        QVERIFY(passwordFromKeyring(request, 200).contains(u"no answer"_s));
        QVERIFY(ticked); // handled inside the wait
        QVERIFY(request.password.isNull());
    }
};

int main(int argc, char* argv[])
{
    // Once in each session, unless this is one of those runs.
    if (qEnvironmentVariableIsEmpty("KESTREL_KEYRING")) {
        int failed = 0;
        for (const char* mode : {"none", "keyring"}) {
            std::vector<char*> args{const_cast<char*>("sh"), const_cast<char*>(KESTREL_KEYRING_SESSION),
                                    const_cast<char*>(mode), argv[0]};
            for (int i = 1; i < argc; ++i)
                args.push_back(argv[i]);
            args.push_back(nullptr);
            const pid_t child = ::fork();
            if (child == 0) {
                ::execvp(args.front(), args.data());
                ::_exit(127);
            }
            int status = 0;
            if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
                WEXITSTATUS(status) != 0)
                ++failed;
        }
        return failed;
    }
    QApplication app(argc, argv);
    TestPasswordKeeper test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_passwordkeeper.moc"
