// The simulator is the double every client test relies on: this proves that
// it answers as hfaxd does and keeps exactly what it was sent.
#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using kestrel::test::SimulatorProcess;

namespace {

// A bare command connection: bytes out exactly as given, replies in as lines.
class CommandConnection
{
public:
    bool open(quint16 port)
    {
        m_socket.connectToHost(u"127.0.0.1"_s, port);
        return m_socket.waitForConnected(5000);
    }

    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }

    // The next reply line without CR LF; empty on time-out or close.
    QByteArray line(int timeoutMs = 5000)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!m_socket.canReadLine()) {
            if (deadline.hasExpired() || m_socket.state() != QAbstractSocket::ConnectedState)
                return {};
            m_socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        }
        return m_socket.readLine().chopped(2);
    }

    QList<QByteArray> lines(int count)
    {
        QList<QByteArray> result;
        for (int i = 0; i < count; ++i)
            result << line();
        return result;
    }

    bool waitForClose(int timeoutMs = 5000)
    {
        return m_socket.state() == QAbstractSocket::UnconnectedState ||
               m_socket.waitForDisconnected(timeoutMs);
    }

private:
    QTcpSocket m_socket;
};

quint16 passivePort(const QByteArray& reply)
{
    static const QRegularExpression numbers(u"\\((\\d+),(\\d+),(\\d+),(\\d+),(\\d+),(\\d+)\\)$"_s);
    const auto match = numbers.match(QString::fromLatin1(reply));
    return match.hasMatch()
               ? static_cast<quint16>(match.captured(5).toUInt() * 256 + match.captured(6).toUInt())
               : 0;
}

QByteArray httpGet(quint16 port, const QByteArray& target)
{
    QTcpSocket socket;
    socket.connectToHost(u"127.0.0.1"_s, port);
    if (!socket.waitForConnected(5000))
        return {};
    socket.write("GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
    while (socket.waitForReadyRead(5000)) {
    }
    return socket.readAll();
}

// Blocking, as the test runs no event loop for the data socket.
void sendAll(QTcpSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(5000)) {
    }
}

QByteArray binaryDocument(int size)
{
    QByteArray bytes("%!PS-Adobe-3.0\n");
    for (int i = 0; bytes.size() < size; ++i)
        bytes += static_cast<char>((i * 7) % 256); // every byte value, CR, LF and NUL among them
    return bytes;
}

} // namespace

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    void submitsJobAsSent();
    void refusesWrongPassword();
    void greetingFaults_data();
    void greetingFaults();
    void dropUploadCutsBothConnections();
    void servesPages();
    void jobPagesAndNumbersSurviveRestart();
};

