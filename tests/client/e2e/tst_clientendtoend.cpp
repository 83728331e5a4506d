// The desktop client with the real fax control, as a user meets it: a print
// job arrives on the capture port and shows in the send window, the user
// adds two numbers and sends; the fax server gets one job per number with
// the cover page and the document, and the summary names both jobs. Against
// the appliance simulator, and once more against a real hfaxd (root only).
// This machine's print system is never touched: the control is pointed at
// a print system that is not there.

#include "ClientApplication.h"
#include "ContactDatabase.h"
#include "ContactStore.h"
#include "FaxHistory.h"
#include "FrmRubrica.h"
#include "FrmSend.h"
#include "OneShotTimer.h"
#include "ScriptedMessageBox.h"
#include "SimulatorProcess.h"
#include "TestFiles.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <unistd.h>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::ScriptedMessageBox;
using kestrel::test::SimulatorProcess;

namespace {

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

const QByteArray Printed =
    "%!PS-Adobe-3.0\n%%Pages: 1\n%%Page: 1 1\n/Helvetica findfont 20 scalefont setfont\n"
    "72 700 moveto (Lettera) show\nshowpage\n%%EOF\n\x04";

// The status tracker's wait, cut short: the test asks as soon as it may.
class ShortTimer : public QtOneShotTimer
{
public:
    void start(int ms, std::function<void()> timeout) override
    {
        QtOneShotTimer::start(qMin(ms, 200), timeout);
    }
};

// The state of the history's latest fax with this job number (the test
// functions share the program folder, and their servers number from 1).
std::optional<FaxState> stateOf(ClientApplication& client, const QString& job)
{
    std::optional<FaxState> state;
    qint64 latest = 0;
    for (const FaxRecord& record : client.history().records()) {
        if (record.job == job && record.id > latest) {
            latest = record.id;
            state = record.state;
        }
    }
    return state;
}

// A private hfaxd on loopback for one test function (root only: it
// chroot()s into its spool), stopped however the function ends.
struct HfaxdInstance
{
    HfaxdInstance(const QString& folder, quint16 port) : folder(folder)
    {
        if (::geteuid() != 0) {
            skipped = "a private hfaxd needs root (it chroot()s into its spool)";
            return;
        }
        QDir().mkpath(folder);
        // The test's folder (0700) must let the server's user through.
        QFile::setPermissions(QFileInfo(folder).path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                            QFileDevice::ExeOther);
        const int code = QProcess::execute(
            u"bash"_s, {script(), u"start"_s, folder, QString::number(port), u"Kestrel-e2e-9"_s});
        if (code == 77)
            skipped = "hylafax-server is not installed";
        started = code == 0;
    }
    ~HfaxdInstance()
    {
        if (started)
            QProcess::execute(u"bash"_s, {script(), u"stop"_s, folder});
    }
    static QString script()
    {
        return QString::fromUtf8(KESTREL_SOURCE_DIR) + u"/tests/e2e/hylafax-instance.sh"_s;
    }

    QString folder;
    const char* skipped = nullptr;
    bool started = false;
};

} // namespace

class TestClientEndToEnd : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void printAndSendThroughTheSimulator();
    void printAndSendThroughHfaxd();
    void groupFailsAtTheSecondDestination();
    void groupFailsAtTheSecondDestinationOnHfaxd();
    void groupFromTheAddressBook();
    void quitsWhenToldDuringStartUp();

private:
    // Runs the road of a fax and gives the job numbers of the summary.
    QStringList printAndSend();

    FrmSend& window() { return m_client->sendWindow(); }

    QTemporaryDir m_dir;
    QString m_cover;
    ScriptedMessageBox m_box;
    ShortTimer m_statusTimer;
    // Runs once the program has started, before the numbers are typed.
    std::function<void()> m_beforeSend;
    std::unique_ptr<ClientApplication> m_client;
    SimulatorProcess m_sim;
};

void TestClientEndToEnd::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_cover = m_dir.filePath(u"copertina.pdf"_s);
    QVERIFY(testfiles::write(m_cover, "%PDF-1.4\n% cover page\n%%EOF\n"));
    // A print system that is not there: the capture printer cannot be
    // installed, the capture port opens all the same.
    qputenv("CUPS_SERVER", m_dir.filePath(u"no-cupsd.sock"_s).toLocal8Bit());
    qputenv("TEMP", m_dir.path().toLocal8Bit());
}

