// The printer setup against a real scheduler (a private cupsd) and real
// programs.
#include "BackgroundPrinterSetup.h"
#include "ControlTexts.h"
#include "CupsPrinterSystem.h"
#include "PrivateCupsd.h"
#include "ScriptedMessageBox.h"
#include "SystemLabel.h"

#include "MessageBox.h"

#include <QTest>

#include <unistd.h>

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using namespace Qt::StringLiterals;

namespace {

// The control's printer step over the print system of CUPS_SERVER.
struct Rig
{
    Rig()
        : setup(std::make_shared<CupsPrinterSystem>(),
                {.messageBox = [this]() -> IMessageBox& { return box; },
                 .busy = {},
                 .log =
                     [this](const QString& line) {
                         log.append(line);
                     }},
                {}, {}, once)
    {}
    ScriptedMessageBox box;
    QStringList log;
    RunOnce once;
    BackgroundPrinterSetup setup;
};

} // namespace

class TestCupsPrinter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (geteuid() != 0) {
            if (qEnvironmentVariableIsSet("CI"))
                QFAIL("CI runs as root; the scheduler tests must not be skipped there");
            m_skipReason = "adding a print queue needs root (lpadmin); run the tests as root";
            return;
        }
        QString why;
        QVERIFY2(m_cupsd.start(&why), qPrintable(why));
        // libcups reads it on each worker thread's first question, and
        // lpadmin inherits it.
        qputenv("CUPS_SERVER", m_cupsd.socketPath().toLocal8Bit());
    }

    void installsOnceThenFindsIt()
    {
        if (m_skipReason)
            QSKIP(m_skipReason);
        CupsPrinterSystem system;
        Rig rig;

        const Expected<QStringList> none = system.installedPrinters();
        QVERIFY2(none, qPrintable(none ? QString() : none.error().message)); // no printers is not a failure
        QVERIFY(none->isEmpty());

        MethodError raised = rig.setup.checkAndWait(u"kestrel"_s, 30000);
        QVERIFY2(raised.succeeded(), qPrintable(raised.description));
        QCOMPARE(rig.box.texts(), QStringList{texts::installingPrinter(u"kestrel"_s, systemLabel())});
        QVERIFY(!rig.box.texts().first().contains(u"Windows"_s));
        QTRY_VERIFY_WITH_TIMEOUT(m_cupsd.run(u"lpstat"_s, {u"-e"_s}).split(u'\n').contains(u"kestrel"_s),
                                 30000);
        QCOMPARE(m_cupsd.run(u"lpstat"_s, {u"-v"_s, u"kestrel"_s}).trimmed(),
                 u"device for kestrel: socket://127.0.0.1:9100"_s);

        rig.log.clear();
        raised = rig.setup.checkAndWait(u"kestrel"_s, 30000);
        QVERIFY2(raised.succeeded(), qPrintable(raised.description));
        QTest::qWait(200); // lpadmin's deprecation warning is no failure
        QCOMPARE(rig.box.shown().size(), 1);
        QVERIFY2(rig.log.filter(u"missing"_s).isEmpty(), qPrintable(rig.log.join(u'\n')));

        // Asked by name, the scheduler ignores letter case: only the exact
        // name counts as installed, and another case still meets the clash.
        QVERIFY(system.isInstalled(u"kestrel"_s));
        QVERIFY(!system.isInstalled(u"Kestrel"_s));
        QVERIFY(!system.isInstalled(u"absent"_s));
        QCOMPARE(rig.setup.checkAndWait(u"Kestrel"_s, 30000).number, printer::ErrNameTaken);
        QCOMPARE(rig.box.shown().size(), 1);
    }

    void refusedInstallationIsTold()
    {
        if (m_skipReason)
            QSKIP(m_skipReason);
        PrivateCupsd refusing; // as the desktop's cupsd refuses an ordinary user
        refusing.refuseAdministration();
        QString why;
        QVERIFY2(refusing.start(&why), qPrintable(why));
        qputenv("CUPS_SERVER", refusing.socketPath().toLocal8Bit());
        Rig rig;
        const MethodError raised = rig.setup.checkAndWait(u"kestrel"_s, 30000);
        qputenv("CUPS_SERVER", m_cupsd.socketPath().toLocal8Bit()); // lpadmin has it already

        QVERIFY2(raised.succeeded(), qPrintable(raised.description));
        QTRY_COMPARE_WITH_TIMEOUT(rig.box.shown().size(), 2, 30000);
        const QString command =
            u"/usr/sbin/lpadmin -p kestrel -E -v socket://127.0.0.1:9100 -m drv:///sample.drv/generic.ppd -o "
            u"pdftops-renderer-default=pdftocairo"_s;
        QCOMPARE(rig.box.texts().at(1),
                 texts::printerInstallFailed(u"kestrel"_s, u"lpadmin: Forbidden"_s, command));
    }

    void stoppedSchedulerIsAnError()
    {
        if (m_skipReason)
            QSKIP(m_skipReason);
        m_cupsd.stop();
        CupsPrinterSystem system;
        Rig rig;
        QVERIFY(!system.installedPrinters());
        QVERIFY(!system.isInstalled(u"kestrel"_s));
        QCOMPARE(rig.setup.checkAndWait(u"kestrel"_s, 30000).number, printer::ErrPrintSystemUnavailable);
        QVERIFY(rig.box.shown().isEmpty());
    }

    void adminProgramOutsidePath()
    {
        // An ordinary user's PATH has no sbin, where lpadmin lives.
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/usr/bin:/bin");
        CupsPrinterSystem system;
        const QString found = system.findProgram(u"lpadmin"_s);
        qputenv("PATH", path);
        QCOMPARE(found, u"/usr/sbin/lpadmin"_s);
    }

private:
    PrivateCupsd m_cupsd;
    const char* m_skipReason = nullptr;
};

QTEST_GUILESS_MAIN(TestCupsPrinter)
#include "tst_cupsprinter.moc"
