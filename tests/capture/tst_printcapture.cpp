#include "ControlTexts.h"
#include "PrintCapture.h"
#include "RawSpooler.h"
#include "Wait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Qt::StringLiterals;

using kestrel::PrintCapture;
using kestrel::SocketComponent;
using kestrel::WaitOutcome;
using kestrel::waitUntil;

using Pieces = QList<QByteArray>;

// The listener over loopback, driven by a plain client in the role of the
// spooler; the port is a free one, the spool folder a private one.
class tst_PrintCapture : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void jobEndsWhenTheSpoolerCloses_data();
    void jobEndsWhenTheSpoolerCloses();
    void jobClosedInMidDocumentIsNotAnnounced_data();
    void jobClosedInMidDocumentIsNotAnnounced();
    void connectionWithoutDataWritesNothing();
    void jobsInTheSameSecondNeverReplaceAFile();
    void handlerRunningAnEventLoopKeepsJobsApart();
    void unwritableFolderIsReportedAndCaptureGoesOn();
    void writeFailingMidJobIsReportedAndCaptureGoesOn();
    void listenFailuresLogTheirErrorNumber();

    void jobsArrivingTogetherAreEachCaptured_data();
    void jobsArrivingTogetherAreEachCaptured();
    void silentConnectionBlocksNoOne();
    void pauseBetweenDocumentsKeepsTheJobWhole();
    void jobEndingWithoutTheSpoolersClose_data();
    void jobEndingWithoutTheSpoolersClose();
    void portTakenAtActivationIsRetried();
    void jobsPastTheLimitWaitTheirTurn();
    void connectionsArrivingTogetherPastTheLimitWait();
    void jobStreamsInWhileTheOwnerIsBusy();
    void shutdownWithJobsInFlight();
    void shutdownKeepsWhatTheSpoolerFinished_data();
    void shutdownKeepsWhatTheSpoolerFinished();
    void keptJobsAreListedWhateverOthersPutInTheSpoolFolder_data();
    void keptJobsAreListedWhateverOthersPutInTheSpoolFolder();
    void unusableNoteFolderIsToldOnce();

private:
    std::unique_ptr<QTcpSocket> connectClient();
    bool send(QTcpSocket& client, const QByteArray& data);
    bool waitForSpools(int count, int timeoutMs = 5000);
    QString spool(int i) const { return m_spools->at(i).at(0).toString(); }
    static QByteArray read(const QString& path);
    QStringList folderEntries() const { return QDir(m_folder).entryList(QDir::Files | QDir::Hidden); }
    bool logHas(const QString& text) const;

    std::unique_ptr<QTemporaryDir> m_temp;
    QString m_folder;
    quint16 m_port = 0;
    QStringList m_log;
    std::unique_ptr<PrintCapture> m_capture;
    std::unique_ptr<QSignalSpy> m_spools;
    std::unique_ptr<QSignalSpy> m_failures;
};

static quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

void tst_PrintCapture::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    m_folder = m_temp->filePath(u"spool"_s);
    QVERIFY(QDir().mkdir(m_folder));
    qputenv("TEMP", QFile::encodeName(m_folder));
    // The note of jobs kept at shutdown goes to the user's data folder.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_temp->filePath(u"data"_s)));
    qunsetenv("XDG_RUNTIME_DIR");
    m_port = freePort();
    QVERIFY(m_port);
    qputenv("KESTREL_PRINT_PORT", QByteArray::number(m_port));
    m_log.clear();
    m_capture = std::make_unique<PrintCapture>();
    m_capture->setPrinterName(u"kestrel"_s);
    m_capture->setLogger([this](const QString& line) { m_log.append(line); });
    m_spools = std::make_unique<QSignalSpy>(m_capture.get(), &PrintCapture::PrintedDocAvailable);
    m_failures = std::make_unique<QSignalSpy>(m_capture.get(), &PrintCapture::captureFailed);
    QVERIFY(m_capture->AscoltaStampante());
    QCOMPARE(m_capture->socketState(), SocketComponent::Listening);
    m_log.clear();
}

void tst_PrintCapture::cleanup()
{
    m_spools.reset();
    m_failures.reset();
    m_capture.reset();
    m_temp.reset();
}

std::unique_ptr<QTcpSocket> tst_PrintCapture::connectClient()
{
    auto client = std::make_unique<QTcpSocket>();
    client->connectToHost(QHostAddress::LocalHost, m_port);
    if (!client->waitForConnected(3000))
        return nullptr;
    // Taken by the capture as a job, not just by the kernel's backlog.
    const int before = m_capture->jobsInProgress();
    if (waitUntil([this, before] { return m_capture->jobsInProgress() > before; }, 3000) != WaitOutcome::Done)
        return nullptr;
    return client;
}

bool tst_PrintCapture::send(QTcpSocket& client, const QByteArray& data)
{
    client.write(data);
    return waitUntil([&client] { return client.bytesToWrite() == 0; }, 10000) == WaitOutcome::Done;
}