void TestClientEndToEnd::init()
{
    QVERIFY(m_sim.start());
    m_sim.applyPortsToEnvironment();
    qputenv("KESTREL_PRINT_PORT", QByteArray::number(freePort()));
    QVERIFY(testfiles::write(
        m_dir.filePath(u"KZV.INI"_s),
        "[MAIN]\r\nIP=127.0.0.1\r\nUSER=faxpw\r\nPASS=Kestrel-e2e-9\r\nMAIL=ufficio@example.org\r\n"
        "COVER=" +
            m_cover.toUtf8() + "\r\n"));
    m_box.clear();
    m_beforeSend = nullptr;
    // The program as main() makes it, with the real control; only the boxes
    // are answered by the test, and the notification area is taken as there.
    ClientApplication::Replacements replacements;
    replacements.messageBox = &m_box;
    replacements.trayAvailable = [] {
        return true;
    };
    replacements.showNotice = [](const QString&) {
    };
    replacements.statusTimer = &m_statusTimer;
    m_client = std::make_unique<ClientApplication>(m_dir.path(), replacements);
}

void TestClientEndToEnd::cleanup()
{
    m_client.reset();
    m_sim.stop();
}

QStringList TestClientEndToEnd::printAndSend()
{
    if (!m_client->start())
        return {u"asked to quit"_s};
    // The spooler's side of a print job: the stream, then the end of it.
    QTcpSocket printer;
    printer.connectToHost(QHostAddress::LocalHost,
                          quint16(qEnvironmentVariableIntValue("KESTREL_PRINT_PORT")));
    if (!printer.waitForConnected(5000))
        return {u"capture port closed"_s};
    printer.write(Printed);
    printer.disconnectFromHost();
    if (!QTest::qWaitFor([this] { return window().documents().rows() == 2; }, 10000))
        return {u"no document listed"_s};
    if (!window().isVisible())
        return {u"the window stayed hidden"_s};
    const QString spoolFile = window().documents().text(1, 1);
    if (m_beforeSend)
        m_beforeSend();

    for (const char* number : {"0612345", "0698765"}) {
        QTest::keyClicks(window().txtFaxNumber(), QString::fromLatin1(number));
        QTest::keyClick(window().txtFaxNumber(), Qt::Key_Return);
    }
    QTest::mouseClick(window().findChild<QPushButton*>(u"cmdsend"_s), Qt::LeftButton);
    if (!QTest::qWaitFor([this] { return !m_box.shown().isEmpty(); }, 30000))
        return {u"no summary"_s};
    const QString summary = m_box.shown().constLast().text;
    QStringList jobs = summary.section(u"Numero di Protocollo FAX: "_s, 1).split(u' ', Qt::SkipEmptyParts);
    jobs.prepend(spoolFile);
    return jobs;
}

void TestClientEndToEnd::printAndSendThroughTheSimulator()
{
    // The first number is typed, and the address book knows it: the
    // history names it as the book does.
    m_beforeSend = [this] {
        ContactStore& store = m_client->contactStore();
        store.add({u"06 12345"_s, u"Studio Rossi"_s, u"1"_s});
        QTRY_COMPARE(store.nameOfNumber(u"0612345"_s), u"Studio Rossi"_s);
    };
    QStringList result = printAndSend();
    QCOMPARE(result.size(), 3);
    const QString spoolFile = result.takeFirst();
    const QByteArray document = testfiles::read(spoolFile);
    QVERIFY(document.startsWith(Printed));
    QCOMPARE(m_sim.jobIds(), result);
    const QStringList numbers{u"0612345"_s, u"0698765"_s};
    for (int i = 0; i < 2; ++i) {
        const QString& job = result.at(i);
        QVERIFY(m_sim.waitForJob(job));
        QCOMPARE(m_sim.jobParameters(job).value(u"dialstring"_s), QStringList{numbers.at(i)});
        const QStringList documents = m_sim.jobParameters(job).value(u"document"_s);
        QCOMPARE(documents.size(), 2); // the cover page first
        QCOMPARE(m_sim.jobDocument(job, documents.at(0).section(u'/', -1)), testfiles::read(m_cover));
        QCOMPARE(m_sim.jobDocument(job, documents.at(1).section(u'/', -1)), document);
    }
    QCOMPARE(m_box.shown().size(), 1); // the summary, nothing else
    QStringList names;
    for (const FaxRecord& record : m_client->history().records()) {
        if (record.job == result.at(0) || record.job == result.at(1))
            names << record.name;
    }
    QCOMPARE(names, (QStringList{u"Studio Rossi"_s, QString()}));
    QCOMPARE(window().destinations().rows(), 1);
    // One session, the documents uploaded once (the cover page and the
    // document): the second job names the first one's uploads.
    qsizetype uploads = 0;
    for (int i = 0; i < m_sim.sessionCount(); ++i)
        uploads += m_sim.sessionBytes(i).count("STOR ");
    QCOMPARE(uploads, 2);
    QCOMPARE(m_sim.jobParameters(result.at(1)).value(u"document"_s),
             m_sim.jobParameters(result.at(0)).value(u"document"_s));
}

