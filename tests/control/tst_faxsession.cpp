// Job submission against the appliance simulator: the exact commands on the
// wire, the uploaded bytes, re-entrant submissions from the event handler,
// and every way a session can fail.

#include "ControlState.h"
#include "ControlTexts.h"
#include "CorvanefaxControl.h"
#include "DebugOutput.h"
#include "ScriptedMessageBox.h"
#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
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
    std::function<void(const QString&)> onMessage;

    IMessageBox& messageBox() override { return box; }
    void propertyChanged(const QString&) override {}
    bool hostsPrintCapture() const override { return false; }
    int waitLimitMs() const override { return WaitSeconds * 1000; }
    void FaxSubmitted(QString& JobNumber, QString& SentFiles) override
    {
        submitted.append({JobNumber, SentFiles});
        if (onSubmitted)
            onSubmitted(JobNumber);
    }
    void MessageFromAppliance(QString& Msg) override
    {
        messages << Msg;
        if (onMessage)
            onMessage(Msg);
    }

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
    void sendFaxWhileWaitingForGreeting_data();
    void sendFaxWhileWaitingForGreeting();
    void anyFileName_data();
    void anyFileName();
    void emptyDocument();
    void unreadableDocument();
    void largeDocumentIsStreamed_data();
    void largeDocumentIsStreamed();
    void serverClosesWhileTheHostHandlesTheJob();
    void unansweredJsubm_data();
    void unansweredJsubm();
    void cutInsideBatch_data();
    void cutInsideBatch();
    void incompleteUpload_data();
    void incompleteUpload();
    void hostDestroysTheControl_data();
    void hostDestroysTheControl();
    void compressedUploadStopped_data();
    void compressedUploadStopped();

private:
    void makeControl();
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
    QVERIFY(m_dir.isValid());
}

void TestFaxSession::init()
{
    ControlState::current() = ControlState();
    m_host = std::make_unique<Host>();
    makeControl();
}

