#include "PrintCapture.h"
#include "Wait.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

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
    void quietAfterEofEndsAnOpenConnection_data();
    void quietAfterEofEndsAnOpenConnection();
    void silentConnectionWithoutMarkerIsWrittenAfterTheStallLimit();
    void connectionWithoutDataWritesNothing();
    void jobsInTheSameSecondNeverReplaceAFile();
    void secondConnectionIsRefusedUntilTheJobEnds();
    void handlerRunningAnEventLoopKeepsJobsApart();
    void unwritableFolderIsReportedAndCaptureGoesOn();
    void listenFailuresLogTheirErrorNumber();
    void failedRelistenIsRetried();

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
    // Accepted by the capture, not just by the kernel's backlog.
    if (waitUntil([this] { return m_capture->socketState() == SocketComponent::Connected; }, 3000) !=
        WaitOutcome::Done)
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
    QTest::newRow("lower case") << Pieces{"%!PS\n%%eof\n", "more\n"};
    QTest::newRow("split marker") << Pieces{"%!PS\n%%E", "OF\nafter the marker\n"};
    QTest::newRow("closed before any marker") << Pieces{"%!PS-Adobe-3.0\npartial"};
    QTest::newRow("NUL and 8-bit bytes") << Pieces{"%!PS\n", binary, QByteArray(3, '\0'), binary, "%%EOF"};
    QTest::newRow("2.5 MB of random bytes") << large;
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
        QCOMPARE(m_capture->socketState(), SocketComponent::Connected);
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
    QCOMPARE(m_failures->size(), 0);
    // We closed our side too: the spooler is not left waiting.
    QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
}

void tst_PrintCapture::quietAfterEofEndsAnOpenConnection_data()
{
    QTest::addColumn<Pieces>("pieces");
    QTest::addColumn<bool>("ends");
    QTest::newRow("marker at the end") << Pieces{"%!PS\n", "showpage\n%%EOF\n\x04"} << true;
    QTest::newRow("marker split") << Pieces{"%!PS\n%%E", "OF\r\n"} << true;
    QTest::newRow("marker then data") << Pieces{"%!PS\n%%EOF\n", "%!PS second\n"} << false;
    QTest::newRow("lower case") << Pieces{"%!PS\n%%eof\n"} << false;
}

void tst_PrintCapture::quietAfterEofEndsAnOpenConnection()
{
    QFETCH(Pieces, pieces);
    QFETCH(bool, ends);
    m_capture->setEofIdleMs(300);
    auto client = connectClient();
    QVERIFY(client);
    QByteArray all;
    for (const QByteArray& piece : pieces) {
        QVERIFY(send(*client, piece));
        all += piece;
        QTest::qWait(20);
    }
    if (ends) {
        QVERIFY(waitForSpools(1, 3000));
        QTRY_COMPARE(client->state(), QAbstractSocket::UnconnectedState);
    } else {
        QTest::qWait(900);
        QCOMPARE(m_spools->size(), 0);
        client->disconnectFromHost();
        QVERIFY(waitForSpools(1));
    }
    QVERIFY(read(spool(0)) == all + "\r\n");
    QCOMPARE(m_capture->socketState(), SocketComponent::Listening);
}

void tst_PrintCapture::silentConnectionWithoutMarkerIsWrittenAfterTheStallLimit()
{
    m_capture->setStallMs(300);
    auto client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS\nno end"));
    QVERIFY(waitForSpools(1, 3000));
    QCOMPARE(read(spool(0)), QByteArray("%!PS\nno end\r\n"));
    QVERIFY(logHas(u"silent"_s));
    QCOMPARE(m_capture->socketState(), SocketComponent::Listening);
}

void tst_PrintCapture::connectionWithoutDataWritesNothing()
{
    auto client = connectClient();
    QVERIFY(client);
    client->disconnectFromHost();
    QTRY_COMPARE(m_capture->socketState(), SocketComponent::Listening);
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
    for (const QByteArray& job : {QByteArray("%!PS first"), QByteArray("%!PS second")}) {
        auto client = connectClient();
        QVERIFY(client);
        QVERIFY(send(*client, job));
        client->disconnectFromHost();
        QTRY_COMPARE(m_capture->socketState(), SocketComponent::Listening);
    }
    QVERIFY(waitForSpools(2));
    QCOMPARE(spool(0), m_folder + u"/kestrel-202401020304051.ps"_s);
    QCOMPARE(spool(1), m_folder + u"/kestrel-202401020304052.ps"_s);
    QCOMPARE(read(spool(0)), QByteArray("%!PS first\r\n"));
    QCOMPARE(read(spool(1)), QByteArray("%!PS second\r\n"));
    QCOMPARE(read(foreign.fileName()), QByteArray("someone else's"));
}