bool tst_PrintCapture::waitForSpools(int count, int timeoutMs)
{
    return waitUntil([this, count] { return m_spools->size() >= count; }, timeoutMs) == WaitOutcome::Done &&
           m_spools->size() == count;
}

QByteArray tst_PrintCapture::read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool tst_PrintCapture::logHas(const QString& text) const
{
    for (const QString& line : m_log)
        if (line.contains(text))
            return true;
    return false;
}

void tst_PrintCapture::jobEndsWhenTheSpoolerCloses_data()
{
    QTest::addColumn<Pieces>("pieces");
    QByteArray binary;
    for (int i = 0; i < 256; ++i)
        binary.append(static_cast<char>(i));
    Pieces large;
    for (int i = 0; i < 40; ++i) {
        QByteArray piece(64 * 1024, Qt::Uninitialized);
        QRandomGenerator(i).fillRange(reinterpret_cast<quint32*>(piece.data()), piece.size() / 4);
        large.append(piece);
    }

    QTest::newRow("one piece") << Pieces{"%!PS-Adobe-3.0\nshowpage\n%%EOF\n\x04"};
    QTest::newRow("many pieces") << Pieces{"%!PS-Adobe-3.0\n", "page one\n", "page two\n", "%%EOF\n"};
    // The prolog of pdftops output holds the marker; an embedded EPS has its own.
    QTest::newRow("marker early") << Pieces{"%!PS-Adobe-3.0\n/m (%%EOF) def\n",
                                            "%%BeginDocument\n%%EOF\n%%EndDocument\n", "rest\n%%EOF\n"};
    QTest::newRow("lower case") << Pieces{"%!PS\n%%eof\n", "more\n%%EOF\n"};
    QTest::newRow("split marker") << Pieces{"%!PS\n%%E", "OF\nafter the marker\n%%EOF\n"};
    QTest::newRow("NUL and 8-bit bytes") << Pieces{"%!PS\n", binary, QByteArray(3, '\0'), binary, "%%EOF"};
    QTest::newRow("2.5 MB of random bytes") << large + Pieces{"\n%%EOF\n"};
    // A PDF printed raw ends in its own marker, with or without a line end.
    QTest::newRow("raw PDF") << Pieces{"%PDF-1.4\n1 0 obj\n<< >>\nendobj\n", "startxref\n9\n%%EOF\n"};
    QTest::newRow("raw PDF, no line end") << Pieces{"%PDF-1.7\n", "startxref\n9\n%%EOF"};
}

void tst_PrintCapture::jobEndsWhenTheSpoolerCloses()
{
    QFETCH(Pieces, pieces);
    auto client = connectClient();
    QVERIFY(client);
    QByteArray all;
    for (const QByteArray& piece : pieces) {
        QVERIFY(send(*client, piece));
        all += piece;
        QTest::qWait(20);
        // No marker ends the job while the spooler keeps sending.
        QCOMPARE(m_spools->size(), 0);
        QCOMPARE(m_capture->jobsInProgress(), 1);
    }
    client->disconnectFromHost();
    QVERIFY(waitForSpools(1));

    const QString path = spool(0);
    QVERIFY2(QRegularExpression(u"^%1/kestrel-\\d{15}\\.ps$"_s.arg(QRegularExpression::escape(m_folder)))
                 .match(path)
                 .hasMatch(),
             qPrintable(path));
    QVERIFY(read(path) == all + "\r\n");
    QCOMPARE(folderEntries().size(), 1); // no temporary file left behind
    QCOMPARE(m_capture->socketState(), SocketComponent::Listening);
    QCOMPARE(m_capture->jobsInProgress(), 0);
    QCOMPARE(m_failures->size(), 0);
    // We closed our side too: the spooler is not left waiting.
    QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
}

void tst_PrintCapture::jobClosedInMidDocumentIsNotAnnounced_data()
{
    QTest::addColumn<Pieces>("pieces");
    QTest::newRow("closed before any marker") << Pieces{"%!PS-Adobe-3.0\npartial"};
    // A print cancelled in the spooler: it closes in the middle of a line.
    QTest::newRow("cancelled mid-line") << Pieces{"%!PS-Adobe-3.0\n", QByteArray(300000, 'x'), "72 700 mov"};
}

void tst_PrintCapture::jobClosedInMidDocumentIsNotAnnounced()
{
    QFETCH(Pieces, pieces);
    RawSpooler spooler(m_port, pieces);
    spooler.start();
    QVERIFY(waitUntil([&spooler] { return spooler.isDone(); }, 10000) == WaitOutcome::Done);
    QCOMPARE(spooler.outcome(), RawSpooler::Outcome::Closed);
    QTRY_COMPARE(m_failures->size(), 1);
    QCOMPARE(m_failures->at(0).at(0).toString(),
             kestrel::texts::printJobIncomplete(kestrel::texts::EndedMidDocument));
    QCOMPARE(m_spools->size(), 0);
    QVERIFY(folderEntries().isEmpty()); // no partial file stays
    QCOMPARE(m_capture->jobsInProgress(), 0);
}

