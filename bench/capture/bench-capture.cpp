// Print capture against a plain socket reader, over loopback.
//
// Paired rounds: each pair captures one job of N MiB and copies the same
// stream into a file with a plain reader (accept, recv, write), one right
// after the other, the order alternating from pair to pair so that drift on
// a busy machine hits both alike. The figure is the median of the pairs'
// ratios (capture / plain), with their spread; one pair alone says little on
// a shared machine.
//
// Then J jobs of M MiB arrive at the same moment (J senders connect
// together), paired with one job of J x M MiB, the order alternating again:
// the figure is the median ratio of their throughputs. The peak memory of the
// J-job runs is the capture's peak with J jobs in flight.
//
// Each receiver runs in a child process of its own (so its peak memory is
// its own); this process sends, like spoolers: connect, write, half-close,
// wait for the receiver to close.
//
//   bench-capture [MiB=1024] [--dir FOLDER] [--pairs N=9] [--jobs J=8]
//                 [--job-mib M=MiB] [--concurrent-rounds R=5] [--plain-buffer KiB=128]

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
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
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

// CPU time this process has used, user and system, in seconds.
double cpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
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
    ::unlink(QFile::encodeName(file).constData());
    say("done " + QByteArray::number(total) + ' ' + QByteArray::number(peakRssKiB()) + ' ' +
        QByteArray::number(cpuSeconds()));
    return 0;
}