void TestFaxSession::makeControl()
{
    m_control = std::make_unique<CorvanefaxControl>();
    m_control->SetClientSite(m_host.get());
    m_control->Advise(m_host.get());
    m_control->InitProperties();
    m_control->setIndirizzoIP(u"127.0.0.1"_s);
    m_control->setNomeUtente(u"Mario"_s);
    m_control->setPasswordUtente(u"Segreta1"_s);
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
    // One session, one upload of each file, one job per number: every job
    // names the uploads of the first. Random bytes do not compress: they go
    // as they are, with no compressed mode asked for.
    QVERIFY(startSimulator());
    activate();
    const QByteArray first = randomBytes(1500);
    const QByteArray second = randomBytes(300 * 1024);
    const QString a = writeFile(m_dir, u"a.ps"_s, first);
    const QString b = writeFile(m_dir, u"b.pdf"_s, second);
    const QString fileList = a + u","_s + b + u","_s;

    QCOMPARE(m_control->SendFax(fileList, u"0612345:0698765"_s, u"Mario@Example.org"_s).toString(),
             u"OnRun"_s);
    QCOMPARE(m_control->EmailAdress(), u"Mario@Example.org"_s);
    QVERIFY(waitForReports(2));
    QCOMPARE(m_host->messages, QStringList());
    QCOMPARE(m_host->submitted.size(), 2);
    const QString job = m_host->submitted.at(0).job;
    const QString job2 = m_host->submitted.at(1).job;
    QCOMPARE(m_host->submitted.at(0).files, fileList);
    QCOMPARE(m_host->submitted.at(1).files, fileList);
    QVERIFY(!job.isEmpty());
    QVERIFY(job2 != job);

    const QByteArray j = job.toLatin1();
    const QByteArray documents = "jparm document /tmp/" + j + "-1.ps\r\n" + "jparm document /tmp/" + j +
                                 "-2.pdf\r\n" + "JPARM LASTTIME 000300\r\n" + "jsubm\r\n";
    const QByteArray parameters = "jparm fromuser mario\r\n"
                                  "type i\r\n"
                                  "jparm dialstring %1\r\n"
                                  "jparm external %1\r\n"
                                  "jparm maxdials 3\r\n"
                                  "jparm notify done\r\n"
                                  "jparm vres 196\r\n"
                                  "jparm usexvres no\r\n"
                                  "jparm sendtime now\r\n"
                                  "jparm notifyaddr mario@example.org\r\n";
    QCOMPARE(m_sim->sessionCount(), 1);
    QCOMPARE(m_sim->sessionBytes(), QByteArray("USER Mario\r\nPASS Segreta1\r\njnew\r\n") +
                                        QByteArray(parameters).replace("%1", "0612345") +
                                        "cwd /tmp\r\nPASV\r\nSTOR /tmp/" + j + "-1.ps\r\nSIZE /tmp/" + j +
                                        "-1.ps\r\nPASV\r\nSTOR /tmp/" + j + "-2.pdf\r\nSIZE /tmp/" + j +
                                        "-2.pdf\r\n" + documents + "cwd /\r\njnew\r\n" +
                                        QByteArray(parameters).replace("%1", "0698765") + documents);
    for (const QString& id : {job, job2}) {
        QVERIFY(m_sim->waitForJob(id, 5000));
        QCOMPARE(m_sim->jobDocument(id, job + u"-1.ps"_s), first);
        QCOMPARE(m_sim->jobDocument(id, job + u"-2.pdf"_s), second);
    }
    QCOMPARE(m_sim->jobParameters(job2).value(u"dialstring"_s), QStringList{u"0698765"_s});
    // Each job names its own number, though the server copies the first
    // job's into the second.
    QCOMPARE(m_sim->jobParameters(job2).value(u"external"_s), QStringList{u"0698765"_s});

    const QString log = DebugOutput::current().text();
    QVERIFY(log.contains(u"Job Numero:"_s + job + u"\r\n"_s));
    QVERIFY(log.contains(u"Data Connection IP:127.0.0.1Port: "_s));
    QCOMPARE(log.count(u"File Inviato\r\n"_s), 2);
    QVERIFY(log.contains(u"JOB subimitted DataSocket:0\r\n"_s));
    // The session ends after its last job.
    QCOMPARE(m_control->session().sCmd().state(), int(SocketComponent::Closed));
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
                          "jparm pagelength 296\r\njparm tagline 0\r\njparm usetagline no\r\njsubm\r\n"_s;
    QTest::newRow("default line, chop on")
        << u"x.ps"_s << u"-"_s << 3 << true << QStringList{u"JPARM LASTTIME 000300\r\njsubm\r\n"_s}
        << QStringList{u"jparm modem"_s, u"pagechop"_s};
    QTest::newRow("chop off") << u"x.ps"_s << u"any"_s << 3 << false << QStringList{pages}
                              << QStringList{u"jparm modem"_s};
    QTest::newRow("ANY is a line name")
        << u"x.ps"_s << u"ANY"_s << 3 << true
        << QStringList{u"jparm maxdials 3\r\n"_s, u"jparm modem ANY\r\n"_s} << QStringList();
    QTest::newRow("empty line") << u"x.ps"_s << QString() << 3 << true << QStringList{u"jparm modem \r\n"_s}
                                << QStringList();
    QTest::newRow("maxdials -1") << u"x.ps"_s << u"-"_s << -1 << true
                                 << QStringList{u"jparm maxdials -1\r\n"_s} << QStringList();
    QTest::newRow("SCAN.PDF") << u"SCAN.PDF"_s << u"-"_s << 3 << true
                              << QStringList{u"-1PDF\r\n"_s, u"jparm document /tmp/"_s}
                              << QStringList{u".PDF"_s};
    QTest::newRow(".tiff") << u"fax.tiff"_s << u"-"_s << 3 << true << QStringList{u"-1.tif\r\n"_s}
                           << QStringList{u".tiff"_s};
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
    const QVariant result = modem == "-"_L1
                                ? m_control->SendFax(path, u"0612345"_s, u"a@b"_s, qint16(maxDials))
                                : m_control->SendFax(path, u"0612345"_s, u"a@b"_s, qint16(maxDials), modem);
    QCOMPARE(result.toString(), u"OnRun"_s);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->messages, QStringList());
    QCOMPARE(m_host->submitted.size(), 1);
    const QString wire = QString::fromLatin1(m_sim->sessionBytes());
    for (const QString& text : present)
        QVERIFY2(wire.contains(text), qPrintable(text + u" not in:\n"_s + wire));
    for (const QString& text : absent)
        QVERIFY2(!wire.contains(text), qPrintable(text + u" in:\n"_s + wire));
}