void tst_PrintCapture::connectionWithoutDataWritesNothing()
{
    auto client = connectClient();
    QVERIFY(client);
    client->disconnectFromHost();
    QTRY_COMPARE(m_capture->jobsInProgress(), 0);
    QCOMPARE(m_spools->size(), 0);
    QVERIFY(folderEntries().isEmpty());
}

void tst_PrintCapture::jobsInTheSameSecondNeverReplaceAFile()
{
    const QDateTime when(QDate(2024, 1, 2), QTime(3, 4, 5));
    m_capture->spoolNames().setClock([when] { return when; });
    m_capture->spoolNames().setRandom([] { return 0.0; });
    QFile foreign(m_folder + u"/kestrel-202401020304050.ps"_s);
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("someone else's");
    foreign.close();
    for (const QByteArray& job : {QByteArray("%!PS first\n%%EOF"), QByteArray("%!PS second\n%%EOF")}) {
        auto client = connectClient();
        QVERIFY(client);
        QVERIFY(send(*client, job));
        client->disconnectFromHost();
        QTRY_COMPARE(m_capture->jobsInProgress(), 0);
    }
    QVERIFY(waitForSpools(2));
    QCOMPARE(spool(0), m_folder + u"/kestrel-202401020304051.ps"_s);
    QCOMPARE(spool(1), m_folder + u"/kestrel-202401020304052.ps"_s);
    QCOMPARE(read(spool(0)), QByteArray("%!PS first\n%%EOF\r\n"));
    QCOMPARE(read(spool(1)), QByteArray("%!PS second\n%%EOF\r\n"));
    QCOMPARE(read(foreign.fileName()), QByteArray("someone else's"));
}

void tst_PrintCapture::handlerRunningAnEventLoopKeepsJobsApart()
{
    std::unique_ptr<QTcpSocket> second;
    bool nested = false;
    connect(m_capture.get(), &PrintCapture::PrintedDocAvailable, this, [&] {
        if (nested)
            return;
        nested = true;
        // The next job arrives whole while the host's handler still runs.
        second = connectClient();
        if (second && send(*second, "%!PS second\n%%EOF")) {
            second->disconnectFromHost();
            waitUntil([this] { return m_spools->size() >= 2; }, 5000);
        }
    });
    auto first = connectClient();
    QVERIFY(first);
    QVERIFY(send(*first, "%!PS first\n%%EOF"));
    first->disconnectFromHost();
    QVERIFY(waitForSpools(2));
    QCOMPARE(read(spool(0)), QByteArray("%!PS first\n%%EOF\r\n"));
    QCOMPARE(read(spool(1)), QByteArray("%!PS second\n%%EOF\r\n"));
}

void tst_PrintCapture::unwritableFolderIsReportedAndCaptureGoesOn()
{
    QVERIFY(QDir(m_folder).removeRecursively());
    auto client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS lost\n"));
    QTRY_COMPARE(m_failures->size(), 1);
    QVERIFY(send(*client, "rest of it\n%%EOF\n")); // read to the end all the same
    client->disconnectFromHost();
    QTRY_COMPARE(m_capture->jobsInProgress(), 0);
    QCOMPARE(m_failures->size(), 1); // once per job
    QCOMPARE(m_spools->size(), 0);
    const QString message = m_failures->at(0).at(0).toString();
    QVERIFY2(message.contains(m_folder) && message.contains(u"non è stato acquisito"_s), qPrintable(message));
    QVERIFY(logHas(u"Printer Spool Error: "_s));

    QVERIFY(QDir().mkdir(m_folder));
    client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS kept\n%%EOF"));
    client->disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS kept\n%%EOF\r\n"));
}

void tst_PrintCapture::writeFailingMidJobIsReportedAndCaptureGoesOn()
{
    // A disk that fills while a job streams in, as a file size limit makes
    // it here: the user is told once, the job is read to its end and
    // dropped with its temporary file, and the next job is captured. Past
    // the limit the system sends SIGXFSZ, which ended the program before
    // capture ignored it.
    rlimit before{};
    QVERIFY(::getrlimit(RLIMIT_FSIZE, &before) == 0);
    const auto restore = [&before] {
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, SIG_DFL);
    };
    const auto restoreAtEnd = qScopeGuard(restore);
    rlimit limited = before;
    limited.rlim_cur = 256 * 1024;
    QVERIFY(::setrlimit(RLIMIT_FSIZE, &limited) == 0);

    RawSpooler big(m_port, {"%!PS big\n" + QByteArray(1 << 20, 'b') + "\n%%EOF\n"});
    big.start();
    QTRY_VERIFY(big.isDone());
    QCOMPARE(big.outcome(), RawSpooler::Outcome::Closed); // read to the end all the same
    QTRY_COMPARE(m_capture->jobsInProgress(), 0);
    QCOMPARE(m_failures->size(), 1);
    QCOMPARE(m_spools->size(), 0);
    const QString message = m_failures->at(0).at(0).toString();
    QVERIFY2(message.contains(qt_error_string(EFBIG)), qPrintable(message));
    QVERIFY(folderEntries().isEmpty());

    restore();
    RawSpooler next(m_port, {"%!PS next\n%%EOF"});
    next.start();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS next\n%%EOF\r\n"));
}

