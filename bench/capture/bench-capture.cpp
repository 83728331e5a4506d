// Captures one print job of N MiB sent over loopback and, in the same run,
// copies the same stream into a file with a plain socket reader. Each receiver
// runs in a child process of its own (so its peak memory is its own); this
// process sends, like a spooler: connect, write, half-close, wait for the
// receiver to close. Prints both throughputs, their ratio and peak memory.
//
//   bench-capture [MiB=1024] [--dir FOLDER] [--rounds N=3] [--plain-buffer KiB=128]

#include "PrintCapture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 MiB = 1024 * 1024;

long peakRssKiB()
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

void say(const QByteArray& line)
{
    std::fprintf(stdout, "%s\n", line.constData());
    std::fflush(stdout);
}

int listeningSocket(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(fd, 1) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    *port = ntohs(address.sin_port);
    return fd;
}

// The reference: accept, recv into a buffer, write() to a file, until EOF.
int plainChild(const QString& file, int bufferKiB)
{
    quint16 port = 0;
    const int server = listeningSocket(&port);
    if (server < 0)
        return 1;
    say("ready " + QByteArray::number(port));
    const int connection = ::accept(server, nullptr, nullptr);
    const int out = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (connection < 0 || out < 0)
        return 1;
    std::vector<char> buffer(static_cast<size_t>(bufferKiB) * 1024);
    qint64 total = 0;
    for (;;) {
        const ssize_t got = ::recv(connection, buffer.data(), buffer.size(), 0);
        if (got <= 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t wrote = ::write(out, buffer.data() + done, static_cast<size_t>(got - done));
            if (wrote <= 0)
                return 1;
            done += wrote;
        }
        total += got;
    }
    ::close(out);
    ::close(connection);
    say("done " + QFile::encodeName(file) + ' ' + QByteArray::number(total) + ' ' +
        QByteArray::number(peakRssKiB()));
    return 0;
}

// The control's capture, as the control hosts it.
int captureChild(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    kestrel::PrintCapture capture;
    capture.setPrinterName(u"kestrel"_s);
    capture.setLogger([](const QString& line) { std::fprintf(stderr, "%s\n", qUtf8Printable(line)); });
    QObject::connect(
        &capture, &kestrel::PrintCapture::PrintedDocAvailable, &app, [&app](const QString& file) {
            say("done " + QFile::encodeName(file) + ' ' + QByteArray::number(QFileInfo(file).size()) + ' ' +
                QByteArray::number(peakRssKiB()));
            app.quit();
        });
    QObject::connect(&capture, &kestrel::PrintCapture::captureFailed, &app, [&app](const QString& message) {
        say("failed " + message.toUtf8());
        app.exit(1);
    });
    if (!capture.AscoltaStampante())
        return 1;
    say("ready " + QByteArray::number(capture.port()));
    return app.exec();
}

quint16 freePort()
{
    quint16 port = 0;
    const int fd = listeningSocket(&port);
    if (fd < 0)
        return 0;
    ::close(fd);
    return port;
}

QList<QByteArray> readLine(QProcess& child, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!child.canReadLine() && clock.elapsed() < timeoutMs)
        if (!child.waitForReadyRead(timeoutMs - static_cast<int>(clock.elapsed())))
            break;
    return child.readLine().trimmed().split(' ');
}

// Sends mib MiB like a spooler; false when the connection fails.
bool send(quint16 port, qint64 mib, const QByteArray& chunk)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return false;
    for (qint64 i = 0; i < mib; ++i) {
        for (qsizetype done = 0; done < chunk.size();) {
            const ssize_t sent =
                ::send(fd, chunk.constData() + done, static_cast<size_t>(chunk.size() - done), 0);
            if (sent <= 0) {
                ::close(fd);
                return false;
            }
            done += sent;
        }
    }
    ::shutdown(fd, SHUT_WR);
    char byte;
    while (::recv(fd, &byte, 1, 0) > 0) {
    }
    ::close(fd);
    return true;
}

struct Result
{
    bool ok = false;
    double mibPerSecond = 0;
    long peakKiB = 0;
};

