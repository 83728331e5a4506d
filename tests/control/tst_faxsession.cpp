// Job submission against the appliance simulator: the exact commands on the
// wire, the uploaded bytes, re-entrant submissions from the event handler,
// and every way a session can fail.

#include "ControlState.h"
#include "CorvanefaxControl.h"
#include "DebugOutput.h"
#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace kestrel;
using kestrel::test::SimulatorProcess;

namespace {

constexpr int WaitSeconds = 2;

struct Submitted
{
    QString job;
    QString files;
};

class Host : public IControlSite, public ICorvanefaxEvents
{
public:
    ScriptedMessageBox box;
    QList<Submitted> submitted;
    QStringList messages;
    std::function<void(const QString&)> onSubmitted;

    IMessageBox& messageBox() override { return box; }
    void propertyChanged(const QString&) override {}
    bool hostsPrintCapture() const override { return false; }
    void FaxSubmitted(QString& JobNumber, QString& SentFiles) override
    {
        submitted.append({JobNumber, SentFiles});
        if (onSubmitted)
            onSubmitted(JobNumber);
    }
    void MessageFromAppliance(QString& Msg) override { messages << Msg; }

    int reports() const { return int(submitted.size() + messages.size() + box.shown().size()); }
};

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return file.fileName();
}

} // namespace

class TestFaxSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void twoFilesTwoNumbers();
    void jobParameters_data();
    void jobParameters();
    void nextSendFaxFromTheEvent();
    void faults_data();
    void faults();
    void unreachableServer();
    void unreadableDocument();
    void largeDocumentIsStreamed();

private:
    bool startSimulator(const QStringList& args = {});
    void activate();
    bool waitForReports(int count, int ms = (WaitSeconds + 8) * 1000);

    QTemporaryDir m_dir;
    std::unique_ptr<SimulatorProcess> m_sim;
    std::unique_ptr<CorvanefaxControl> m_control;
    std::unique_ptr<Host> m_host;
};

void TestFaxSession::initTestCase()
{
    qputenv("KESTREL_WAIT_SECONDS", QByteArray::number(WaitSeconds));
    QVERIFY(m_dir.isValid());
}

void TestFaxSession::init()
{
    ControlState::current() = ControlState();
    m_host = std::make_unique<Host>();
    m_control = std::make_unique<CorvanefaxControl>();
    m_control->SetClientSite(m_host.get());
    m_control->Advise(m_host.get());
    m_control->InitProperties();
    m_control->setIndirizzoIP(u"127.0.0.1"_qs);
    m_control->setNomeUtente(u"Mario"_qs);
    m_control->setPasswordUtente(u"Segreta1"_qs);
    m_control->setDebugOn(VbTrue);
}

void TestFaxSession::cleanup()
{
    m_control.reset();
    m_sim.reset();
}

bool TestFaxSession::startSimulator(const QStringList& args)
{
    m_sim = std::make_unique<SimulatorProcess>();
    if (!m_sim->start(args))
        return false;
    m_sim->applyPortsToEnvironment();
    return true;
}

void TestFaxSession::activate()
{
    QVERIFY(!m_control->Attiva());
    QCOMPARE(ControlState::current().IsActive, VbTrue);
}

bool TestFaxSession::waitForReports(int count, int ms)
{
    return QTest::qWaitFor([this, count] { return m_host->reports() >= count; }, ms);
}