void tst_PrintCapture::listenFailuresLogTheirErrorNumber()
{
    // Another listener on the port.
    PrintCapture other;
    QStringList otherLog;
    other.setLogger([&otherLog](const QString& line) { otherLog.append(line); });
    QVERIFY(!other.AscoltaStampante());
    QCOMPARE(otherLog, QStringList{u"Printer Socket Error: (10048)"_s});

    // Listening again while listening, or while a job comes in, leaves both
    // be, and tells the user nothing.
    QVERIFY(!m_capture->AscoltaStampante());
    QCOMPARE(m_log, QStringList{u"Printer Socket Error: (40006)"_s});
    QCOMPARE(m_failures->size(), 0);
    auto client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS "));
    QVERIFY(!m_capture->AscoltaStampante());
    QCOMPARE(m_log.filter(u"Printer Socket Error: "_s),
             QStringList({u"Printer Socket Error: (40006)"_s, u"Printer Socket Error: (40006)"_s}));
    QVERIFY(send(*client, "job\n%%EOF"));
    client->disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS job\n%%EOF\r\n"));
}

void tst_PrintCapture::jobsArrivingTogetherAreEachCaptured_data()
{
    QTest::addColumn<int>("senders");
    QTest::addColumn<bool>("interleaved");
    // Two queues printing at the same moment, each job in several writes.
    QTest::newRow("two spoolers at once") << 2 << true;
    // Quick raw senders: connect, write everything, close, all before the
    // capture has read a byte.
    QTest::newRow("a hundred quick senders") << 100 << false;
}

void tst_PrintCapture::jobsArrivingTogetherAreEachCaptured()
{
    QFETCH(int, senders);
    QFETCH(bool, interleaved);
    std::vector<std::unique_ptr<RawSpooler>> spoolers;
    QSet<QByteArray> sent;
    for (int i = 0; i < senders; ++i) {
        const QByteArray name = "%!PS job " + QByteArray::number(i);
        const QByteArrayList pieces =
            interleaved ? QByteArrayList{name + " page 1\n", "page 2\n", "page 3\n%%EOF\n\x04"}
                        : QByteArrayList{name + "\n%%EOF\n\x04"};
        spoolers.push_back(std::make_unique<RawSpooler>(m_port, pieces, interleaved ? 50 : 0));
        sent.insert(spoolers.back()->job() + "\r\n");
    }
    for (auto& spooler : spoolers)
        spooler->start();
    const auto allDone = [&spoolers] {
        return std::all_of(spoolers.begin(), spoolers.end(), [](const auto& s) { return s->isDone(); });
    };
    QVERIFY(waitUntil(allDone, 30000) == WaitOutcome::Done);
    // Every spooler wrote its whole job and saw the printer close, none a reset.
    for (const auto& spooler : spoolers) {
        QCOMPARE(spooler->outcome(), RawSpooler::Outcome::Closed);
        QVERIFY(spooler->sentAll());
    }
    QVERIFY2(waitForSpools(senders, 10000), qPrintable(QString::number(m_spools->size())));
    QSet<QString> names;
    QSet<QByteArray> received;
    for (int i = 0; i < senders; ++i) {
        names.insert(spool(i));
        received.insert(read(spool(i)));
    }
    QCOMPARE(names.size(), senders);
    QCOMPARE(received, sent);
    QCOMPARE(folderEntries().size(), senders);
    QCOMPARE(m_failures->size(), 0);
}

void tst_PrintCapture::silentConnectionBlocksNoOne()
{
    // Someone connects and says nothing ("nc 127.0.0.1 9100").
    QTcpSocket idle;
    idle.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(idle.waitForConnected(3000));
    QTest::qWait(100);

    QTcpSocket spooler;
    spooler.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(spooler.waitForConnected(3000));
    QVERIFY(send(spooler, "%!PS printed meanwhile\n%%EOF\n"));
    spooler.disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS printed meanwhile\n%%EOF\n\r\n"));
    QCOMPARE(idle.state(), QAbstractSocket::ConnectedState);
}

void tst_PrintCapture::pauseBetweenDocumentsKeepsTheJobWhole()
{
    // "lp a.ps big.pdf": the first document ends in "%%EOF", then the
    // spooler is silent while it filters the second one.
    const QByteArray first = "%!PS-Adobe-3.0\nfirst document\nshowpage\n%%EOF\n\x04";
    const QByteArray second = "%!PS-Adobe-3.0\nsecond document\nshowpage\n%%EOF\n\x04";
    RawSpooler spooler(m_port, {first, second}, 6000);
    spooler.start();
    QTest::qWait(5500);
    QCOMPARE(m_spools->size(), 0);
    QCOMPARE(m_capture->jobsInProgress(), 1);
    QVERIFY(waitUntil([&spooler] { return spooler.isDone(); }, 10000) == WaitOutcome::Done);
    QCOMPARE(spooler.outcome(), RawSpooler::Outcome::Closed);
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), first + second + "\r\n");
}

