#include "PrinterSetup.h"
#include "RecordingPrinterSystem.h"
#include "ScriptedMessageBox.h"
#include "VersioneWindows.h"

#include "MessageBox.h"
#include "Ports.h"

#include <QSysInfo>
#include <QTest>

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using namespace Qt::StringLiterals;

namespace {

const QString Lpadmin = u"/usr/sbin/lpadmin"_s;

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
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("model");
        QTest::newRow("vista") << u"Vista"_s << u"Dell 3100cn PS"_s;
        QTest::newRow("seven") << u"Windows7"_s << u"Xerox Phaser 6120 PS"_s;
        QTest::newRow("eight") << u"Windows8"_s << u"MS Publisher Color Printer"_s;
        QTest::newRow("unknown") << u"Sconosciuto 51"_s << u"Apple LaserWriter 12/640 PS"_s;
        QTest::newRow("empty") << QString() << u"Apple LaserWriter 12/640 PS"_s;
    }
    void installsMissingPrinter()
    {
        QFETCH(QString, label);
        QFETCH(QString, model);
        RecordingPrinterSystem system;
        system.printers = {u"laser"_s, u"kestrel2"_s};
        OrderingBox box(system);
        QStringList log;
        PrinterSetup setup(system, [label] { return label; });

        const MethodError error =
            setup.VerificaStampante(u"kestrel"_s, box, [&log](const QString& line) { log.append(line); });

        QCOMPARE(error.number, 0);
        QCOMPARE(box.shown().size(), 1);
        QCOMPARE(box.shown().first().text, u"Installo la stampante kestrel su "_s + label);
        QCOMPARE(box.shown().first().title, QString());
        QCOMPARE(box.shown().first().icon, MsgIcon::Information);
        QCOMPARE(box.shown().first().buttons, MsgButtons::Ok);
        QCOMPARE(box.startedBeforeBox, QList<qsizetype>{0}); // the user is told first
        QCOMPARE(system.started.size(), 1);
        QCOMPARE(system.started.first().program, Lpadmin);
        const QStringList arguments{u"-p"_s,
                                    u"kestrel"_s,
                                    u"-E"_s,
                                    u"-v"_s,
                                    u"socket://127.0.0.1:9100"_s,
                                    u"-m"_s,
                                    u"drv:///sample.drv/generic.ppd"_s};
        QCOMPARE(system.started.first().arguments, arguments);
        QCOMPARE(log.filter(model).size(), 1);
        QVERIFY(log.contains(u"Printer install: /usr/sbin/lpadmin -p kestrel -E -v socket://127.0.0.1:9100 "
                             "-m drv:///sample.drv/generic.ppd"_s));
    }

    void nameGoesThroughUnchanged()
    {
        qputenv(ports::PrintCaptureVariable, "19100");
        RecordingPrinterSystem system;
        ScriptedMessageBox box;
        QStringList log;
        PrinterSetup setup(system, [] { return u"Windows7"_s; });
        const QString name = u"fax&co(1)$HOME;è"_s;

        QCOMPARE(setup.VerificaStampante(name, box, [&log](const QString& l) { log.append(l); }).number, 0);

        QCOMPARE(system.started.size(), 1);
        QCOMPARE(system.started.first().arguments.at(1), name);
        QCOMPARE(system.started.first().arguments.at(4), u"socket://127.0.0.1:19100"_s);
        QCOMPARE(log.last(), u"Printer install: /usr/sbin/lpadmin -p 'fax&co(1)$HOME;è' -E -v "
                             "socket://127.0.0.1:19100 -m drv:///sample.drv/generic.ppd"_s);
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
        RecordingPrinterSystem system;
        system.printers = printers;
        system.listError = listError;
        if (!hasLpadmin)
            system.programs.clear();
        ScriptedMessageBox box;
        PrinterSetup setup(system, [] { return u"Vista"_s; });

        const MethodError error = setup.VerificaStampante(name, box, {});

        QCOMPARE(error.number, errorNumber);
        QCOMPARE(error.description.isEmpty(), errorNumber == 0);
        if (!listError.isEmpty())
            QVERIFY(error.description.contains(listError));
        QVERIFY(box.shown().isEmpty());
        QVERIFY(system.started.isEmpty());
    }

    void failedStartIsRaised()
    {
        RecordingPrinterSystem system;
        system.startError = u"cannot start /usr/sbin/lpadmin: Permission denied"_s;
        ScriptedMessageBox box;
        PrinterSetup setup(system, [] { return u"Vista"_s; });
        const MethodError error = setup.VerificaStampante(QString(127, u'k'), box, {});
        QCOMPARE(error.number, 75);
        QCOMPARE(error.description, system.startError);
        QCOMPARE(box.shown().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPrinterSetup)
#include "tst_printersetup.moc"
