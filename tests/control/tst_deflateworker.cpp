// The compression of an upload: the level chosen from how the deflater and
// the connection waited on each other, and the worker thread's stream, which
// must inflate back to exactly the document whatever its size and however
// fast it is taken, and stop cleanly halfway.

#include "DeflatePace.h"
#include "DeflateWorker.h"
#include "StreamDeflater.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QTest>
#include <QThread>

#include <zlib.h>

using namespace Qt::StringLiterals;

using namespace kestrel;

namespace {

// Inflates one whole zlib stream; an empty result with ok false when the
// stream is broken, unfinished, or followed by anything.
QByteArray inflated(const QByteArray& stream, bool& ok)
{
    z_stream z{};
    inflateInit(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.constData()));
    z.avail_in = uInt(stream.size());
    QByteArray out;
    char buffer[64 * 1024];
    int result = Z_OK;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof(buffer);
        result = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof(buffer) - z.avail_out));
    } while (result == Z_OK);
    ok = result == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return ok ? out : QByteArray();
}

QByteArray randomBytes(qint64 size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

QByteArray compressible(qint64 size)
{
    const QByteArray line = "0 0 moveto (Kestrel) show 12 rlineto stroke\n"_ba;
    return line.repeated(size / line.size() + 1).left(size);
}

// Endless, or failing after failAfter bytes.
class Source : public QIODevice
{
public:
    explicit Source(qint64 failAfter = -1) : m_failAfter(failAfter) { open(ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        if (m_failAfter >= 0 && m_given >= m_failAfter) {
            setErrorString(u"Input/output error"_s);
            return -1;
        }
        if (m_failAfter >= 0)
            maxSize = qMin(maxSize, m_failAfter - m_given);
        memset(data, 'k', size_t(maxSize));
        m_given += maxSize;
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 m_failAfter;
    qint64 m_given = 0;
};

// Takes from the worker as a connection would, woken as the worker says;
// pauseUs > 0 is a slow connection, never idle, otherwise it is idle
// whenever it finds nothing.
struct Taker
{
    DeflateWorker worker;
    QSemaphore wakes;

    void start(std::unique_ptr<QIODevice> source, int level = StreamDeflater::DefaultLevel)
    {
        worker.start(
            std::move(source), [this] { wakes.release(); }, level);
    }
    int pieces = 0;

    // The whole stream, and the last state taken.
    DeflateWorker::State takeAll(QByteArray& stream, int pauseUs = 0)
    {
        for (;;) {
            DeflateWorker::Taken taken = worker.take(pauseUs == 0);
            if (taken.state == DeflateWorker::State::Ready) {
                stream += taken.bytes;
                ++pieces;
                if (pauseUs > 0)
                    QThread::usleep(pauseUs);
                continue;
            }
            if (taken.state != DeflateWorker::State::Waiting)
                return taken.state;
            // A missing wake shows as this wait running out.
            if (!wakes.tryAcquire(1, 20000))
                return DeflateWorker::State::Waiting;
        }
    }
};

} // namespace

class TestDeflateWorker : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void levelFromWaits_data();
    void levelFromWaits();
    void levelChangesWithinOneStream();
    void streamInflatesToTheDocument_data();
    void streamInflatesToTheDocument();
    void stopHalfway();
    void unreadableHalfway();
};

void TestDeflateWorker::levelFromWaits_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<qint64>("busy");
    QTest::addColumn<qint64>("blocked");
    QTest::addColumn<qint64>("starved");
    QTest::addColumn<int>("next");
    QTest::newRow("nothing measured: kept") << 6 << 0LL << 0LL << 0LL << 6;
    QTest::newRow("both sides busy: kept") << 6 << 100LL << 10LL << 5LL << 6;
    QTest::newRow("the connection waited a fifth: a step faster") << 6 << 100LL << 0LL << 20LL << 5;
    QTest::newRow("the connection waited a tenth exactly: kept") << 6 << 100LL << 0LL << 10LL << 6;
    QTest::newRow("the connection waited most: two steps faster") << 6 << 100LL << 0LL << 80LL << 4;
    QTest::newRow("at the fastest already: stored") << 0 << 100LL << 0LL << 80LL << 0;
    QTest::newRow("two steps from 1 stop at 0") << 1 << 100LL << 0LL << 80LL << 0;
    QTest::newRow("the deflater idle two thirds: a step tighter") << 6 << 100LL << 200LL << 0LL << 7;
    QTest::newRow("the deflater idle half: kept") << 6 << 100LL << 100LL << 0LL << 6;
    QTest::newRow("at the tightest already") << 9 << 100LL << 900LL << 0LL << 9;
    QTest::newRow("idle deflater, but the connection waited too: kept") << 6 << 100LL << 900LL << 30LL << 6;
    QTest::newRow("idle deflater, the connection waited a third: faster")
        << 6 << 100LL << 200LL << 100LL << 5;
    QTest::newRow("a level out of range comes back in") << 12 << 100LL << 10LL << 0LL << 9;
}

