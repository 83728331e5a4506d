// The printer setup against a real scheduler: a private cupsd.
#include "CupsPrinterSystem.h"
#include "PrinterSetup.h"
#include "PrivateCupsd.h"
#include "ScriptedMessageBox.h"

#include "MessageBox.h"

#include <QTest>

#include <unistd.h>

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using namespace Qt::StringLiterals;

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
        // libcups reads it at its first use, which comes after this.
        qputenv("CUPS_SERVER", m_cupsd.socketPath().toLocal8Bit());
    }

    void installsOnceThenFindsIt()
    {
        if (m_skipReason)
            QSKIP(m_skipReason);
        CupsPrinterSystem system;
        ScriptedMessageBox box;
        QStringList log;
        const auto logger = [&log](const QString& line) {
            log.append(line);
        };
        PrinterSetup setup(system);

        const Expected<QStringList> none = system.installedPrinters();
        QVERIFY2(none, qPrintable(none ? QString() : none.error().message)); // no printers is not a failure
        QVERIFY(none->isEmpty());

        MethodError raised = setup.VerificaStampante(u"kestrel"_s, box, logger);
        QVERIFY2(!raised, qPrintable(raised.description));
        QCOMPARE(box.shown().size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(m_cupsd.run(u"lpstat"_s, {u"-e"_s}).split(u'\n').contains(u"kestrel"_s),
                                 30000);
        QCOMPARE(m_cupsd.run(u"lpstat"_s, {u"-v"_s, u"kestrel"_s}).trimmed(),
                 u"device for kestrel: socket://127.0.0.1:9100"_s);

        log.clear();
        raised = setup.VerificaStampante(u"kestrel"_s, box, logger);
        QVERIFY2(!raised, qPrintable(raised.description));
        QCOMPARE(box.shown().size(), 1);
        QVERIFY2(log.isEmpty(), qPrintable(log.join(u'\n')));

        // Asked by name, the scheduler ignores letter case: only the exact
        // name counts as installed, and another case still meets the clash.
        QVERIFY(system.isInstalled(u"kestrel"_s));
        QVERIFY(!system.isInstalled(u"Kestrel"_s));
        QVERIFY(!system.isInstalled(u"absent"_s));
        QCOMPARE(setup.VerificaStampante(u"Kestrel"_s, box, logger).number, printer::ErrNameTaken);
        QCOMPARE(box.shown().size(), 1);
    }

    void stoppedSchedulerIsAnError()
    {
        if (m_skipReason)
            QSKIP(m_skipReason);
        m_cupsd.stop();
        CupsPrinterSystem system;
        ScriptedMessageBox box;
        QVERIFY(!system.installedPrinters());
        QVERIFY(!system.isInstalled(u"kestrel"_s));
        const MethodError raised = PrinterSetup(system).VerificaStampante(u"kestrel"_s, box, {});
        QCOMPARE(raised.number, printer::ErrPrintSystemUnavailable);
        QVERIFY(box.shown().isEmpty());
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

        const Status started = system.startDetached(u"/nonexistent/lpadmin"_s, {});
        QVERIFY(!started);
        QVERIFY2(started.error().message.contains(u"/nonexistent/lpadmin"_s),
                 qPrintable(started.error().message));
    }

private:
    PrivateCupsd m_cupsd;
    const char* m_skipReason = nullptr;
};

QTEST_GUILESS_MAIN(TestCupsPrinter)
#include "tst_cupsprinter.moc"