void TestClientEndToEnd::groupFailsAtTheSecondDestination()
{
    // The server refuses the second job of the session: the first went and
    // the user is told its number; the second destination stays, with the
    // documents back in the list.
    m_sim.stop();
    QVERIFY(m_sim.start({u"--fault"_s, u"refuse-later-jsubm"_s}));
    m_sim.applyPortsToEnvironment();
    const QStringList result = printAndSend();
    QCOMPARE(m_sim.jobIds().size(), 1);
    const QString notice = m_box.shown().constLast().text;
    QVERIFY2(notice.contains(u"Numero di Protocollo FAX dei fax già inoltrati: "_s + m_sim.jobIds().at(0)),
             qPrintable(notice));
    QCOMPARE(window().destinations().column(1), QStringList{u"0698765"_s});
    QCOMPARE(window().documents().column(2).size(), 1);
}

void TestClientEndToEnd::printAndSendThroughHfaxd()
{
    const QString server = m_dir.filePath(u"hylafax"_s);
    const quint16 port = freePort();
    HfaxdInstance hfaxd(server, port);
    if (hfaxd.skipped)
        QSKIP(hfaxd.skipped);
    QVERIFY(hfaxd.started);
    qputenv("KESTREL_FAX_PORT", QByteArray::number(port)); // the pages stay the simulator's
    QStringList result = printAndSend();
    // A job killed on the server: the history reads it "Annullato" from
    // hfaxd's own answer; the other waits for a line that never comes.
    if (result.size() == 3) {
        const QString job = QString::fromUtf8(KESTREL_SOURCE_DIR) + u"/tests/e2e/hfaxd-job.py"_s;
        QCOMPARE(QProcess::execute(u"python3"_s, {job, QString::number(port), u"faxpw"_s, u"Kestrel-e2e-9"_s,
                                                  u"kill"_s, result.at(1)}),
                 0);
        QTRY_COMPARE_WITH_TIMEOUT(stateOf(*m_client, result.at(1)), std::optional(FaxState::Cancelled),
                                  20000);
        QCOMPARE(stateOf(*m_client, result.at(2)), std::optional(FaxState::Queued));
    }
    QCOMPARE(result.size(), 3);
    const QString spoolFile = result.takeFirst();
    const QStringList numbers{u"0612345"_s, u"0698765"_s};
    for (int i = 0; i < 2; ++i) {
        // The killed one is in doneq by now.
        QString queueFile = server + u"/spool/sendq/q"_s + result.at(i);
        if (!QFile::exists(queueFile))
            queueFile = server + u"/spool/doneq/q"_s + result.at(i);
        const QByteArray queue = testfiles::read(queueFile);
        QVERIFY2(queue.contains(QByteArray("\nnumber:" + numbers.at(i).toLatin1() + "\n")),
                 queue.constData());
        QVERIFY(queue.contains("\nmailaddr:ufficio@example.org\n"));
        // The cover page, then the document, both as they were.
        const QList<QByteArray> lines = queue.split('\n');
        QStringList stored;
        for (const QByteArray& line : lines) {
            if (line.startsWith("pdf:") || line.startsWith("postscript:"))
                stored << QString::fromLatin1(line.mid(line.lastIndexOf(':') + 1));
        }
        QCOMPARE(stored.size(), 2);
        QCOMPARE(testfiles::read(server + u"/spool/"_s + stored.at(0)), testfiles::read(m_cover));
        QCOMPARE(testfiles::read(server + u"/spool/"_s + stored.at(1)), testfiles::read(spoolFile));
    }
}