void TestFaxSession::twoFilesTwoNumbers()
{
    QVERIFY(startSimulator());
    activate();
    const QByteArray first = randomBytes(1500);
    const QByteArray second = randomBytes(300 * 1024);
    const QString a = writeFile(m_dir, u"a.ps"_qs, first);
    const QString b = writeFile(m_dir, u"b.pdf"_qs, second);
    const QString fileList = a + u","_qs + b + u","_qs;

    QCOMPARE(m_control->SendFax(fileList, u"0612345:0698765"_qs, u"Mario@Example.org"_qs).toString(),
             u"OnRun"_qs);
    QCOMPARE(m_control->EmailAdress(), u"Mario@Example.org"_qs);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->messages, QStringList());
    QCOMPARE(m_host->submitted.size(), 1);
    const QString job = m_host->submitted.at(0).job;
    QCOMPARE(m_host->submitted.at(0).files, fileList);
    QVERIFY(!job.isEmpty());

    const QByteArray j = job.toLatin1();
    QCOMPARE(m_sim->sessionBytes(), QByteArray("USER Mario\r\n"
                                               "PASS Segreta1\r\n"
                                               "jnew\r\n"
                                               "jparm fromuser mario\r\n"
                                               "type i\r\n"
                                               "jparm dialstring 0612345\r\n"
                                               "jparm dialstring 0698765\r\n"
                                               "jparm maxdials 3\r\n"
                                               "jparm notify done\r\n"
                                               "jparm vres 196\r\n"
                                               "jparm usexvres no\r\n"
                                               "jparm sendtime now\r\n"
                                               "jparm notifyaddr mario@example.org\r\n"
                                               "cwd /tmp\r\n"
                                               "PASV\r\n"
                                               "STOR /tmp/" +
                                               j +
                                               "-1.ps\r\n"
                                               "PASV\r\n"
                                               "STOR /tmp/" +
                                               j +
                                               "-2.pdf\r\n"
                                               "jparm document /tmp/" +
                                               j +
                                               "-1.ps\r\n"
                                               "jparm document /tmp/" +
                                               j +
                                               "-2.pdf\r\n"
                                               "JPARM LASTTIME 000300\r\n"
                                               "jsubm\r\n"));
    QVERIFY(m_sim->waitForJob(job, 5000));
    QCOMPARE(m_sim->jobDocument(job, job + u"-1.ps"_qs), first);
    QCOMPARE(m_sim->jobDocument(job, job + u"-2.pdf"_qs), second);

    const QString log = DebugOutput::current().text();
    QVERIFY(log.contains(u"Job Numero:"_qs + job + u"\r\n"_qs));
    QVERIFY(log.contains(u"Data Connection IP:127.0.0.1Port: "_qs));
    QCOMPARE(log.count(u"File Inviato\r\n"_qs), 2);
    QVERIFY(log.contains(u"JOB subimitted DataSocket:0\r\n"_qs));
}

void TestFaxSession::jobParameters_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("modem"); // "-" for the four-argument call
    QTest::addColumn<int>("maxDials");
    QTest::addColumn<bool>("chop");
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QStringList>("absent");
    const QString pages = u"JPARM LASTTIME 000300\r\njparm pagechop none\r\njparm chopthreshold 0\r\n"
                          "jparm pagelength 296\r\njparm tagline 0\r\njparm usetagline no\r\njsubm\r\n"_qs;
    QTest::newRow("default line, chop on")
        << u"x.ps"_qs << u"-"_qs << 3 << true << QStringList{u"JPARM LASTTIME 000300\r\njsubm\r\n"_qs}
        << QStringList{u"jparm modem"_qs, u"pagechop"_qs};
    QTest::newRow("chop off") << u"x.ps"_qs << u"any"_qs << 3 << false << QStringList{pages}
                              << QStringList{u"jparm modem"_qs};
    QTest::newRow("ANY is a line name")
        << u"x.ps"_qs << u"ANY"_qs << 3 << true
        << QStringList{u"jparm maxdials 3\r\n"_qs, u"jparm modem ANY\r\n"_qs} << QStringList();
    QTest::newRow("empty line") << u"x.ps"_qs << QString() << 3 << true << QStringList{u"jparm modem \r\n"_qs}
                                << QStringList();
    QTest::newRow("maxdials -1") << u"x.ps"_qs << u"-"_qs << -1 << true
                                 << QStringList{u"jparm maxdials -1\r\n"_qs} << QStringList();
    QTest::newRow("SCAN.PDF") << u"SCAN.PDF"_qs << u"-"_qs << 3 << true
                              << QStringList{u"-1PDF\r\n"_qs, u"jparm document /tmp/"_qs}
                              << QStringList{u".PDF"_qs};
    QTest::newRow(".tiff") << u"fax.tiff"_qs << u"-"_qs << 3 << true << QStringList{u"-1.tif\r\n"_qs}
                           << QStringList{u".tiff"_qs};
}