void TestFaxSession::nextSendFaxFromTheEvent()
{
    QVERIFY(startSimulator());
    activate();
    const QString path = writeFile(m_dir, u"doc.ps"_s, randomBytes(70000));
    QStringList numbers{u"111"_s, u"222"_s, u"333"_s};
    m_host->onSubmitted = [this, &numbers, path](const QString&) {
        numbers.removeFirst();
        if (numbers.isEmpty())
            return;
        // What the send window does for the next destination.
        QVERIFY(!m_control->Termina());
        QVERIFY(!m_control->Attiva());
        QCOMPARE(m_control->SendFax(path + u","_s, numbers.first(), u"a@b"_s).toString(), u"OnRun"_s);
    };
    QCOMPARE(m_control->SendFax(path + u","_s, numbers.first(), u"a@b"_s).toString(), u"OnRun"_s);
    QVERIFY(QTest::qWaitFor([this] { return m_host->reports() >= 3; }, 20000));
    QCOMPARE(m_host->messages, QStringList());
    QCOMPARE(m_host->submitted.size(), 3);
    QStringList jobs;
    for (const Submitted& s : std::as_const(m_host->submitted))
        jobs << s.job;
    jobs.removeDuplicates();
    QCOMPARE(jobs.size(), 3);
    const QStringList numbersSent{u"111"_s, u"222"_s, u"333"_s};
    for (int i = 0; i < 3; ++i) {
        QVERIFY(m_sim->waitForJob(jobs.at(i), 5000));
        const QStringList dial = m_sim->jobParameters(jobs.at(i)).value(u"dialstring"_s);
        QCOMPARE(dial, QStringList(numbersSent.at(i)));
    }
}

void TestFaxSession::faults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("outcome"); // "job", a message, or "box:" + box text
    QTest::newRow("warnings before greeting") << u"greet-after-130"_s << u"job"_s;
    QTest::newRow("multi-line greeting") << u"multiline-greeting"_s << u"job"_s;
    QTest::newRow("replies merged") << u"merge-replies"_s << u"job"_s;
    QTest::newRow("replies byte by byte") << u"byte-by-byte"_s << u"job"_s;
    QTest::newRow("login refused") << u"refuse-login"_s << u"box:Nome utente o password errati"_s;
    QTest::newRow("no greeting") << u"no-greeting"_s
                                 << u"Il server fax 127.0.0.1 non risponde: fax non inviato"_s;
    QTest::newRow("dropped during upload") << u"drop-upload"_s << u"fax non inviato"_s;
    QTest::newRow("STOR refused") << u"refuse-stor"_s << u"Il server fax ha rifiutato il fax (550"_s;
    QTest::newRow("jsubm refused") << u"refuse-jsubm"_s << u"Il server fax ha rifiutato il fax (460"_s;
    QTest::newRow("transfer never opened")
        << u"no-150"_s << u"Trasferimento del documento al server fax non riuscito"_s;
    // The server took what came before the cut and would take a jsubm too.
    QTest::newRow("data connection cut")
        << u"cut-data"_s << u"Trasferimento del documento al server fax non riuscito"_s;
    QTest::newRow("passive replies nobody asked for")
        << u"unasked-227"_s << u"Il server fax ha dato una risposta inattesa (227"_s;
    QTest::newRow("greeting without end") << u"endless-greeting"_s << u"risposta troppo lunga"_s;
    // Documents go to the server the session talks to, whatever the reply says.
    QTest::newRow("passive reply names another host") << u"pasv-elsewhere"_s << u"job"_s;
    // The answer to jsubm never came: the server is asked about the job,
    // which it queued in the first two cases and never had in the third.
    QTest::newRow("connection cut after jsubm") << u"cut-after-jsubm"_s << u"job"_s;
    QTest::newRow("jsubm never answered") << u"silent-after-jsubm"_s << u"job"_s;
    QTest::newRow("jsubm lost with the connection")
        << u"lose-jsubm"_s << u"non ha messo in coda il fax n. "_s;
}

