#include "BackgroundPrinterSetup.h"
#include "ControlTexts.h"
#include "PrinterSetup.h"
#include "RecordingPrinterSystem.h"
#include "ScriptedMessageBox.h"
#include "SystemLabel.h"
#include "VersioneWindows.h"

#include "MessageBox.h"
#include "Ports.h"

#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/stat.h>

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using namespace Qt::StringLiterals;

namespace {

const QString Lpadmin = u"/usr/sbin/lpadmin"_s;
const QString Debian = u"Debian GNU/Linux 12 (bookworm)"_s;
const QString Command =
    u"/usr/sbin/lpadmin -p kestrel -E -v socket://127.0.0.1:9100 -m drv:///sample.drv/generic.ppd -o "
    u"pdftops-renderer-default=pdftocairo"_s;

// Records each box together with how many commands had been started by then.
class OrderingBox : public ScriptedMessageBox
{
public:
    explicit OrderingBox(const RecordingPrinterSystem& system) : m_system(system) {}
    MsgAnswer show(const MessageBoxRequest& request) override
    {
        startedBeforeBox.append(m_system.started.size());
        return ScriptedMessageBox::show(request);
    }
    QList<qsizetype> startedBeforeBox;

private:
    const RecordingPrinterSystem& m_system;
};

// The control's printer step over a recording print system, with its own
// once-per-run token so that every test starts afresh.
struct Rig
{
    explicit Rig(const QString& version = u"Windows7"_s, RunOnce* sharedOnce = nullptr)
        : box(*system),
          setup(
              system,
              {.messageBox = [this]() -> IMessageBox& { return box; },
               .busy = [this] { return busy; },
               .log =
                   [this](const QString& line) {
                       log.append(line);
                   }},
              [] { return Debian; }, [version] { return version; }, sharedOnce ? *sharedOnce : once)
    {}

    std::shared_ptr<RecordingPrinterSystem> system = std::make_shared<RecordingPrinterSystem>();
    OrderingBox box;
    QStringList log;
    bool busy = false;
    RunOnce once;
    BackgroundPrinterSetup setup;
};

} // namespace