void TestFaxSession::jobParameters()
{
    QFETCH(QString, fileName);
    QFETCH(QString, modem);
    QFETCH(int, maxDials);
    QFETCH(bool, chop);
    QFETCH(QStringList, present);
    QFETCH(QStringList, absent);
    QVERIFY(startSimulator());
    m_control->setChopOn(chop ? VbTrue : VbFalse);
    activate();
    const QString path = writeFile(m_dir, fileName, "%!PS\n%%EOF\n");
    const QVariant result = modem == QLatin1String("-")
                                ? m_control->SendFax(path, u"0612345"_qs, u"a@b"_qs, qint16(maxDials))
                                : m_control->SendFax(path, u"0612345"_qs, u"a@b"_qs, qint16(maxDials), modem);
    QCOMPARE(result.toString(), u"OnRun"_qs);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->messages, QStringList());
    QCOMPARE(m_host->submitted.size(), 1);
    const QString wire = QString::fromLatin1(m_sim->sessionBytes());
    for (const QString& text : present)
        QVERIFY2(wire.contains(text), qPrintable(text + u" not in:\n"_qs + wire));
    for (const QString& text : absent)
        QVERIFY2(!wire.contains(text), qPrintable(text + u" in:\n"_qs + wire));
}

void TestFaxSession::nextSendFaxFromTheEvent()
{
    QVERIFY(startSimulator());
    activate();
    const QString path = writeFile(m_dir, u"doc.ps"_qs, randomBytes(70000));
    QStringList numbers{u"111"_qs, u"222"_qs, u"333"_qs};
    m_host->onSubmitted = [this, &numbers, path](const QString&) {
        numbers.removeFirst();
        if (numbers.isEmpty())
            return;
        // What the send window does for the next destination.
        QVERIFY(!m_control->Termina());
        QVERIFY(!m_control->Attiva());
        QCOMPARE(m_control->SendFax(path + u","_qs, numbers.first(), u"a@b"_qs).toString(), u"OnRun"_qs);
    };
    QCOMPARE(m_control->SendFax(path + u","_qs, numbers.first(), u"a@b"_qs).toString(), u"OnRun"_qs);
    QVERIFY(QTest::qWaitFor([this] { return m_host->reports() >= 3; }, 20000));
    QCOMPARE(m_host->messages, QStringList());
    QCOMPARE(m_host->submitted.size(), 3);
    QStringList jobs;
    for (const Submitted& s : std::as_const(m_host->submitted))
        jobs << s.job;
    jobs.removeDuplicates();
    QCOMPARE(jobs.size(), 3);
    const QStringList numbersSent{u"111"_qs, u"222"_qs, u"333"_qs};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(m_sim->waitForJob(jobs.at(i), 5000));
        const QStringList dial = m_sim->jobParameters(jobs.at(i)).value(u"dialstring"_qs);
        QCOMPARE(dial, QStringList(numbersSent.at(i)));
    }
}

void TestFaxSession::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("outcome"); // "job", a message, or "box:" + box text
    QTest::newRow("warnings before greeting") << u"greet-after-130"_qs << u"job"_qs;
    QTest::newRow("multi-line greeting") << u"multiline-greeting"_qs << u"job"_qs;
    QTest::newRow("replies merged") << u"merge-replies"_qs << u"job"_qs;
    QTest::newRow("replies byte by byte") << u"byte-by-byte"_qs << u"job"_qs;
    QTest::newRow("login refused") << u"refuse-login"_qs << u"box:Nome utente o password errati"_qs;
    QTest::newRow("no greeting") << u"no-greeting"_qs
                                 << u"Il server fax 127.0.0.1 non risponde: fax non inviato"_qs;
    QTest::newRow("dropped during upload") << u"drop-upload"_qs << u"fax non inviato"_qs;
    QTest::newRow("STOR refused") << u"refuse-stor"_qs << u"Il server fax ha rifiutato il fax (550"_qs;
    QTest::newRow("jsubm refused") << u"refuse-jsubm"_qs << u"Il server fax ha rifiutato il fax (460"_qs;
    QTest::newRow("transfer never opened")
        << u"no-150"_qs << u"Trasferimento del documento al server fax non riuscito"_qs;
}