// The control's capture, as the control hosts it: receives jobs, then reports
// their total size and its peak memory. Spool files are removed as they come.
int captureChild(int argc, char** argv, int jobs)
{
    QCoreApplication app(argc, argv);
    kestrel::PrintCapture capture;
    capture.setPrinterName(u"kestrel"_s);
    capture.setLogger([](const QString& line) {
        if (line.startsWith("Printer Spool Error"_L1) || line.startsWith("Printer Socket Error"_L1))
            std::fprintf(stderr, "%s\n", qUtf8Printable(line));
    });
    int received = 0;
    qint64 total = 0;
    QObject::connect(&capture, &kestrel::PrintCapture::PrintedDocAvailable, &app, [&](const QString& file) {
        total += QFileInfo(file).size();
        QFile::remove(file);
        if (++received == jobs) {
            say("done " + QByteArray::number(total) + ' ' + QByteArray::number(peakRssKiB()) + ' ' +
                QByteArray::number(cpuSeconds()));
            app.quit();
        }
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

// Sends `jobs` jobs of mib MiB at the same moment, like spoolers: connect,
// write, half-close, wait for the receiver to close. One thread serves all
// connections (non-blocking, poll), so that the sending side takes the same
// share of the processors however many jobs there are. False when a
// connection fails.
bool send(quint16 port, int jobs, qint64 mib, const QByteArray& chunk)
{
    struct Connection
    {
        int fd = -1;
        qint64 left = 0;  // bytes still to send
        bool open = true; // waiting for the receiver to close
    };
    std::vector<Connection> connections(static_cast<size_t>(jobs));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool ok = true;
    for (Connection& c : connections) {
        c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (c.fd < 0 || ::connect(c.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            ok = false;
        ::fcntl(c.fd, F_SETFL, O_NONBLOCK);
        c.left = mib * chunk.size();
    }
    std::vector<pollfd> waiting;
    while (ok) {
        waiting.clear();
        for (const Connection& c : connections) {
            if (c.left > 0)
                waiting.push_back({c.fd, POLLOUT, 0});
            else if (c.open)
                waiting.push_back({c.fd, POLLIN, 0});
        }
        if (waiting.empty())
            break;
        if (::poll(waiting.data(), waiting.size(), 600000) <= 0) {
            ok = false;
            break;
        }
        for (const pollfd& ready : waiting) {
            if (ready.revents == 0)
                continue;
            Connection& c = *std::find_if(connections.begin(), connections.end(),
                                          [&ready](const Connection& x) { return x.fd == ready.fd; });
            if (c.left > 0) {
                const qint64 at = (mib * chunk.size() - c.left) % chunk.size();
                const ssize_t sent =
                    ::send(c.fd, chunk.constData() + at, static_cast<size_t>(qMin(c.left, chunk.size() - at)),
                           MSG_NOSIGNAL);
                if (sent < 0 && errno != EAGAIN) {
                    ok = false;
                    break;
                }
                c.left -= qMax<ssize_t>(sent, 0);
                if (c.left == 0)
                    ::shutdown(c.fd, SHUT_WR);
            } else {
                char byte;
                const ssize_t got = ::recv(c.fd, &byte, 1, 0);
                if (got == 0 || (got < 0 && errno != EAGAIN))
                    c.open = false;
            }
        }
    }
    for (const Connection& c : connections)
        if (c.fd >= 0)
            ::close(c.fd);
    return ok;
}

struct Result
{
    bool ok = false;
    double mibPerSecond = 0; // all jobs together
    long peakKiB = 0;
    double cpuPerGiB = 0; // the receiver's CPU seconds per GiB received
};

// Starts a receiver, sends `jobs` jobs of mib MiB to it at the same moment
// and times until it reports them all written.
Result run(const QString& self, const QStringList& arguments, const QProcessEnvironment& environment,
           int jobs, qint64 mib, qint64 expectedTotal, const QByteArray& chunk)
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
    const auto port = static_cast<quint16>(ready.value(1).toUInt());
    // Every run starts with nothing of the previous ones left to write back:
    // otherwise a run pays for the one before it.
    if (const int folder = ::open(QFile::encodeName(environment.value(u"TEMP"_s)).constData(),
                                  O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        ::syncfs(folder);
        ::close(folder);
    }
    QElapsedTimer clock;
    clock.start();
    const bool sent = send(port, jobs, mib, chunk);
    const QList<QByteArray> done = readLine(child, 600000);
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    child.waitForFinished(5000);
    if (!sent || done.value(0) != "done" || done.value(1).toLongLong() != expectedTotal) {
        std::fprintf(stderr, "receiver reported '%s'%s\n", done.join(' ').constData(),
                     sent ? "" : " (sending failed)");
        return result;
    }
    result.ok = true;
    result.mibPerSecond = static_cast<double>(mib * jobs) / seconds;
    result.peakKiB = done.value(2).toLong();
    result.cpuPerGiB = done.value(3).toDouble() * 1024.0 / static_cast<double>(mib * jobs);
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The value at fraction q of the sorted values, interpolated.
double quantile(std::vector<double> values, double q)
{
    std::sort(values.begin(), values.end());
    const double at = q * static_cast<double>(values.size() - 1);
    const auto low = static_cast<size_t>(at);
    const size_t high = std::min(low + 1, values.size() - 1);
    return values[low] + (values[high] - values[low]) * (at - static_cast<double>(low));
}

int usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [MiB=1024] [--dir FOLDER] [--pairs N=9] [--jobs J=8] [--job-mib M=MiB]\n"
                 "          [--concurrent-rounds R=5] [--plain-buffer KiB=128]\n",
                 program);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--capture-child") == 0)
        return captureChild(argc, argv, std::max(1, std::atoi(argv[2])));
    if (argc >= 4 && std::strcmp(argv[1], "--plain-child") == 0)
        return plainChild(QFile::decodeName(argv[2]), std::atoi(argv[3]));

    qint64 mib = 1024;
    qint64 jobMib = 0;
    QString folder = QDir::tempPath();
    int pairs = 9;
    int jobs = 8;
    int concurrentRounds = 5;
    int plainBufferKiB = 128;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--dir" && hasValue)
            folder = QFile::decodeName(argv[++i]);
        else if (arg == "--pairs" && hasValue)
            pairs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--jobs" && hasValue)
            jobs = std::max(0, std::atoi(argv[++i]));
        else if (arg == "--job-mib" && hasValue)
            jobMib = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--concurrent-rounds" && hasValue)
            concurrentRounds = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--plain-buffer" && hasValue)
            plainBufferKiB = std::max(1, std::atoi(argv[++i]));
        else if (arg.toLongLong() > 0)
            mib = arg.toLongLong();
        else
            return usage(argv[0]);
    }
    if (jobMib == 0)
        jobMib = mib;
    const QString self = QFileInfo(QString::fromLocal8Bit(argv[0])).absoluteFilePath();
    QTemporaryDir work(folder + u"/bench-capture-XXXXXX"_s);
    if (!work.isValid()) {
        std::fprintf(stderr, "cannot create a work folder in %s\n", qPrintable(folder));
        return 1;
    }

    // Random bytes (NUL and 8-bit included) between a PostScript header and
    // the trailer that tells capture the job arrived whole; every MiB ends
    // with it, so a stream of any length does, and the ones inside it end
    // nothing (the spooler's close does).
    QByteArray chunk(MiB, Qt::Uninitialized);
    QRandomGenerator(2024).fillRange(reinterpret_cast<quint32*>(chunk.data()), chunk.size() / 4);
    chunk.replace(0, 15, "%!PS-Adobe-3.0\n");
    const QByteArray trailer = "\n%%EOF\n";
    chunk.replace(chunk.size() - trailer.size(), trailer.size(), trailer);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"TEMP"_s, work.path());
    const auto runCapture = [&](int count, qint64 size) {
        environment.insert(u"KESTREL_PRINT_PORT"_s, QString::number(freePort()));
        // Each spool file is the stream and the CR LF that capture adds.
        return run(self, {u"--capture-child"_s, QString::number(count)}, environment, count, size,
                   count * (size * MiB + 2), chunk);
    };
    const auto runPlain = [&] {
        return run(self, {u"--plain-child"_s, work.filePath(u"plain.out"_s), QString::number(plainBufferKiB)},
                   environment, 1, mib, mib * MiB, chunk);
    };

    std::printf("bench-capture: %lld MiB per job over loopback, %d pair(s), files in %s\n",
                static_cast<long long>(mib), pairs, qPrintable(work.path()));
    std::vector<double> ratios;
    std::vector<double> plainRates;
    std::vector<double> captureRates;
    std::vector<double> cpuRatios;
    long capturePeak = 0;
    for (int pair = 1; pair <= pairs; ++pair) {
        Result capture;
        Result plain;
        if (pair % 2) {
            capture = runCapture(1, mib);
            plain = runPlain();
        } else {
            plain = runPlain();
            capture = runCapture(1, mib);
        }
        if (!plain.ok || !capture.ok)
            return 1;
        const double ratio = capture.mibPerSecond / plain.mibPerSecond;
        ratios.push_back(ratio);
        cpuRatios.push_back(capture.cpuPerGiB / plain.cpuPerGiB);
        plainRates.push_back(plain.mibPerSecond);
        captureRates.push_back(capture.mibPerSecond);
        capturePeak = std::max(capturePeak, capture.peakKiB);
        std::printf(
            "pair %d (%s): capture %.1f MiB/s (%.2f CPU s/GiB, peak %.1f MiB), plain reader %.1f MiB/s "
            "(%.2f CPU s/GiB), ratio %.3f\n",
            pair, pair % 2 ? "capture first" : "plain first", capture.mibPerSecond, capture.cpuPerGiB,
            capture.peakKiB / 1024.0, plain.mibPerSecond, plain.cpuPerGiB, ratio);
        std::fflush(stdout);
    }
    const double ratio = median(ratios);
    const double captureMedian = median(captureRates);
    std::printf(
        "one job: median ratio %.3f over %d pairs (quartiles %.3f-%.3f, range %.3f-%.3f; target >= 0.8: "
        "%s); median capture %.1f MiB/s, plain reader %.1f MiB/s; capture peak memory %.1f MiB\n",
        ratio, pairs, quantile(ratios, 0.25), quantile(ratios, 0.75), quantile(ratios, 0),
        quantile(ratios, 1), ratio >= 0.8 ? "met" : "MISSED", captureMedian, median(plainRates),
        capturePeak / 1024.0);
    // CPU time depends far less on what else the machine runs than elapsed
    // time does.
    std::printf("one job: median CPU cost of capture %.3f x the plain reader's (range %.3f-%.3f)\n",
                median(cpuRatios), quantile(cpuRatios, 0), quantile(cpuRatios, 1));
    std::fflush(stdout);

    if (jobs > 0) {
        // Paired as well, with one job of the same total size: both write as
        // much, so the disk and the page cache weigh on both alike.
        std::vector<double> together;
        std::vector<double> alone;
        std::vector<double> concurrentRatios;
        long concurrentPeak = 0;
        for (int round = 1; round <= concurrentRounds; ++round) {
            Result many;
            Result one;
            if (round % 2) {
                many = runCapture(jobs, jobMib);
                one = runCapture(1, jobs * jobMib);
            } else {
                one = runCapture(1, jobs * jobMib);
                many = runCapture(jobs, jobMib);
            }
            if (!many.ok || !one.ok)
                return 1;
            together.push_back(many.mibPerSecond);
            alone.push_back(one.mibPerSecond);
            concurrentRatios.push_back(many.mibPerSecond / one.mibPerSecond);
            concurrentPeak = std::max(concurrentPeak, many.peakKiB);
            std::printf(
                "round %d: %d jobs of %lld MiB at once %.1f MiB/s in total (%.2f CPU s/GiB, peak %.1f "
                "MiB), one job of %lld MiB %.1f MiB/s (%.2f CPU s/GiB), ratio %.3f\n",
                round, jobs, static_cast<long long>(jobMib), many.mibPerSecond, many.cpuPerGiB,
                many.peakKiB / 1024.0, static_cast<long long>(jobs * jobMib), one.mibPerSecond, one.cpuPerGiB,
                concurrentRatios.back());
            std::fflush(stdout);
        }
        const double concurrentRatio = median(concurrentRatios);
        std::printf(
            "%d jobs at once: median ratio %.3f to one job of their total size over %d rounds (range "
            "%.3f-%.3f; target >= 1: %s); median %.1f MiB/s in total; peak memory %.1f MiB with %d x %lld "
            "MiB (target < 64 MiB: %s)\n",
            jobs, concurrentRatio, concurrentRounds, quantile(concurrentRatios, 0),
            quantile(concurrentRatios, 1), concurrentRatio >= 1 ? "met" : "MISSED", median(together),
            concurrentPeak / 1024.0, jobs, static_cast<long long>(jobMib),
            concurrentPeak < 64 * 1024 ? "met" : "MISSED");
    }
    return 0;
}