// Starts a receiver, sends to it and times until it reports the file done.
Result run(const QString& self, const QStringList& arguments, const QProcessEnvironment& environment,
           qint64 mib, qint64 expectedSize, const QByteArray& chunk)
{
    Result result;
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, arguments);
    const QList<QByteArray> ready = readLine(child, 10000);
    if (ready.value(0) != "ready") {
        std::fprintf(stderr, "receiver did not start\n");
        return result;
    }
    QElapsedTimer clock;
    clock.start();
    if (!send(static_cast<quint16>(ready.value(1).toUInt()), mib, chunk)) {
        std::fprintf(stderr, "sending failed\n");
        return result;
    }
    const QList<QByteArray> done = readLine(child, 600000);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    child.waitForFinished(5000);
    if (done.value(0) != "done" || done.value(2).toLongLong() != expectedSize) {
        std::fprintf(stderr, "receiver reported %s\n", done.join(' ').constData());
        return result;
    }
    QFile::remove(QFile::decodeName(done.value(1)));
    result.ok = true;
    result.mibPerSecond = static_cast<double>(mib) / seconds;
    result.peakKiB = done.value(3).toLong();
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--capture-child") == 0)
        return captureChild(argc, argv);
    if (argc >= 4 && std::strcmp(argv[1], "--plain-child") == 0)
        return plainChild(QFile::decodeName(argv[2]), std::atoi(argv[3]));

    qint64 mib = 1024;
    QString folder = QDir::tempPath();
    int rounds = 3;
    int plainBufferKiB = 128;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--dir" && i + 1 < argc)
            folder = QFile::decodeName(argv[++i]);
        else if (arg == "--rounds" && i + 1 < argc)
            rounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--plain-buffer" && i + 1 < argc)
            plainBufferKiB = std::max(1, std::atoi(argv[++i]));
        else if (arg.toLongLong() > 0)
            mib = arg.toLongLong();
        else {
            std::fprintf(stderr,
                         "usage: %s [MiB=1024] [--dir FOLDER] [--rounds N=3] [--plain-buffer KiB=128]\n",
                         argv[0]);
            return 2;
        }
    }
    const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath();
    QTemporaryDir work(folder + u"/bench-capture-XXXXXX"_s);
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot create a work folder in %s\n", qPrintable(folder));
        return 1;
    }

    // Random bytes (NUL and 8-bit included) that never end in "%%EOF".
    QByteArray chunk(MiB, Qt::Uninitialized);
    QRandomGenerator(2024).fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
    chunk.replace(0, 15, "%!PS-Adobe-3.0\n");
    chunk[chunk.size() - 1] = 'x';

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TEMP"_s, work.path());

    std::printf("bench-capture: %lld MiB over loopback, %d round(s), files in %s\n",
                static_cast<long long>(mib), rounds, qPrintable(work.path()));
    std::vector<double> plainRates;
    std::vector<double> captureRates;
    long capturePeak = 0;
    for (int round = 1; round <= rounds; ++round) {
        auto runPlain = [&] {
            return run(self,
                       {u"--plain-child"_s, work.filePath(u"plain.out"_s), QString::number(plainBufferKiB)},
                       environment, mib, mib * MiB, chunk);
        };
        auto runCapture = [&] {
            environment.insert(u"KESTREL_PRINT_PORT"_s, QString::number(freePort()));
            return run(self, {u"--capture-child"_s}, environment, mib, mib * MiB + 2, chunk);
        };
        // Alternate the order so that drift on a busy machine hits both alike.
        Result plain;
        Result capture;
        if (round % 2) {
            plain = runPlain();
            capture = runCapture();
        } else {
            capture = runCapture();
            plain = runPlain();
        }
        if (!plain.ok || !capture.ok)
            return 1;
        plainRates.push_back(plain.mibPerSecond);
        captureRates.push_back(capture.mibPerSecond);
        capturePeak = std::max(capturePeak, capture.peakKiB);
        std::printf("round %d: plain reader %.1f MiB/s (peak %.1f MiB), capture %.1f MiB/s (peak %.1f MiB), "
                    "ratio %.3f\n",
                    round, plain.mibPerSecond, plain.peakKiB / 1024.0, capture.mibPerSecond,
                    capture.peakKiB / 1024.0, capture.mibPerSecond / plain.mibPerSecond);
        std::fflush(stdout);
    }
    auto median = [](std::vector<double> values) {
        std::sort(values.begin(), values.end());
        const size_t n = values.size();
        return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    };
    const double plainMedian = median(plainRates);
    const double captureMedian = median(captureRates);
    const double ratio = captureMedian / plainMedian;
    std::printf("median: plain reader %.1f MiB/s, capture %.1f MiB/s, ratio %.3f (target >= 0.8: %s); "
                "capture peak memory %.1f MiB (target < 64 MiB: %s)\n",
                plainMedian, captureMedian, ratio, ratio >= 0.8 ? "met" : "MISSED", capturePeak / 1024.0,
                capturePeak < 64 * 1024 ? "met" : "MISSED");
    return 0;
}