void TestDeflateWorker::levelFromWaits()
{
    QFETCH(int, level);
    QFETCH(qint64, busy);
    QFETCH(qint64, blocked);
    QFETCH(qint64, starved);
    QFETCH(int, next);
    QCOMPARE(DeflatePace::nextLevel(level, {busy, blocked, starved}), next);
}

void TestDeflateWorker::levelChangesWithinOneStream()
{
    // Every level change mid-stream, each way and across zlib's ways of
    // deflating (0 stored, 1-3 and 4-9), leaves one valid stream.
    const QByteArray document = compressible(700 * 1024) + randomBytes(300 * 1024);
    StreamDeflater deflater;
    QByteArray stream;
    const int levels[] = {1, 9, 0, 4, 2, 6, 6, 8};
    for (int i = 0; i < 8; ++i) {
        stream += deflater.feed(document.mid(i * 125 * 1024, 125 * 1024));
        stream += deflater.setLevel(levels[i]);
        QCOMPARE(deflater.level(), levels[i]);
    }
    stream += deflater.finish();
    bool ok = false;
    QVERIFY(inflated(stream, ok) == document);
    QVERIFY(ok);
}

void TestDeflateWorker::streamInflatesToTheDocument_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<int>("pauseUs");
    constexpr qint64 piece = DeflateWorker::PieceSize;
    QTest::newRow("empty") << QByteArray() << 0;
    QTest::newRow("one byte") << QByteArray("x") << 0;
    QTest::newRow("a piece less one") << compressible(piece - 1) << 0;
    QTest::newRow("a piece") << compressible(piece) << 0;
    QTest::newRow("a piece and one") << compressible(piece + 1) << 0;
    QTest::newRow("random, past the queue's limit")
        << randomBytes(DeflateWorker::QueueLimit + 3 * piece + 7) << 0;
    // Several stretches, so the level is chosen again as it goes: fast
    // taking drives it down, slow taking up.
    QTest::newRow("compressible, several stretches")
        << compressible(3 * DeflateWorker::StretchSize + 5) + randomBytes(piece) << 0;
    QTest::newRow("compressing to three quarters, taken slowly")
        << randomBytes(3 * DeflateWorker::StretchSize).toBase64() << 20000;
}

void TestDeflateWorker::streamInflatesToTheDocument()
{
    QFETCH(QByteArray, document);
    QFETCH(int, pauseUs);
    Taker taker;
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(document);
    QVERIFY(buffer->open(QIODevice::ReadOnly));
    taker.start(std::move(buffer));
    QByteArray stream;
    QCOMPARE(taker.takeAll(stream, pauseUs), DeflateWorker::State::Done);
    QCOMPARE(taker.worker.bytesRead(), document.size());
    // A document of one piece goes out in one write, its stream's end with
    // it: the connection then sends it as before, in as few segments.
    if (document.size() <= DeflateWorker::PieceSize)
        QCOMPARE(taker.pieces, 1);
    bool ok = false;
    QVERIFY(inflated(stream, ok) == document);
    QVERIFY(ok);
    // Once done, it stays done.
    QCOMPARE(taker.worker.take(true).state, DeflateWorker::State::Done);
}

void TestDeflateWorker::stopHalfway()
{
    // Stopped while blocked on a full queue or deflating, nothing is left
    // over; destroyed while running, it is stopped and joined the same way.
    // (A compressed upload after a cut: tst_faxsession.)
    auto taker = std::make_unique<Taker>();
    taker->start(std::make_unique<Source>());
    for (int i = 0; i < 5; ++i) {
        DeflateWorker::Taken taken = taker->worker.take(true);
        if (taken.state == DeflateWorker::State::Waiting)
            QVERIFY(taker->wakes.tryAcquire(1, 20000));
        QVERIFY(taken.state == DeflateWorker::State::Ready || taken.state == DeflateWorker::State::Waiting);
    }
    taker->worker.stop();
    QVERIFY(!taker->worker.running());
    QCOMPARE(taker->worker.take(true).state, DeflateWorker::State::Waiting);
    taker->start(std::make_unique<Source>());
    taker.reset();
}

void TestDeflateWorker::unreadableHalfway()
{
    Taker taker;
    taker.start(std::make_unique<Source>(3 * DeflateWorker::PieceSize + 10));
    QByteArray stream;
    QCOMPARE(taker.takeAll(stream), DeflateWorker::State::Failed);
    QCOMPARE(taker.worker.error(), u"Input/output error"_s);
    QCOMPARE(taker.worker.take(true).state, DeflateWorker::State::Failed);
}

QTEST_GUILESS_MAIN(TestDeflateWorker)
#include "tst_deflateworker.moc"