// One whole session as the control runs it, with its batches written in one
// go and one line split across writes; the store must hold the job, the
// document and the command bytes exactly.
void TestSimulator::submitsJobAsSent()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start({u"--user"_s, u"faxpw"_s, u"--password"_s, u"secret"_s}),
             qPrintable(sim.errorString()));
    CommandConnection c;
    QVERIFY(c.open(sim.faxPort()));
    QVERIFY(c.line().startsWith("220 "));
    QByteArray sent;
    const auto send = [&](const QByteArray& bytes) {
        sent += bytes;
        c.send(bytes);
    };

    send("USER faxpw\r\n");
    QCOMPARE(c.line(), "331 Password required for faxpw.");
    send("PASS sec");
    QTest::qWait(50);
    send("ret\r\n");
    QCOMPARE(c.line(), "230 User faxpw logged in.");
    send("jnew\r\n");
    const QByteArray created = c.line();
    QVERIFY2(created.startsWith("200 New job created: jobid: "), created.constData());
    const QByteArray job = created.mid(28).split(' ').first();

    send("jparm fromuser faxpw\r\ntype i\r\njparm dialstring 0612345\r\njparm dialstring 0698765\r\n"
         "jparm modem ttyS1\r\njparm maxdials 3\r\njparm notify done\r\njparm vres 196\r\n"
         "jparm usexvres no\r\njparm sendtime now\r\n");
    QCOMPARE(c.lines(10),
             (QList<QByteArray>{"213 FROMUSER set to \"faxpw\".", "200 Type set to Image.",
                                "213 DIALSTRING set to \"0612345\".", "213 DIALSTRING set to \"0698765\".",
                                "213 MODEM set to \"ttyS1\".", "213 MAXDIALS set to 3.",
                                "213 NOTIFY set to \"done\".", "213 VRES set to 196.",
                                "213 USEXVRES set to NO.", "213 SENDTIME set to NOW."}));
    send("jparm notifyaddr a@b.it\r\n");
    QCOMPARE(c.line(), "213 NOTIFYADDR set to \"a@b.it\".");
    send("cwd /tmp\r\nPASV\r\n");
    QCOMPARE(c.line(), "250 CWD command successful.");
    const QByteArray pasv = c.line();
    QVERIFY2(pasv.startsWith("227 Entering passive mode (127,0,0,1,"), pasv.constData());

    const QString remote = QString::fromLatin1(job) + u"-1.ps"_s;
    send("STOR /tmp/" + remote.toLatin1() + "\r\n");
    QCOMPARE(c.line(300), QByteArray()); // 150 waits for the data connection
    QTcpSocket data;
    data.connectToHost(u"127.0.0.1"_s, passivePort(pasv));
    QVERIFY(data.waitForConnected(5000));
    QCOMPARE(c.line(), "150 Opening new data connection for /tmp/" + remote.toLatin1() + '.');
    const QByteArray document = binaryDocument(5000);
    sendAll(data, document);
    data.disconnectFromHost();
    QCOMPARE(c.line(), "226 Transfer complete.");

    send("jparm document /tmp/" + remote.toLatin1() +
         "\r\nJPARM LASTTIME 000300\r\njparm pagechop none\r\njsubm\r\n");
    QCOMPARE(c.line(), "200 Added document /tmp/" + remote.toLatin1() + " as docq/" + remote.toLatin1() +
                           '.' + job + '.');
    QCOMPARE(c.line(), "213 LASTTIME set to 000300.");
    QCOMPARE(c.line(), "213 PAGECHOP set to \"none\".");
    QCOMPARE(c.line(), "200 Job " + job + " submitted.");
    send("quit\r\n");
    QCOMPARE(c.line(), "221 Goodbye.");
    QVERIFY(c.waitForClose());

    QVERIFY(sim.waitForJob(QString::fromLatin1(job)));
    QCOMPARE(sim.jobIds(), QStringList{QString::fromLatin1(job)});
    QCOMPARE(sim.jobLines(QString::fromLatin1(job)),
             (QStringList{u"fromuser:faxpw"_s, u"dialstring:0612345"_s, u"dialstring:0698765"_s,
                          u"modem:ttyS1"_s, u"maxdials:3"_s, u"notify:done"_s, u"vres:196"_s,
                          u"usexvres:no"_s, u"sendtime:now"_s, u"notifyaddr:a@b.it"_s,
                          u"document:/tmp/"_s + remote, u"lasttime:000300"_s, u"pagechop:none"_s}));
    QCOMPARE(sim.jobParameters(QString::fromLatin1(job)).value(u"dialstring"_s),
             (QStringList{u"0612345"_s, u"0698765"_s}));
    QCOMPARE(sim.jobDocument(QString::fromLatin1(job), remote), document);
    QCOMPARE(sim.sessionBytes(), sent);
}

void TestSimulator::refusesWrongPassword()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start({u"--user"_s, u"faxpw"_s, u"--password"_s, u"secret"_s}),
             qPrintable(sim.errorString()));
    CommandConnection c;
    QVERIFY(c.open(sim.faxPort()));
    c.line();
    c.send("jnew\r\nUSER faxpw\r\nPASS wrong\r\nUSER other\r\nPASS secret\r\nstor\r\n");
    QCOMPARE(c.lines(6),
             (QList<QByteArray>{"530 Please login with USER and PASS.", "331 Password required for faxpw.",
                                "530 Login incorrect.", "331 Password required for other.",
                                "530 Login incorrect.", "530 Please login with USER and PASS."}));
}

void TestSimulator::greetingFaults_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QList<QByteArray>>("codes"); // first four characters of each greeting line

    QTest::newRow("plain") << QStringList() << QList<QByteArray>{"220 "};
    QTest::newRow("130 first") << QStringList{u"--fault"_s, u"greet-after-130"_s}
                               << QList<QByteArray>{"130 ", "130 ", "220 "};
    QTest::newRow("multi-line") << QStringList{u"--fault"_s, u"multiline-greeting"_s}
                                << QList<QByteArray>{"220-", "220-", "220 "};
    QTest::newRow("byte by byte") << QStringList{u"--fault"_s, u"byte-by-byte"_s, u"--fault"_s,
                                                 u"greet-after-130"_s}
                                  << QList<QByteArray>{"130 ", "130 ", "220 "};
}