void TestFaxSession::faults()
{
    QFETCH(QString, fault);
    QFETCH(QString, outcome);
    QVERIFY(startSimulator({u"--fault"_s, fault}));
    activate();
    const QString path = writeFile(m_dir, u"f.ps"_s, randomBytes(200 * 1024));

    QElapsedTimer clock;
    clock.start();
    m_control->SendFax(path, u"0612345"_s, u"a@b"_s);
    QVERIFY(waitForReports(1));
    // Every failure is reported within the time limit of the wait it hit.
    QVERIFY(clock.elapsed() < (WaitSeconds + 3) * 1000);
    QTest::qWait(200);
    QCOMPARE(m_host->reports(), 1);

    if (outcome == "job"_L1) {
        QCOMPARE(m_host->messages, QStringList());
        QCOMPARE(m_host->submitted.size(), 1);
        QVERIFY(m_sim->waitForJob(m_host->submitted.at(0).job, 5000));
        return;
    }
    QCOMPARE(m_host->submitted.size(), 0);
    if (outcome == "unknown"_L1) {
        // Never "not sent": it may have gone.
        QCOMPARE(m_host->messages.size(), 1);
        QVERIFY2(!outcomeUnknownJob(m_host->messages.at(0)).isEmpty(), qPrintable(m_host->messages.at(0)));
        QVERIFY(!m_host->messages.at(0).contains(FaxNotSent));
    } else if (outcome.startsWith("box:"_L1)) {
        QCOMPARE(m_host->messages, QStringList());
        QCOMPARE(m_host->box.shown().size(), 1);
        QCOMPARE(m_host->box.shown().at(0).text, outcome.mid(4));
        QCOMPARE(m_host->box.shown().at(0).icon, MsgIcon::Critical);
    } else {
        QCOMPARE(m_host->messages.size(), 1);
        QVERIFY2(m_host->messages.at(0).contains(outcome), qPrintable(m_host->messages.at(0)));
        QVERIFY(DebugOutput::current().text().contains(u"Fax non inviato: "_s));
    }
    QCOMPARE(m_control->session().sCmd().state(), int(SocketComponent::Closed));
    QCOMPARE(m_control->session().data().state(), int(SocketComponent::Closed));
    QVERIFY(m_sim->jobIds().isEmpty());
    if (fault != "refuse-jsubm"_L1 &&
        fault != "lose-jsubm"_L1) // no submission without every transfer confirmed
        QVERIFY(!m_sim->sessionBytes().contains("jsubm"));

    // The control is still usable: a later SendFax starts afresh.
    const bool silent = fault == "no-greeting"_L1 || fault == "endless-greeting"_L1;
    QCOMPARE(m_control->SendFax(path, u"0612345"_s, u"a@b"_s).isValid(), !silent);
}

void TestFaxSession::unreachableServer()
{
    QVERIFY(startSimulator());
    activate();
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    qputenv("KESTREL_FAX_PORT", QByteArray::number(probe.serverPort()));
    probe.close();
    const QString path = writeFile(m_dir, u"u.ps"_s, "x");
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!m_control->SendFax(path, u"1"_s, u"a@b"_s).isValid());
    QVERIFY(clock.elapsed() < 1500);
    QCOMPARE(m_host->messages,
             QStringList{u"Impossibile collegarsi al server fax 127.0.0.1: fax non inviato"_s});
}

void TestFaxSession::sendFaxWhileWaitingForGreeting_data()
{
    QTest::addColumn<bool>("fromFailure");
    QTest::newRow("from a timer") << false;
    QTest::newRow("from the handler of a refused connection") << true;
}

void TestFaxSession::sendFaxWhileWaitingForGreeting()
{
    // A second SendFax made while the first waits for its greeting replaces
    // it; the first wait must not take the second session's greeting.
    QFETCH(bool, fromFailure);
    QVERIFY(startSimulator({u"--fault"_s, u"slow-greeting"_s}));
    activate();
    const QString path = writeFile(m_dir, u"r.ps"_s, randomBytes(5000));
    QVariant second;
    const auto sendSecond = [&] {
        m_sim->applyPortsToEnvironment();
        second = m_control->SendFax(path, u"222"_s, u"a@b"_s);
    };
    if (fromFailure) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        qputenv("KESTREL_FAX_PORT", QByteArray::number(probe.serverPort()));
        probe.close();
        m_host->onMessage = [&](const QString&) {
            m_host->onMessage = nullptr;
            sendSecond();
        };
    } else {
        QTimer::singleShot(100, sendSecond);
    }
    const QVariant first = m_control->SendFax(path, u"111"_s, u"a@b"_s);
    QVERIFY(!first.isValid());
    QCOMPARE(second.toString(), u"OnRun"_s);
    QVERIFY(QTest::qWaitFor([this] { return !m_host->submitted.isEmpty(); }, 10000));
    QTest::qWait(200);
    QCOMPARE(m_host->submitted.size(), 1);
    QCOMPARE(m_host->messages.size(), fromFailure ? 1 : 0);
    const QString job = m_host->submitted.at(0).job;
    QVERIFY(m_sim->waitForJob(job));
    QCOMPARE(m_sim->jobParameters(job).value(u"dialstring"_s), QStringList{u"222"_s});
    QCOMPARE(m_sim->sessionBytes().count("USER "), 1);
}