void TestClientEndToEnd::groupFailsAtTheSecondDestinationOnHfaxd()
{
    // hfaxd itself refuses the second job of the group session (a proxy
    // gives that job a line the server does not have): the first job stays
    // queued and is named, the second destination and the documents stay.
    const QString server = m_dir.filePath(u"hylafax-refusing"_s);
    const quint16 port = freePort();
    HfaxdInstance hfaxd(server, port);
    if (hfaxd.skipped)
        QSKIP(hfaxd.skipped);
    QVERIFY(hfaxd.started);
    const quint16 proxyPort = freePort();
    QProcess proxy;
    proxy.start(u"python3"_s, {QString::fromUtf8(KESTREL_SOURCE_DIR) + u"/tests/e2e/hfaxd-proxy.py"_s,
                               u"refuse-second-jsubm"_s, QString::number(proxyPort), QString::number(port)});
    const auto stopProxy = qScopeGuard([&] {
        proxy.kill();
        proxy.waitForFinished();
    });
    QVERIFY(proxy.waitForReadyRead(10000));
    qputenv("KESTREL_FAX_PORT", QByteArray::number(proxyPort));
    printAndSend();
    const QString notice = m_box.shown().constLast().text;
    const QString submitted =
        notice.section(u"Numero di Protocollo FAX dei fax già inoltrati: "_s, 1).section(u'\r', 0, 0);
    QVERIFY2(!submitted.isEmpty() && !submitted.contains(u' '), qPrintable(notice));
    const QByteArray queue = testfiles::read(server + u"/spool/sendq/q"_s + submitted);
    QVERIFY2(queue.contains("\nnumber:0612345\n"), queue.constData());
    QCOMPARE(QDir(server + u"/spool/sendq"_s).entryList({u"q*"_s}, QDir::Files).size(), 1);
    QCOMPARE(window().destinations().column(1), QStringList{u"0698765"_s});
    QCOMPARE(window().documents().column(2).size(), 1);
}

void TestClientEndToEnd::groupFromTheAddressBook()
{
    // Contacts of group 2, stored as people type numbers, reach the
    // appliance as one job each with their numbers normalised.
    // The user's first start: the empty database that ships with the
    // program becomes the user's own.
    QFile::remove(m_dir.filePath(u"rubrica.db"_s));
    QVERIFY(m_client->start());
    ContactDatabase& contacts = m_client->contacts();
    QVERIFY(contacts.insertContact({u"+39 02 123-4567"_s, u"Studio Rossi"_s, u"2"_s}));
    QVERIFY(contacts.insertContact({u"(06) 555 12"_s, u"Dell'Orto"_s, u"2"_s}));
    QVERIFY(contacts.insertContact({u"0111"_s, u"Altro gruppo"_s, u"1"_s}));
    window().documents().appendRow({QString(), m_cover, u"copertina.pdf"_s});
    FrmRubrica& book = m_client->addressBook();
    book.showWindow();
    QTRY_VERIFY(!book.isWaiting());
    book.cmbSendGrp()->setCurrentIndex(book.cmbSendGrp()->findText(u"2"_s));
    book.cmdAddGrpClick();
    QCOMPARE(window().destinations().rows(), 3);
    window().cmdsendClick();
    QVERIFY(QTest::qWaitFor([this] { return !m_box.shown().isEmpty(); }, 30000));
    QVERIFY2(m_box.shown().constLast().text.contains(u"Numero di Protocollo FAX"_s),
             qPrintable(m_box.shown().constLast().text));
    QStringList dialled;
    for (const QString& job : m_sim.jobIds()) {
        QVERIFY(m_sim.waitForJob(job));
        dialled << m_sim.jobParameters(job).value(u"dialstring"_s);
    }
    // The listing's order: by group, then by description.
    QCOMPARE(dialled, (QStringList{u"0655512"_s, u"0039021234567"_s}));
}

// The program itself, told to quit while its start-up waits for the
// appliance's page: it ends, although its event loop had not started yet.
void TestClientEndToEnd::quitsWhenToldDuringStartUp()
{
    m_sim.stop();
    QVERIFY(m_sim.start({u"--http-fault"_s, u"no-answer"_s}));
    m_sim.applyPortsToEnvironment();
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"KESTREL_PROGRAM_DIR"_s, m_dir.path());
    environment.insert(u"TMPDIR"_s, m_dir.path()); // its single-instance socket
    client.setProcessEnvironment(environment);
    client.setProgram(QString::fromUtf8(KESTREL_CORVAFAX));
    client.start();
    QVERIFY(client.waitForStarted());
    // Well inside the page's wait (its limit is 10 s), past the handlers' set-up.
    QTest::qWait(1500);
    QCOMPARE(client.state(), QProcess::Running);
    ::kill(pid_t(client.processId()), SIGTERM);
    const bool ended = client.waitForFinished(5000);
    if (!ended) {
        client.kill();
        client.waitForFinished();
    }
    QVERIFY2(ended, "corvafax went on after SIGTERM");
    QCOMPARE(client.exitStatus(), QProcess::NormalExit);
    QCOMPARE(client.exitCode(), 0);
}
QTEST_MAIN(TestClientEndToEnd)
#include "tst_clientendtoend.moc"