void TestSimulator::greetingFaults()
{
    QFETCH(QStringList, args);
    QFETCH(QList<QByteArray>, codes);
    SimulatorProcess sim;
    QVERIFY2(sim.start(args << u"--no-password"_s), qPrintable(sim.errorString()));
    CommandConnection c;
    QVERIFY(c.open(sim.faxPort()));
    for (const QByteArray& code : std::as_const(codes))
        QCOMPARE(c.line().left(4), code);
    c.send("USER u\r\nquit\r\n");
    QCOMPARE(c.line(), "230 User u logged in.");
    QCOMPARE(c.line(), "221 Goodbye.");
}

void TestSimulator::dropUploadCutsBothConnections()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start({u"--no-password"_s, u"--fault"_s, u"drop-upload"_s}), qPrintable(sim.errorString()));
    CommandConnection c;
    QVERIFY(c.open(sim.faxPort()));
    c.line();
    c.send("USER u\r\njnew\r\nPASV\r\n");
    c.lines(2);
    const QByteArray pasv = c.line();
    QTcpSocket data;
    data.connectToHost(u"127.0.0.1"_s, passivePort(pasv));
    QVERIFY(data.waitForConnected(5000));
    c.send("STOR /tmp/1-1.ps\r\n");
    QVERIFY(c.line().startsWith("150 "));
    sendAll(data, binaryDocument(200'000));
    QVERIFY(c.waitForClose());
    QVERIFY(data.state() == QAbstractSocket::UnconnectedState || data.waitForDisconnected(5000));
    QCOMPARE(sim.uploadedFile(u"1-1.ps"_s), binaryDocument(200'000).left(1000));
    QVERIFY(sim.jobIds().isEmpty());
}

void TestSimulator::servesPages()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start({u"--lines"_s, u"ttyS0=Linea Uno;ttyIAX=Linea <Due>"_s}),
             qPrintable(sim.errorString()));
    const QByteArray modem = httpGet(sim.httpPort(), "/api/modem.php");
    QVERIFY2(modem.startsWith("HTTP/1.0 200 OK\r\n"), modem.constData());
    QVERIFY(modem.trimmed().endsWith("</elenco_modem>"));
    QVERIFY(modem.contains("<id>ttyIAX</id>"));
    const QByteArray lines = httpGet(sim.httpPort(), "/api/modemtxt.php");
    QVERIFY(lines.contains(
        "\r\n\r\n<p1>ttyS0</p1><n1>Linea Uno</n1>\n<p2>ttyIAX</p2><n2>Linea &lt;Due&gt;</n2>\n"));
    QVERIFY(httpGet(sim.httpPort(), "/api/faxstat.php?D=1").trimmed().endsWith("</jobs>"));
    QVERIFY(httpGet(sim.httpPort(), "/other").startsWith("HTTP/1.0 404 "));
}

// The queue pages follow the store, and a restart on the same store keeps
// its jobs and goes on numbering after them.
void TestSimulator::jobPagesAndNumbersSurviveRestart()
{
    QTemporaryDir store;
    const auto submitJob = [](quint16 port) {
        CommandConnection c;
        if (!c.open(port))
            return QByteArray();
        c.line();
        c.send("USER u\r\njnew\r\njparm dialstring 0612345\r\njsubm\r\n");
        const QList<QByteArray> replies = c.lines(4);
        return replies.at(3);
    };

    SimulatorProcess first;
    QVERIFY(first.start({u"--no-password"_s, u"--done-after"_s, u"3600"_s, u"--store"_s, store.path()}));
    QCOMPARE(submitJob(first.faxPort()), "200 Job 1 submitted.");
    QVERIFY(httpGet(first.httpPort(), "/api/faxstat.php").contains("<jobid>1</jobid>"));
    QVERIFY(!httpGet(first.httpPort(), "/api/faxstat.php?D=1").contains("<jobid>"));
    first.stop();

    SimulatorProcess second;
    QVERIFY(second.start({u"--no-password"_s, u"--done-after"_s, u"0"_s, u"--store"_s, store.path()}));
    QVERIFY(httpGet(second.httpPort(), "/api/faxstat.php?D=1").contains("<jobid>1</jobid>"));
    QCOMPARE(submitJob(second.faxPort()), "200 Job 2 submitted.");
    QCOMPARE(second.jobIds(), (QStringList{u"1"_s, u"2"_s}));
    QCOMPARE(second.sessionCount(), 2);
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