void TestFaxSession::anyFileName_data()
{
    // Every file that exists goes; the server gets a name it takes, and no
    // byte of the local name reaches the command line as a command.
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("suffix");
    QTest::newRow("two characters") << u"ab"_s << u"ab"_s;
    QTest::newRow("accented") << u"café"_s << u"af"_s;
    QTest::newRow("trailing blank") << u"doc x "_s << u"x"_s;
    QTest::newRow("line break and a command") << u"a\r\nDELE z"_s << u"Ez"_s;
    QTest::newRow("upper-case PDF") << u"SCAN.PDF"_s << u"PDF"_s;
}

void TestFaxSession::anyFileName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, suffix);
    QVERIFY(startSimulator());
    activate();
    const QByteArray content = randomBytes(2000);
    const QString path = writeFile(m_dir, fileName, content);
    QCOMPARE(m_control->SendFax(path, u"1"_s, u"a@b"_s).toString(), u"OnRun"_s);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->messages, QStringList());
    const QString job = m_host->submitted.value(0).job;
    QVERIFY(m_sim->waitForJob(job));
    const QString remote = job + u"-1"_s + suffix;
    QCOMPARE(m_sim->jobDocument(job, remote), content);
    const QByteArray wire = m_sim->sessionBytes();
    QVERIFY(wire.contains(QByteArray("STOR /tmp/" + remote.toLatin1() + "\r\n")));
    QVERIFY(!wire.contains("\r\nDELE"));
}

void TestFaxSession::emptyDocument()
{
    QVERIFY(startSimulator());
    activate();
    const QString good = writeFile(m_dir, u"good.ps"_s, "%!PS\n");
    const QString empty = writeFile(m_dir, u"empty.ps"_s, QByteArray());
    QVERIFY(!m_control->SendFax(good + u","_s + empty, u"1"_s, u"a@b"_s).isValid());
    QCOMPARE(m_host->messages, QStringList{u"Il documento "_s + empty + u" è vuoto: fax non inviato"_s});
    QCOMPARE(m_sim->sessionCount(), 0); // nothing was sent
}

void TestFaxSession::unreadableDocument()
{
    QVERIFY(startSimulator());
    activate();
    const QString good = writeFile(m_dir, u"good.ps"_s, "x");
    const QString missing = m_dir.filePath(u"missing.ps"_s);
    m_control->SendFax(good + u","_s + missing, u"1"_s, u"a@b"_s);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->submitted.size(), 0);
    QCOMPARE(m_host->messages,
             QStringList{u"Impossibile leggere il documento "_s + missing + u": fax non inviato"_s});
    QVERIFY(DebugOutput::current().text().contains(u"UploadFile ERRORE: 53File not found"_s));
    QCOMPARE(m_sim->sessionCount(), 0); // refused before anything was sent
}

void TestFaxSession::largeDocumentIsStreamed_data()
{
    // Random bytes go as they are; their base64 text shrinks to about 3/4,
    // so it goes compressed, deflated piece by piece as it is read.
    QTest::addColumn<bool>("compressible");
    QTest::newRow("does not compress") << false;
    QTest::newRow("compresses") << true;
}

void TestFaxSession::largeDocumentIsStreamed()
{
    QFETCH(bool, compressible);
    QVERIFY(startSimulator());
    activate();
    const QByteArray random = randomBytes(18 * 1024 * 1024);
    const QByteArray content = compressible ? random.toBase64() : random;
    const QString path = writeFile(m_dir, u"big.ps"_s, content);
    m_control->SendFax(path, u"1"_s, u"a@b"_s);
    QVERIFY(waitForReports(1, 60000));
    QCOMPARE(m_host->messages, QStringList());
    const QString job = m_host->submitted.value(0).job;
    QVERIFY(m_sim->waitForJob(job, 5000));
    QVERIFY(m_sim->jobDocument(job, job + u"-1.ps"_s) == content);
    QCOMPARE(m_sim->sessionBytes(0).contains("MODE Z"), compressible);
}

void TestFaxSession::serverClosesWhileTheHostHandlesTheJob()
{
    // The host's handler runs an event loop of its own (a summary box) while
    // the server hangs up: the job went, and nothing says otherwise.
    QVERIFY(startSimulator({u"--fault"_s, u"close-after-jsubm"_s}));
    activate();
    const QString path = writeFile(m_dir, u"c.ps"_s, randomBytes(5000));
    m_host->onSubmitted = [](const QString&) {
        QTest::qWait(300);
    };
    m_control->SendFax(path, u"0612345"_s, u"a@b"_s);
    QVERIFY(waitForReports(1));
    QTest::qWait(300);
    QCOMPARE(m_host->submitted.size(), 1);
    QCOMPARE(m_host->messages, QStringList());
}