void tst_PrintCapture::jobEndingWithoutTheSpoolersClose_data()
{
    QTest::addColumn<bool>("reset"); // else silent past the stall limit
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("announced");
    const QByteArray whole("%!PS\nshowpage\n%%EOF\r\n\x04");
    const QByteArray cut("%!PS\n%%EOF\n%!PS second\n");
    QTest::newRow("silent after a whole document") << false << whole << true;
    QTest::newRow("silent in mid-document") << false << cut << false;
    QTest::newRow("silent without data") << false << QByteArray() << false;
    QTest::newRow("reset after a whole document") << true << whole << true;
    QTest::newRow("reset in mid-document") << true << cut << false;
}

void tst_PrintCapture::jobEndingWithoutTheSpoolersClose()
{
    QFETCH(bool, reset);
    QFETCH(QByteArray, data);
    QFETCH(bool, announced);
    m_capture->setStallMs(reset ? 60000 : 500);
    const int spooler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(m_port);
    QCOMPARE(::connect(spooler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    QCOMPARE(::send(spooler, data.constData(), static_cast<size_t>(data.size()), 0), ssize_t(data.size()));
    QTRY_COMPARE(m_capture->jobsInProgress(), 1);
    if (reset) {
        QTest::qWait(200); // everything is read before the reset comes
        const linger abort{1, 0};
        ::setsockopt(spooler, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        ::close(spooler);
    } else {
        // The silent connection is closed from our side.
        pollfd closed{spooler, POLLIN, 0};
        QVERIFY(waitUntil([&closed] { return ::poll(&closed, 1, 0) == 1; }, 5000) == WaitOutcome::Done);
        char byte;
        QCOMPARE(::recv(spooler, &byte, 1, 0), ssize_t(0));
        ::close(spooler);
    }
    QTRY_COMPARE(m_capture->jobsInProgress(), 0);
    QVERIFY(logHas(reset ? u"connection failed"_s : u"silent"_s));
    QTest::qWait(100);
    QCOMPARE(m_spools->size(), announced ? 1 : 0);
    if (announced)
        QCOMPARE(read(spool(0)), data + "\r\n");
    QCOMPARE(folderEntries().size(), announced ? 1 : 0); // a cut job leaves no file
    // A cut job is the user's to print again; nothing sent is no job.
    const bool told = !announced && !data.isEmpty();
    QCOMPARE(m_failures->size(), told ? 1 : 0);
    if (told) {
        const QString message = m_failures->at(0).at(0).toString();
        QVERIFY2(message.contains(u"non è stata ricevuta per intero"_s), qPrintable(message));
    }
}

void tst_PrintCapture::portTakenAtActivationIsRetried()
{
    m_capture.reset();
    // Another program (of another user, say) holds the port at activation.
    auto squatter = std::make_unique<QTcpServer>();
    QVERIFY(squatter->listen(QHostAddress::LocalHost, m_port));
    m_log.clear();
    PrintCapture capture;
    capture.setPrinterName(u"kestrel"_s);
    capture.setLogger([this](const QString& line) { m_log.append(line); });
    QSignalSpy spools(&capture, &PrintCapture::PrintedDocAvailable);
    QSignalSpy failures(&capture, &PrintCapture::captureFailed);
    QSignalSpy resumed(&capture, &PrintCapture::captureResumed);
    QSignalSpy listening(&capture, &PrintCapture::listeningChanged);
    QVERIFY(!capture.AscoltaStampante());
    QCOMPARE(m_log.value(0), u"Printer Socket Error: (10048)"_s);
    QVERIFY(!capture.isListening());
    QCOMPARE(failures.size(), 1);
    const QString message = failures.at(0).at(0).toString();
    QVERIFY2(message.contains(u"127.0.0.1:%1"_s.arg(m_port)) && message.contains(u"non vengono acquisite"_s),
             qPrintable(message));

    // The retries fail on for a while; the user is told once, and another
    // activation meanwhile tells nothing new.
    QTest::qWait(1500);
    QVERIFY(!capture.AscoltaStampante());
    QVERIFY(m_log.count(u"Printer Socket Error: (10048)"_s) >= 3);
    QCOMPARE(failures.size(), 1);
    QCOMPARE(listening.size(), 0);

    squatter.reset();
    QTRY_VERIFY_WITH_TIMEOUT(capture.isListening(), 8000);
    QCOMPARE(listening.size(), 1);
    QCOMPARE(listening.at(0).at(0).toBool(), true);
    QCOMPARE(resumed.size(), 1);
    QVERIFY2(resumed.at(0).at(0).toString().contains(u"riceve di nuovo le stampe"_s),
             qPrintable(resumed.at(0).at(0).toString()));
    // The debug log says where the printer must print to.
    QVERIFY(logHas(u"socket://127.0.0.1:%1"_s.arg(m_port)));

    QTcpSocket spooler;
    spooler.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(spooler.waitForConnected(3000));
    QVERIFY(send(spooler, "%!PS after the port came free\n%%EOF"));
    spooler.disconnectFromHost();
    QTRY_COMPARE(spools.size(), 1);
    QCOMPARE(read(spools.at(0).at(0).toString()), QByteArray("%!PS after the port came free\n%%EOF\r\n"));
}

void tst_PrintCapture::jobsPastTheLimitWaitTheirTurn()
{
    m_capture->setMaxJobs(2);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, m_port);
        QVERIFY(client->waitForConnected(3000));
        QVERIFY(send(*client, "%!PS job " + QByteArray::number(i) + "\n%%EOF"));
        clients.push_back(std::move(client));
    }
    QTRY_COMPARE(m_capture->jobsInProgress(), 2);
    QTest::qWait(200);
    QCOMPARE(m_capture->jobsInProgress(), 2); // the third waits in the backlog
    clients[0]->disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QTRY_COMPARE(m_capture->jobsInProgress(), 2); // now it is taken
    clients[1]->disconnectFromHost();
    clients[2]->disconnectFromHost();
    QVERIFY(waitForSpools(3));
    QSet<QByteArray> received;
    for (int i = 0; i < 3; ++i)
        received.insert(read(spool(i)));
    QCOMPARE(received,
             (QSet<QByteArray>{"%!PS job 0\n%%EOF\r\n", "%!PS job 1\n%%EOF\r\n", "%!PS job 2\n%%EOF\r\n"}));
}

// A blocking spooler on a thread of its own, as CUPS's backend is a process
// of its own: connects, sends size bytes and the end of a document,
// half-closes.
namespace {
struct BlockingSpooler
{
    static constexpr QByteArrayView End = "\n%%EOF\n";
    int fd = -1;
    std::atomic<qint64> sent{0};

    bool connectTo(quint16 port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        // A spooler that nobody reads gives up after this long.
        const timeval limit{10, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        return fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    void send(qint64 size)
    {
        const QByteArray chunk(1 << 20, 'k');
        while (sent < size) {
            const ssize_t n =
                ::send(fd, chunk.constData(), size_t(qMin<qint64>(chunk.size(), size - sent)), MSG_NOSIGNAL);
            if (n <= 0)
                return;
            sent += n;
        }
        ::send(fd, End.constData(), size_t(End.size()), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
    }
    ~BlockingSpooler()
    {
        if (fd >= 0)
            ::close(fd);
    }
};
} // namespace

void tst_PrintCapture::connectionsArrivingTogetherPastTheLimitWait()
{
    // The system completes connections while the owner is busy; the listener
    // then takes them all in one turn. No more than the limit are jobs at
    // once; the others wait unread, none is closed, and every job is
    // received whole.
    m_capture->setMaxJobs(2);
    std::array<BlockingSpooler, 6> spoolers;
    for (BlockingSpooler& spooler : spoolers)
        QVERIFY(spooler.connectTo(m_port));
    QVERIFY(waitUntil([this] { return m_capture->jobsInProgress() + m_capture->jobsWaiting() == 6; }, 5000) ==
            WaitOutcome::Done);
    QTest::qWait(100);
    QCOMPARE(m_capture->jobsInProgress(), 2);
    QCOMPARE(m_capture->jobsWaiting(), 4);
    QSet<QByteArray> expected;
    for (int i = 0; i < 6; ++i) {
        pollfd state{spoolers[i].fd, POLLIN, 0};
        QCOMPARE(::poll(&state, 1, 0), 0); // not closed
        const QByteArray job = "%!PS job " + QByteArray::number(i) + "\n%%EOF\n";
        QCOMPARE(::send(spoolers[i].fd, job.constData(), size_t(job.size()), MSG_NOSIGNAL),
                 ssize_t(job.size()));
        ::shutdown(spoolers[i].fd, SHUT_WR);
        expected.insert(job + "\r\n");
    }
    QVERIFY(waitForSpools(6));
    QSet<QByteArray> received;
    for (int i = 0; i < 6; ++i)
        received.insert(read(spool(i)));
    QCOMPARE(received, expected);
    QCOMPARE(m_failures->size(), 0);
    QCOMPARE(m_capture->jobsWaiting(), 0);
}

void tst_PrintCapture::jobStreamsInWhileTheOwnerIsBusy()
{
    // Jobs are read on capture threads: a large job streams in while the
    // thread that owns the capture (the windows' thread) is busy and runs no
    // event loop. Read on that thread, the spooler stalled once the system's
    // buffers were full, until the windows came back to their loop.
    BlockingSpooler spooler;
    QVERIFY(spooler.connectTo(m_port));
    QVERIFY(waitUntil([this] { return m_capture->jobsInProgress() == 1; }, 3000) == WaitOutcome::Done);
    constexpr qint64 Size = 96 << 20; // more than any socket buffers hold
    std::thread sending([&spooler] { spooler.send(Size); });
    sending.join(); // the owner is busy: no events here
    QCOMPARE(spooler.sent.load(), Size);
    QVERIFY(waitForSpools(1, 10000));
    QCOMPARE(QFileInfo(spool(0)).size(), Size + BlockingSpooler::End.size() + 2);
}

void tst_PrintCapture::shutdownWithJobsInFlight()
{
    // Capture goes (the control is reloaded) while jobs stream in on its
    // threads: nothing is announced, no half-written file stays, the
    // spoolers see their connections close. Spoolers that keep sending do
    // not hold the shutdown up.
    std::vector<std::unique_ptr<BlockingSpooler>> spoolers;
    std::vector<std::thread> sending;
    for (int i = 0; i < 6; ++i) {
        spoolers.push_back(std::make_unique<BlockingSpooler>());
        QVERIFY(spoolers.back()->connectTo(m_port));
    }
    QVERIFY(waitUntil([this] { return m_capture->jobsInProgress() == 6; }, 3000) == WaitOutcome::Done);
    sending.reserve(spoolers.size());
    for (auto& spooler : spoolers)
        sending.emplace_back([s = spooler.get()] { s->send(qint64(1) << 40); });
    QVERIFY(waitUntil(
                [&spoolers] {
                    return std::all_of(spoolers.begin(), spoolers.end(),
                                       [](const auto& s) { return s->sent > (4 << 20); });
                },
                5000) == WaitOutcome::Done);
    m_spools.reset();
    m_failures.reset();
    QElapsedTimer clock;
    clock.start();
    m_capture.reset();
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    for (std::thread& thread : sending)
        thread.join(); // each send failed: the connection was closed
    QVERIFY(folderEntries().isEmpty());
}

void tst_PrintCapture::shutdownKeepsWhatTheSpoolerFinished_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("closed"); // by the spooler, before capture ends
    QTest::addColumn<bool>("kept");
    QTest::addColumn<bool>("waiting"); // past the job limit, its turn not come
    const QByteArray whole = "%!PS-Adobe-3.0\nshowpage\n%%EOF\n\x04";
    QTest::newRow("whole, closed") << whole << true << true << false;
    QTest::newRow("3 MB, closed") << "%!PS\n" + QByteArray(3 << 20, 'x') + "\n%%EOF\n"
                                  << true << true << false;
    QTest::newRow("PJL job control, closed")
        << QByteArray("\x1b%-12345X@PJL JOB\n@PJL ENTER LANGUAGE = POSTSCRIPT\n%!PS\nshowpage\n%%EOF\n"
                      "\x1b%-12345X@PJL\n@PJL EOJ\n\x1b%-12345X")
        << true << true << false;
    QTest::newRow("cut, closed") << "%!PS\n%%EOF\n%!PS second\n" + QByteArray(100000, 'x') << true << false
                                 << false;
    QTest::newRow("whole, still open") << whole << false << false << false;
    QTest::newRow("whole, closed, waiting its turn") << whole << true << true << true;
}

void tst_PrintCapture::shutdownKeepsWhatTheSpoolerFinished()
{
    // The spooler sends its job and closes; the program quits before the
    // job's end reaches the capture (no event loop runs from the send on).
    // The spooler counts the job printed: it is saved, and listed once, at
    // the next start.
    QFETCH(QByteArray, data);
    QFETCH(bool, closed);
    QFETCH(bool, kept);
    QFETCH(bool, waiting);
    BlockingSpooler ahead;
    if (waiting) {
        m_capture->setMaxJobs(1);
        // Both connect before the listener's turn: it takes them together.
        QVERIFY(ahead.connectTo(m_port));
    }
    BlockingSpooler spooler;
    QVERIFY(spooler.connectTo(m_port));
    QVERIFY(waitUntil(
                [&] { return m_capture->jobsInProgress() == 1 && m_capture->jobsWaiting() == int(waiting); },
                3000) == WaitOutcome::Done);
    QCOMPARE(::send(spooler.fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL), ssize_t(data.size()));
    if (closed)
        ::shutdown(spooler.fd, SHUT_WR);
    m_spools.reset();
    m_failures.reset();
    m_capture.reset();
    const QStringList files = QDir(m_folder).entryList({u"kestrel-*.ps"_s}, QDir::Files);
    QCOMPARE(files.size(), kept ? 1 : 0);
    if (kept)
        QCOMPARE(read(m_folder + u'/' + files.at(0)), data + "\r\n");

    for (const bool first : {true, false}) {
        PrintCapture next;
        QSignalSpy listed(&next, &PrintCapture::PrintedDocAvailable);
        QVERIFY(next.AscoltaStampante());
        QTest::qWait(100);
        const QStringList expected =
            kept && first ? QStringList{m_folder + u'/' + files.at(0)} : QStringList();
        QStringList announced;
        for (const QList<QVariant>& signal : listed)
            announced.append(signal.at(0).toString());
        QCOMPARE(announced, expected);
    }
}

void tst_PrintCapture::keptJobsAreListedWhateverOthersPutInTheSpoolFolder_data()
{
    // What lies at the name that notes once had in the spool folder.
    QTest::addColumn<QString>("what");
    QTest::newRow("a file anyone may write") << u"open"_s;
    QTest::newRow("another user's file") << u"other"_s;
    QTest::newRow("an earlier version's note") << u"earlier"_s;
}

void tst_PrintCapture::keptJobsAreListedWhateverOthersPutInTheSpoolFolder()
{
    QFETCH(QString, what);
    const QString oldNote = m_folder + u"/.kestrel-unannounced-"_s + QString::number(::geteuid());
    QString earlier;
    {
        QFile planted(oldNote);
        QVERIFY(planted.open(QIODevice::WriteOnly));
        if (what == u"earlier"_s) {
            earlier = m_folder + u"/kestrel-202401010000000.ps"_s;
            QFile spool(earlier);
            QVERIFY(spool.open(QIODevice::WriteOnly));
            planted.write(QFile::encodeName(earlier) + '\0');
        }
    }
    const QByteArray path = QFile::encodeName(oldNote);
    QCOMPARE(::chmod(path.constData(), what == u"open"_s ? 0666 : 0600), 0);
    if (what == u"other"_s && (::geteuid() != 0 || ::chown(path.constData(), 65534, 65534) != 0))
        QSKIP("only root can give a file to another user");

    BlockingSpooler spooler;
    QVERIFY(spooler.connectTo(m_port));
    QVERIFY(waitUntil([this] { return m_capture->jobsInProgress() == 1; }, 3000) == WaitOutcome::Done);
    const QByteArray data = "%!PS-Adobe-3.0\nshowpage\n%%EOF\n";
    QCOMPARE(::send(spooler.fd, data.constData(), size_t(data.size()), MSG_NOSIGNAL), ssize_t(data.size()));
    ::shutdown(spooler.fd, SHUT_WR);
    // The running capture finds an earlier version's note as it starts.
    QSet<QString> announced;
    for (const QList<QVariant>& signal : *m_spools)
        announced.insert(signal.at(0).toString());
    QCOMPARE(m_failures->size(), 0);
    m_spools.reset();
    m_failures.reset();
    m_capture.reset();
    QStringList files = QDir(m_folder).entryList({u"kestrel-*.ps"_s}, QDir::Files);
    files.removeAll(QFileInfo(earlier).fileName());
    QCOMPARE(files.size(), 1);
    const QString kept = m_folder + u'/' + files.at(0);
    QCOMPARE(read(kept), data + "\r\n");

    for (const bool first : {true, false}) {
        PrintCapture next;
        QSignalSpy listed(&next, &PrintCapture::PrintedDocAvailable);
        QSignalSpy failed(&next, &PrintCapture::captureFailed);
        QVERIFY(next.AscoltaStampante());
        QTest::qWait(100);
        for (const QList<QVariant>& signal : listed)
            announced.insert(signal.at(0).toString());
        QCOMPARE(listed.size(), first ? 1 : 0);
        QCOMPARE(failed.size(), 0);
    }
    QCOMPARE(announced, (earlier.isEmpty() ? QSet<QString>{kept} : QSet<QString>{kept, earlier}));
    // Another user's file is not the user's to remove.
    QCOMPARE(QFile::exists(oldNote), what != u"earlier"_s);
}

void tst_PrintCapture::unusableNoteFolderIsToldOnce()
{
    // The data folder's place is taken by a file, and there is no runtime
    // folder: jobs kept at shutdown cannot be listed, and the user hears so
    // once.
    QVERIFY(QDir().mkpath(m_temp->filePath(u"data"_s)));
    QFile taken(m_temp->filePath(u"data/kestrel"_s));
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.close();
    m_capture.reset();
    PrintCapture next;
    QSignalSpy failed(&next, &PrintCapture::captureFailed);
    QVERIFY(next.AscoltaStampante());
    QTRY_COMPARE(failed.size(), 1);
    const QString message = failed.at(0).at(0).toString();
    QVERIFY2(
        message.startsWith(u"Le stampe terminate mentre il programma si chiudeva non possono essere "
                           u"elencate all'avvio: la cartella privata dell'utente non è utilizzabile ("_s),
        qPrintable(message));
    QVERIFY2(message.contains(m_temp->filePath(u"data/kestrel"_s)), qPrintable(message));
    next.stopListening();
    QVERIFY(next.AscoltaStampante());
    QTest::qWait(100);
    QCOMPARE(failed.size(), 1);
}

QTEST_GUILESS_MAIN(tst_PrintCapture)
#include "tst_printcapture.moc"