void TestFaxSession::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, outcome);
    QVERIFY(startSimulator({u"--fault"_qs, fault}));
    activate();
    const QString path = writeFile(m_dir, u"f.ps"_qs, randomBytes(200 * 1024));

    QElapsedTimer clock;
    clock.start();
    m_control->SendFax(path, u"0612345"_qs, u"a@b"_qs);
    QVERIFY(waitForReports(1));
    // Every failure is reported within the time limit of the wait it hit.
    QVERIFY(clock.elapsed() < (WaitSeconds + 3) * 1000);
    QTest::qWait(200);
    QCOMPARE(m_host->reports(), 1);

    if (outcome == QLatin1String("job")) {
        QCOMPARE(m_host->messages, QStringList());
        QCOMPARE(m_host->submitted.size(), 1);
        QVERIFY(m_sim->waitForJob(m_host->submitted.at(0).job, 5000));
        return;
    }
    QCOMPARE(m_host->submitted.size(), 0);
    if (outcome.startsWith(QLatin1String("box:"))) {
        QCOMPARE(m_host->messages, QStringList());
        QCOMPARE(m_host->box.shown().size(), 1);
        QCOMPARE(m_host->box.shown().at(0).text, outcome.mid(4));
        QCOMPARE(m_host->box.shown().at(0).icon, MsgIcon::Critical);
    } else {
        QCOMPARE(m_host->messages.size(), 1);
        QVERIFY2(m_host->messages.at(0).contains(outcome), qPrintable(m_host->messages.at(0)));
        QVERIFY(DebugOutput::current().text().contains(u"Fax non inviato: "_qs));
    }
    QCOMPARE(m_control->session().sCmd().state(), int(SocketComponent::Closed));
    QCOMPARE(m_control->session().data().state(), int(SocketComponent::Closed));
    QVERIFY(m_sim->jobIds().isEmpty());

    // The control is still usable: a later SendFax starts afresh.
    QCOMPARE(m_control->SendFax(path, u"0612345"_qs, u"a@b"_qs).isValid(),
             fault != QLatin1String("no-greeting"));
}

void TestFaxSession::unreachableServer()
{
    QVERIFY(startSimulator());
    activate();
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    qputenv("KESTREL_FAX_PORT", QByteArray::number(probe.serverPort()));
    probe.close();
    const QString path = writeFile(m_dir, u"u.ps"_qs, "x");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_control->SendFax(path, u"1"_qs, u"a@b"_qs).isValid());
    QVERIFY(clock.elapsed() < 1500);
    QCOMPARE(m_host->messages,
             QStringList{u"Impossibile collegarsi al server fax 127.0.0.1: fax non inviato"_qs});
}

void TestFaxSession::unreadableDocument()
{
    QVERIFY(startSimulator());
    activate();
    const QString good = writeFile(m_dir, u"good.ps"_qs, "x");
    const QString missing = m_dir.filePath(u"missing.ps"_qs);
    m_control->SendFax(good + u","_qs + missing, u"1"_qs, u"a@b"_qs);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->submitted.size(), 0);
    QCOMPARE(m_host->messages,
             QStringList{u"Impossibile leggere il documento "_qs + missing + u": fax non inviato"_qs});
    QVERIFY(DebugOutput::current().text().contains(u"UploadFile ERRORE: 53File not found"_qs));
    QVERIFY(!m_sim->sessionBytes().contains("jsubm"));
}

void TestFaxSession::largeDocumentIsStreamed()
{
    QVERIFY(startSimulator());
    activate();
    const QByteArray content = randomBytes(24 * 1024 * 1024);
    const QString path = writeFile(m_dir, u"big.ps"_qs, content);
    m_control->SendFax(path, u"1"_qs, u"a@b"_qs);
    QVERIFY(waitForReports(1, 60000));
    QCOMPARE(m_host->messages, QStringList());
    const QString job = m_host->submitted.value(0).job;
    QVERIFY(m_sim->waitForJob(job, 5000));
    QVERIFY(m_sim->jobDocument(job, job + u"-1.ps"_qs) == content);
}

QTEST_MAIN(TestFaxSession)
#include "tst_faxsession.moc"