void TestFaxSession::unansweredJsubm_data()
{
    // A group session whose "jsubm" got no answer: only a job the server
    // queued counts as sent, and only one it no longer has did not go. One
    // still made and not submitted may yet be, by a "jsubm" held up on the
    // way while the server keeps its session open: its outcome is open, as
    // when the check got no answer; the numbers after it did not go.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("numbers");
    QTest::addColumn<bool>("stopServerAtJsubm");
    QTest::addColumn<int>("submitted");
    QTest::addColumn<QStringList>("messages"); // with "%1": the job after the submitted ones
    QTest::newRow("never answered, a number left: the time-out told")
        << u"silent-after-jsubm"_s << u"0611:0622"_s << false << 1 << QStringList{texts::replyTimeout()};
    QTest::newRow("the second of three dropped, its session open on the server: may yet go")
        << u"drop-later-jsubm"_s << u"0611:0622:0633"_s << false << 1
        << QStringList{texts::outcomeUnknown(u"%1"_s, u"0622"_s, texts::connectionDropped()),
                       texts::connectionDropped()};
    QTest::newRow("dropped, its session ended: not sent, nor the number after it")
        << u"lose-jsubm"_s << u"0611:0622"_s << false << 0
        << QStringList{texts::jobNotQueued(u"%1"_s, u"0611"_s, texts::connectionDropped())};
    QTest::newRow("lost, and the server gone before the check")
        << u"lose-jsubm"_s << u"0611"_s << true << 0
        << QStringList{texts::outcomeUnknown(u"%1"_s, u"0611"_s, texts::connectionDropped())};
}

void TestFaxSession::unansweredJsubm()
{
    QFETCH(QString, fault);
    QFETCH(QString, numbers);
    QFETCH(bool, stopServerAtJsubm);
    QFETCH(int, submitted);
    QFETCH(QStringList, messages);
    QVERIFY(startSimulator({u"--fault"_s, fault}));
    activate();
    const QString path = writeFile(m_dir, u"g.ps"_s, randomBytes(20 * 1024));
    QCOMPARE(m_control->SendFax(path, numbers, u"a@b"_s).toString(), u"OnRun"_s);
    if (stopServerAtJsubm) {
        // Within the pause before the check.
        QVERIFY(QTest::qWaitFor([this] { return m_sim->sessionBytes().contains("jsubm"); }, 10000));
        m_sim->stop();
    }
    QVERIFY(waitForReports(submitted + int(messages.size()), 20000));
    QTest::qWait(300);
    QCOMPARE(m_host->submitted.size(), submitted);
    // The job the message is about comes after the submitted ones.
    const int first = m_host->submitted.isEmpty() ? 0 : m_host->submitted.at(0).job.toInt();
    const QString job = QString::number(submitted ? first + submitted : 1);
    for (QString& message : messages)
        message.replace(u"%1"_s, job);
    QCOMPARE(m_host->messages, messages);
    QCOMPARE(m_host->box.shown().size(), 0);
    if (!stopServerAtJsubm) {
        QStringList queued;
        for (const Submitted& s : std::as_const(m_host->submitted))
            queued << s.job;
        QCOMPARE(m_sim->jobIds(), queued);
    }
}

void TestFaxSession::cutInsideBatch_data()
{
    // The connection cut between two commands of a batch (the server never
    // carries out the commands after the cut, read or not): the jobs the
    // user reads as sent are the jobs the server holds, and the session's
    // end is told once for the rest.
    QTest::addColumn<int>("cutAfter"); // commands of the session, USER the first
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("submitted");
    QTest::newRow("the first job's last line") << 19 << u"JPARM LASTTIME"_s << 0;
    QTest::newRow("the first jsubm") << 20 << u"jsubm"_s << 1;
    QTest::newRow("the second job's change of folder") << 21 << u"cwd /"_s << 1;
    QTest::newRow("the second job's creation") << 22 << u"jnew"_s << 1;
    QTest::newRow("the second job's dial string") << 25 << u"jparm dialstring 0622"_s << 1;
    QTest::newRow("the second job's document line") << 33 << u"jparm document"_s << 1;
    QTest::newRow("the second job's last line") << 34 << u"JPARM LASTTIME"_s << 1;
    QTest::newRow("the second jsubm") << 35 << u"jsubm"_s << 2;
    QTest::newRow("the last jsubm") << 50 << u"jsubm"_s << 3;
}