class TestPrinterSetup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { qunsetenv(ports::PrintCaptureVariable); }

    void versionTable_data()
    {
        QTest::addColumn<int>("platformId");
        QTest::addColumn<int>("major");
        QTest::addColumn<int>("minor");
        QTest::addColumn<QString>("label");
        QTest::newRow("win32s") << 0 << 3 << 11 << u"32s"_s;
        QTest::newRow("95") << 1 << 4 << 0 << u"95"_s;
        QTest::newRow("me") << 1 << 4 << 90 << u"ME"_s;
        QTest::newRow("98") << 1 << 4 << 10 << u"98"_s;
        QTest::newRow("vista") << 2 << 6 << 0 << u"Vista"_s;
        QTest::newRow("seven") << 2 << 6 << 1 << u"Windows7"_s;
        QTest::newRow("eight") << 2 << 6 << 2 << u"Windows8"_s;
        QTest::newRow("6.3 empty") << 2 << 6 << 3 << QString();
        QTest::newRow("5.1 unknown") << 2 << 5 << 1 << u"Sconosciuto 51"_s;
        QTest::newRow("5.10 unknown") << 2 << 5 << 10 << u"Sconosciuto 510"_s;
        QTest::newRow("other platform") << 3 << 6 << 1 << QString();
    }
    void versionTable()
    {
        QFETCH(int, platformId);
        QFETCH(int, major);
        QFETCH(int, minor);
        QFETCH(QString, label);
        QCOMPARE(VersioneWindows(platformId, major, minor), label);
    }

    void runningKernel()
    {
        int major = -1;
        int minor = -1;
        QVERIFY(parseKernelRelease(u"6.1.0-18-amd64"_s, &major, &minor));
        QCOMPARE(major, 6);
        QCOMPARE(minor, 1);
        QVERIFY(!parseKernelRelease(u"6-rc"_s, &major, &minor));
        QVERIFY(parseKernelRelease(QSysInfo::kernelVersion(), &major, &minor));
        QCOMPARE(VersioneWindows(), VersioneWindows(2, major, minor));
    }

    void installsMissingPrinter_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("model");
        QTest::newRow("vista") << u"Vista"_s << u"Dell 3100cn PS"_s;
        QTest::newRow("seven") << u"Windows7"_s << u"Xerox Phaser 6120 PS"_s;
        QTest::newRow("eight") << u"Windows8"_s << u"MS Publisher Color Printer"_s;
        QTest::newRow("unknown") << u"Sconosciuto 51"_s << u"Apple LaserWriter 12/640 PS"_s;
        QTest::newRow("empty") << QString() << u"Apple LaserWriter 12/640 PS"_s;
    }
    void installsMissingPrinter()
    {
        QFETCH(QString, version);
        QFETCH(QString, model);
        Rig rig(version);
        rig.system->printers = {u"laser"_s, u"kestrel2"_s};

        QCOMPARE(rig.setup.checkAndWait(u"kestrel"_s, 5000).number, 0);

        // The system is named as it names itself; the version label only
        // picks the driver model of the log.
        QCOMPARE(rig.box.texts(), QStringList{u"Installo la stampante kestrel su "_s + Debian});
        QCOMPARE(rig.box.shown().first().title, QString());
        QCOMPARE(rig.box.shown().first().icon, MsgIcon::Information);
        QCOMPARE(rig.box.shown().first().buttons, MsgButtons::Ok);
        QCOMPARE(rig.box.startedBeforeBox, QList<qsizetype>{0}); // the user is told first
        QCOMPARE(rig.system->started.size(), 1);
        QCOMPARE(rig.system->started.first().program, Lpadmin);
        const QStringList arguments{u"-p"_s,
                                    u"kestrel"_s,
                                    u"-E"_s,
                                    u"-v"_s,
                                    u"socket://127.0.0.1:9100"_s,
                                    u"-m"_s,
                                    u"drv:///sample.drv/generic.ppd"_s,
                                    u"-o"_s,
                                    u"pdftops-renderer-default=pdftocairo"_s};
        QCOMPARE(rig.system->started.first().arguments, arguments);
        QCOMPARE(rig.system->started.first().timeLimitMs, 5000);
        QCOMPARE(rig.log.filter(model).size(), 1);
        QVERIFY(rig.log.contains(u"Printer install: "_s + Command));
        QTRY_VERIFY(rig.log.contains(u"Printer install: /usr/sbin/lpadmin done"_s));
        QCOMPARE(rig.box.shown().size(), 1);
    }

    void nameGoesThroughUnchanged()
    {
        qputenv(ports::PrintCaptureVariable, "19100");
        Rig rig;
        const QString name = u"fax&co(1)$HOME;è"_s;

        QCOMPARE(rig.setup.checkAndWait(name, 5000).number, 0);

        QCOMPARE(rig.system->started.size(), 1);
        QCOMPARE(rig.system->started.first().arguments.at(1), name);
        QCOMPARE(rig.system->started.first().arguments.at(4), u"socket://127.0.0.1:19100"_s);
        QVERIFY(rig.log.contains(u"Printer install: /usr/sbin/lpadmin -p 'fax&co(1)$HOME;è' -E -v "
                                 "socket://127.0.0.1:19100 -m drv:///sample.drv/generic.ppd -o "
                                 "pdftops-renderer-default=pdftocairo"_s));
    }

    // Cases that must neither tell the user nor start anything.
    void nothingStarted_data()
    {
        QTest::addColumn<QStringList>("printers");
        QTest::addColumn<QString>("listError");
        QTest::addColumn<bool>("hasLpadmin");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("errorNumber");
        const QStringList some{u"laser"_s, u"kestrel"_s, u"pdf"_s};
        QTest::newRow("exists") << some << QString() << true << u"kestrel"_s << 0;
        QTest::newRow("other case") << some << QString() << true << u"Kestrel"_s << 58;
        QTest::newRow("no scheduler")
            << QStringList() << u"cannot reach cupsd"_s << true << u"kestrel"_s << 462;
        QTest::newRow("empty name") << some << QString() << true << QString() << 5;
        QTest::newRow("blank") << some << QString() << true << u"my fax"_s << 5;
        QTest::newRow("slash") << some << QString() << true << u"a/b"_s << 5;
        QTest::newRow("quote") << some << QString() << true << u"it's"_s << 5;
        QTest::newRow("at") << some << QString() << true << u"fax@host"_s << 5;
        QTest::newRow("128 bytes") << some << QString() << true << QString(128, u'k') << 5;
        QTest::newRow("no lpadmin") << some << QString() << false << u"fax"_s << 53;
    }
    void nothingStarted()
    {
        QFETCH(QStringList, printers);
        QFETCH(QString, listError);
        QFETCH(bool, hasLpadmin);
        QFETCH(QString, name);
        QFETCH(int, errorNumber);
        Rig rig;
        rig.system->printers = printers;
        rig.system->listError = listError;
        if (!hasLpadmin)
            rig.system->programs.clear();
        QSignalSpy problems(&rig.setup, &BackgroundPrinterSetup::problem);

        const MethodError error = rig.setup.checkAndWait(name, 5000);

        QCOMPARE(error.number, errorNumber);
        QCOMPARE(error.description.isEmpty(), errorNumber == 0);
        if (!listError.isEmpty())
            QVERIFY(error.description.contains(listError));
        QTest::qWait(20);
        QVERIFY(rig.box.shown().isEmpty());
        QVERIFY(rig.system->started.isEmpty());
        QCOMPARE(problems.size(), 0); // the caller has it
    }

    // How lpadmin failed, and what the user reads about it.
    void failedInstallationIsTold_data()
    {
        using End = ProgramOutcome::End;
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused") << int(End::Exited) << 1 << u"lpadmin: Forbidden"_s
                                 << u"lpadmin: Forbidden"_s;
        QTest::newRow("silent") << int(End::Exited) << 1 << QString()
                                << texts::programExitCode(u"lpadmin"_s, 1);
        QTest::newRow("not started") << int(End::NotStarted) << 0 << u"Permission denied"_s
                                     << texts::programNotStarted(u"lpadmin"_s, u"Permission denied"_s);
        QTest::newRow("too long") << int(End::TimedOut) << 9 << QString()
                                  << texts::programTimedOut(u"lpadmin"_s, 5);
        QTest::newRow("crashed") << int(End::Crashed) << 11 << QString()
                                 << texts::programCrashed(u"lpadmin"_s);
    }
    void failedInstallationIsTold()
    {
        QFETCH(int, end);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        Rig rig;
        rig.system->outcome = ProgramOutcome{ProgramOutcome::End(end), exitCode, message};

        QCOMPARE(rig.setup.checkAndWait(u"kestrel"_s, 5000).number, 0);

        QTRY_COMPARE(rig.box.shown().size(), 2);
        const MessageBoxRequest& told = rig.box.shown().at(1);
        QCOMPARE(told.text, texts::printerInstallFailed(u"kestrel"_s, reason, Command));
        QVERIFY(told.text.endsWith(u"\nsudo "_s + Command));
        QCOMPARE(told.icon, MsgIcon::Exclamation);
        QCOMPARE(told.title, texts::BoxTitle);
    }

    void boxesOncePerRunLpadminAgainWhenAsked()
    {
        // The boxes about a printer come once per run, whatever the number
        // of activations or controls; a printer still missing is installed
        // again when the host asks (VerificaStampante), not at every
        // activation.
        RunOnce once;
        Rig first(u"Windows7"_s, &once);
        Rig second(u"Windows7"_s, &once);
        first.system->outcome = ProgramOutcome{ProgramOutcome::End::Exited, 1, u"lpadmin: Forbidden"_s};
        second.system->outcome = first.system->outcome;
        QCOMPARE(first.setup.checkAndWait(u"kestrel"_s, 5000).number, 0);
        QTRY_COMPARE(first.box.shown().size(), 2);

        QCOMPARE(first.setup.checkAndWait(u"kestrel"_s, 5000).number, 0);
        QTRY_COMPARE(first.system->started.size(), 2);
        QVERIFY(first.log.contains(u"Printer install: "_s + Command));
        first.setup.check(u"kestrel"_s, 5000);
        QCOMPARE(second.setup.checkAndWait(u"kestrel"_s, 5000).number, 0);
        QTRY_COMPARE(second.system->started.size(), 1);
        QTest::qWait(50);
        QCOMPARE(first.box.shown().size(), 2);
        QCOMPARE(first.system->started.size(), 2);
        QVERIFY(second.box.shown().isEmpty());

        // Another printer is another installation, with its own box.
        QCOMPARE(second.setup.checkAndWait(u"kestrel2"_s, 5000).number, 0);
        QTRY_COMPARE(second.box.shown().size(), 2);
        QCOMPARE(second.box.shown().first().text, u"Installo la stampante kestrel2 su "_s + Debian);
    }

    void boxesWaitWhileBusy()
    {
        // A box opened inside a submission's wait would hold it up.
        Rig rig;
        rig.busy = true;
        rig.system->outcome.reset();
        rig.setup.check(u"kestrel"_s, 5000);
        QTest::qWait(3 * BackgroundPrinterSetup::BusyRetryMs);
        QVERIFY(rig.box.shown().isEmpty());
        QVERIFY(rig.system->started.isEmpty());

        rig.busy = false;
        QTRY_COMPARE(rig.system->started.size(), 1);
        QCOMPARE(rig.box.shown().size(), 1);
    }

    void osRelease_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("label");
        QTest::newRow("debian") << QByteArray("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian "
                                              "GNU/Linux\"\nVERSION_ID=\"12\"\n")
                                << Debian;
        QTest::newRow("single quotes")
            << QByteArray("PRETTY_NAME='Fedora Linux 39'\n") << u"Fedora Linux 39"_s;
        QTest::newRow("bare") << QByteArray("PRETTY_NAME=Alpine\n") << u"Alpine"_s;
        QTest::newRow("escapes") << QByteArray("PRETTY_NAME=\"A \\\"B\\\" \\$C\"\n") << u"A \"B\" $C"_s;
        QTest::newRow("name and version")
            << QByteArray("# test\nNAME=\"Arch\"\nVERSION_ID=2024\n") << u"Arch 2024"_s;
        QTest::newRow("empty pretty name") << QByteArray("PRETTY_NAME=\"\"\nNAME=Gentoo\n") << u"Gentoo"_s;
        QTest::newRow("last wins") << QByteArray("NAME=A\nNAME=B\n") << u"B"_s;
        QTest::newRow("no name") << QByteArray("ID=debian\nPRETTY_NAMES=x\n") << QString();
    }
    void osRelease()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, label);
        QCOMPARE(osReleaseLabel(text), label);
    }

    void systemLabelFallsBack()
    {
        QTemporaryDir dir;
        const auto write = [&dir](const QString& name, const QByteArray& text) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(text) == text.size());
        };
        write(u"nameless"_s, "ID=x\n");
        write(u"named"_s, "NAME=Named\nVERSION_ID=1\n");
        QVERIFY(mkfifo(QFile::encodeName(dir.filePath(u"fifo"_s)).constData(), 0600) == 0);
        const QString missing = dir.filePath(u"missing"_s);

        // A FIFO or a folder is not read, and does not block.
        QCOMPARE(systemLabel({dir.filePath(u"fifo"_s), dir.path(), missing, dir.filePath(u"nameless"_s),
                              dir.filePath(u"named"_s)}),
                 u"Named 1"_s);
        QCOMPARE(systemLabel({missing}), u"Linux"_s); // the kernel's name
        QCOMPARE(readSmallRegularFile(dir.filePath(u"named"_s), 4), QByteArray("NAME"));
        QVERIFY(!readSmallRegularFile(dir.filePath(u"fifo"_s), 4));
    }
};

QTEST_GUILESS_MAIN(TestPrinterSetup)
#include "tst_printersetup.moc"