void tst_PrintCapture::secondConnectionIsRefusedUntilTheJobEnds()
{
    auto first = connectClient();
    QVERIFY(first);
    QVERIFY(send(*first, "%!PS first\n%%EOF\n"));

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, m_port);
    QVERIFY(!second.waitForConnected(3000));
    QCOMPARE(second.error(), QAbstractSocket::ConnectionRefusedError);

    QVERIFY(send(*first, "more of the first job\n"));
    first->disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS first\n%%EOF\nmore of the first job\n\r\n"));

    auto retry = connectClient();
    QVERIFY(retry);
    QVERIFY(send(*retry, "%!PS second"));
    retry->disconnectFromHost();
    QVERIFY(waitForSpools(2));
    QCOMPARE(read(spool(1)), QByteArray("%!PS second\r\n"));
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
        if (second && send(*second, "%!PS second")) {
            second->disconnectFromHost();
            waitUntil([this] { return m_spools->size() >= 2; }, 5000);
        }
    });
    auto first = connectClient();
    QVERIFY(first);
    QVERIFY(send(*first, "%!PS first"));
    first->disconnectFromHost();
    QVERIFY(waitForSpools(2));
    QCOMPARE(read(spool(0)), QByteArray("%!PS first\r\n"));
    QCOMPARE(read(spool(1)), QByteArray("%!PS second\r\n"));
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
    QTRY_COMPARE(m_capture->socketState(), SocketComponent::Listening);
    QCOMPARE(m_failures->size(), 1); // once per job
    QCOMPARE(m_spools->size(), 0);
    const QString message = m_failures->at(0).at(0).toString();
    QVERIFY2(message.contains(m_folder) && message.contains(u"non è stato acquisito"_s), qPrintable(message));
    QVERIFY(logHas(u"Printer Spool Error: "_s));

    QVERIFY(QDir().mkdir(m_folder));
    client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS kept"));
    client->disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS kept\r\n"));
}

void tst_PrintCapture::listenFailuresLogTheirErrorNumber()
{
    // Another listener on the port.
    PrintCapture other;
    QStringList otherLog;
    other.setLogger([&otherLog](const QString& line) { otherLog.append(line); });
    QVERIFY(!other.AscoltaStampante());
    QCOMPARE(otherLog, QStringList{u"Printer Socket Error: (10048)"_s});

    // Listening again while listening, or while a job comes in, leaves both be.
    QVERIFY(!m_capture->AscoltaStampante());
    QCOMPARE(m_log, QStringList{u"Printer Socket Error: (40006)"_s});
    auto client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS "));
    QVERIFY(!m_capture->AscoltaStampante());
    QCOMPARE(m_log.size(), 2);
    QVERIFY(send(*client, "job"));
    client->disconnectFromHost();
    QVERIFY(waitForSpools(1));
    QCOMPARE(read(spool(0)), QByteArray("%!PS job\r\n"));
}

void tst_PrintCapture::failedRelistenIsRetried()
{
    auto client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS one"));
    // Someone else takes the port while the job runs.
    auto squatter = std::make_unique<QTcpServer>();
    QVERIFY(squatter->listen(QHostAddress::LocalHost, m_port));
    client->disconnectFromHost();
    QVERIFY(waitForSpools(1)); // the job is saved all the same
    QVERIFY(logHas(u"Printer Socket Error: (10048)"_s));
    QCOMPARE(m_capture->socketState(), SocketComponent::Closed);

    squatter.reset();
    QTRY_COMPARE_WITH_TIMEOUT(m_capture->socketState(), SocketComponent::Listening, 5000);
    client = connectClient();
    QVERIFY(client);
    QVERIFY(send(*client, "%!PS two"));
    client->disconnectFromHost();
    QVERIFY(waitForSpools(2));
    QCOMPARE(read(spool(1)), QByteArray("%!PS two\r\n"));
}

QTEST_GUILESS_MAIN(tst_PrintCapture)
#include "tst_printcapture.moc"