void TestFaxSession::cutInsideBatch()
{
    QFETCH(int, cutAfter);
    QFETCH(QString, command);
    QFETCH(int, submitted);
    QVERIFY(startSimulator({u"--fault"_s, u"cut-after-command-%1"_s.arg(cutAfter)}));
    activate();
    const QString path = writeFile(m_dir, u"b.ps"_s, randomBytes(20 * 1024));
    const QStringList numbers{u"0611"_s, u"0622"_s, u"0633"_s};
    QCOMPARE(m_control->SendFax(path, numbers.join(u':'), u"a@b"_s).toString(), u"OnRun"_s);
    const int reports = submitted == numbers.size() ? submitted : submitted + 1;
    QVERIFY(waitForReports(reports, 20000));
    QTest::qWait(300);
    const QStringList commands = QString::fromLatin1(m_sim->sessionBytes(0)).split(u"\r\n"_s);
    QVERIFY2(commands.value(cutAfter - 1).startsWith(command), qPrintable(commands.value(cutAfter - 1)));
    // Inside the second job's batch, the rest of it came in the same write.
    if (cutAfter > 20 && cutAfter < 34)
        QVERIFY2(commands.value(33).startsWith(u"JPARM LASTTIME"_s), qPrintable(commands.join(u'|')));
    QCOMPARE(m_host->reports(), reports);
    QStringList reported;
    for (const Submitted& s : std::as_const(m_host->submitted))
        reported << s.job;
    QCOMPARE(reported.size(), submitted);
    QCOMPARE(m_sim->jobIds(), reported);
    for (int i = 0; i < submitted; ++i)
        QCOMPARE(m_sim->jobParameters(reported.at(i)).value(u"dialstring"_s), QStringList{numbers.at(i)});
    // What the server holds is known: never "it may have gone".
    for (const QString& message : std::as_const(m_host->messages))
        QVERIFY2(outcomeUnknownJob(message).isEmpty(), qPrintable(message));
}

void TestFaxSession::incompleteUpload_data()
{
    // The server confirms every transfer but holds less, or other bytes,
    // than were sent: the job is not submitted. What the server's answers
    // make of it is the protocol's table; here the bytes counted by the
    // upload, plain or compressed, meet the server's.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("compresses");
    QTest::newRow("only the first 1,000 bytes kept") << u"keep-1000"_s << false;
    QTest::newRow("the compressed stream kept as it came") << u"store-compressed"_s << true;
}

void TestFaxSession::incompleteUpload()
{
    QFETCH(QString, fault);
    QFETCH(bool, compresses);
    QVERIFY(startSimulator({u"--fault"_s, fault}));
    activate();
    const QByteArray bytes =
        compresses ? QByteArray("%!PS-Adobe-3.0\n") + QByteArray("0 0 moveto (testo) show\n").repeated(8000)
                   : randomBytes(200 * 1024);
    const QString path = writeFile(m_dir, u"i.ps"_s, bytes);
    QCOMPARE(m_control->SendFax(path, u"0611"_s, u"a@b"_s).toString(), u"OnRun"_s);
    QVERIFY(waitForReports(1));
    QTest::qWait(200);
    const QByteArray session = m_sim->sessionBytes();
    QCOMPARE(session.contains("MODE Z"), compresses);
    QCOMPARE(m_host->submitted.size(), 0);
    QCOMPARE(m_host->messages, QStringList{texts::documentIncomplete(path)});
    QVERIFY(!session.contains("jsubm"));
    QVERIFY(m_sim->jobIds().isEmpty());
}

void TestFaxSession::hostDestroysTheControl_data()
{
    QTest::addColumn<QString>("when");
    QTest::addColumn<QStringList>("simulator");
    QTest::newRow("while SendFax waits for the greeting")
        << u"greeting"_s << QStringList{u"--fault"_s, u"slow-greeting"_s};
    QTest::newRow("while Attiva waits for the appliance page")
        << u"page"_s << QStringList{u"--http-fault"_s, u"no-answer"_s};
    QTest::newRow("in the handler of FaxSubmitted") << u"submitted"_s << QStringList();
    QTest::newRow("while the login refusal is shown")
        << u"box"_s << QStringList{u"--fault"_s, u"refuse-login"_s};
}

void TestFaxSession::hostDestroysTheControl()
{
    // A host may destroy the control from any handler it runs, and while any
    // method waits; the control's code on the stack must then touch nothing
    // of it (the sanitizer build catches a use after free), and a new control
    // works at once.
    QFETCH(QString, when);
    QFETCH(QStringList, simulator);
    QVERIFY(startSimulator(simulator));
    const QString path = writeFile(m_dir, u"d.ps"_s, randomBytes(5000));
    bool destroyed = false;
    const auto destroy = [this, &destroyed] {
        destroyed = true;
        m_control.reset();
    };
    if (when == u"page"_s) {
        QTimer::singleShot(100, destroy);
        m_control->Attiva();
    } else {
        activate();
        if (when == u"greeting"_s)
            QTimer::singleShot(100, destroy);
        else if (when == u"submitted"_s)
            m_host->onSubmitted = [&](const QString&) {
                destroy();
            };
        else
            m_host->box.onShow = [&](const MessageBoxRequest&) {
                destroy();
            };
        m_control->SendFax(path, u"0612345"_s, u"a@b"_s);
    }
    QVERIFY(QTest::qWaitFor([&] { return destroyed; }, 10000));
    QTest::qWait(100); // what was left for later has gone
    QCOMPARE(CorvanefaxControl::instanceCount(), 0);

    m_host = std::make_unique<Host>();
    makeControl();
    m_sim = std::make_unique<SimulatorProcess>();
    QVERIFY(m_sim->start());
    m_sim->applyPortsToEnvironment();
    activate();
    QCOMPARE(m_control->SendFax(path, u"0698765"_s, u"a@b"_s).toString(), u"OnRun"_s);
    QVERIFY(waitForReports(1));
    QCOMPARE(m_host->submitted.size(), 1);
}

void TestFaxSession::compressedUploadStopped_data()
{
    // A compressed upload stopped halfway, its deflater thread busy or
    // waiting for room: the cut is reported, and the next upload, compressed
    // again, arrives whole. Or the host destroys the control meanwhile.
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("data connection cut")
        << u"cut-data"_s << u"Trasferimento del documento al server fax non riuscito"_s;
    QTest::newRow("both connections dropped") << u"drop-upload"_s << u"fax non inviato"_s;
    QTest::newRow("the control destroyed") << QString() << QString();
}

void TestFaxSession::compressedUploadStopped()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QVERIFY(startSimulator(fault.isEmpty() ? QStringList() : QStringList{u"--fault"_s, fault}));
    activate();
    // Compresses to about three quarters: the deflater is still at work,
    // or waiting for room, when the upload stops.
    const QByteArray content = randomBytes(12 * 1024 * 1024).toBase64();
    const QString path = writeFile(m_dir, u"z.ps"_s, content);
    bool destroyed = false;
    QTimer poll;
    if (fault.isEmpty()) {
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!destroyed && m_sim->sessionBytes().contains("STOR")) {
                destroyed = true;
                m_control.reset();
            }
        });
        poll.start(1);
    }
    QCOMPARE(m_control->SendFax(path, u"0611"_s, u"a@b"_s).toString(), u"OnRun"_s);
    if (fault.isEmpty()) {
        QVERIFY(QTest::qWaitFor([&] { return destroyed; }, 20000));
        QTest::qWait(100); // what was left for later has gone
        QCOMPARE(CorvanefaxControl::instanceCount(), 0);
        QCOMPARE(m_host->reports(), 0);
        m_host = std::make_unique<Host>();
        makeControl();
        activate();
    } else {
        QVERIFY(waitForReports(1, 60000));
        QCOMPARE(m_host->submitted.size(), 0);
        QCOMPARE(m_host->messages.size(), 1);
        QVERIFY2(m_host->messages.at(0).contains(message), qPrintable(m_host->messages.at(0)));
        QVERIFY(m_sim->sessionBytes().contains("MODE Z"));
        m_host->messages.clear();
    }
    const QByteArray second = content.right(3 * 1024 * 1024 + 17);
    const QString secondPath = writeFile(m_dir, u"z2.ps"_s, second);
    QCOMPARE(m_control->SendFax(secondPath, u"0622"_s, u"a@b"_s).toString(), u"OnRun"_s);
    QVERIFY(QTest::qWaitFor([this] { return !m_host->submitted.isEmpty() || !m_host->messages.isEmpty(); },
                            60000));
    QCOMPARE(m_host->messages, QStringList());
    const QString job = m_host->submitted.value(0).job;
    QVERIFY(m_sim->waitForJob(job, 5000));
    QVERIFY(m_sim->jobDocument(job, job + u"-1.ps"_s) == second);
}

QTEST_MAIN(TestFaxSession)
#include "tst_faxsession.moc"
