#include "DataChannel.h"

#include <QMetaObject>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The numbers and texts a Windows program reports for these failures.
Error openError(const QFile& file)
{
    Error error;
    switch (file.error()) {
    case QFileDevice::PermissionsError:
        error = {u"Permission denied"_s, 70};
        break;
    case QFileDevice::OpenError:
        error = file.exists() ? Error{u"Path/File access error"_s, 75} : Error{u"File not found"_s, 53};
        break;
    default:
        error = {u"Path/File access error"_s, 75};
        break;
    }
    error.message += u" ("_s + file.errorString() + u')';
    return error;
}

} // namespace

DataChannel::DataChannel(QObject* parent) : QObject(parent)
{
    m_ws.setObjectName(u"wsData"_s);
    connect(&m_ws, &SocketComponent::DataArrival, this,
            [this] { log(u"DATA Connection:"_s + QString::fromLatin1(m_ws.getData())); });
    connect(&m_ws, &SocketComponent::SendProgress, this, [this] {
        Q_EMIT progressed();
        pump();
    });
    connect(&m_ws, &SocketComponent::SendComplete, this, &DataChannel::pump);
    connect(&m_ws, &SocketComponent::Error, this, [this](int number, const QString& description) {
        if (m_expecting)
            fail(u"data connection error %1: %2"_s.arg(number).arg(description));
    });
    connect(&m_ws, &SocketComponent::Close, this, [this] {
        if (m_expecting)
            fail(u"the server closed the data connection during the transfer"_s);
    });
}

DataChannel::~DataChannel()
{
    // The worker's wake posts to this object: it is joined while this is
    // whole.
    m_deflater.stop();
}

void DataChannel::log(const QString& line) const
{
    if (m_log)
        m_log(line);
}

Expected<qint64> DataChannel::checkDocument(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return openError(file);
    char byte = 0;
    if (file.read(&byte, 1) != 1)
        return qint64(0);
    return qMax<qint64>(1, file.size());
}

bool DataChannel::compresses(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true;
    const QByteArray sample = file.read(ChunkSize);
    StreamDeflater deflater;
    const qint64 packed = deflater.feed(sample).size() + deflater.finish().size();
    return packed < sample.size() * 95 / 100;
}

void DataChannel::OpenDataConnection(const QString& host, quint16 port)
{
    if (m_ws.state() == SocketComponent::Connected)
        m_ws.close();
    m_file.close();
    m_deflater.stop();
    m_sending = false;
    m_endOfFile = false;
    m_expecting = true;
    m_ws.connectTo(host, port);
}

Status DataChannel::startSending(const QString& path, bool compressed)
{
    m_file.close();
    m_deflater.stop(); // a stream left over by a transfer that was cut
    m_fileBytes = 0;
    m_compressed = compressed;
    if (compressed) {
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly))
            return openError(*file);
        // Woken on the worker's thread: only a queued call crosses over, and
        // one for a transfer since closed does nothing.
        m_deflater.start(std::move(file), [this, transfer = m_transfer] {
            QMetaObject::invokeMethod(
                this,
                [this, transfer] {
                    if (transfer == m_transfer)
                        pump();
                },
                Qt::QueuedConnection);
        });
    } else {
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return openError(m_file);
    }
    m_sending = true;
    m_endOfFile = false;
    pump();
    return {};
}

bool DataChannel::put(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        return true;
    if (m_ws.sendData(bytes) != bytes.size()) {
        const QString line =
            u"UploadFile ERRORE: "_s + QString::number(m_ws.lastErrorNumber()) + m_ws.lastErrorDescription();
        log(line);
        fail(line);
        return false;
    }
    m_bytesSent += bytes.size();
    return true;
}

void DataChannel::pump()
{
    if (!m_sending)
        return;
    if (m_compressed) {
        pumpCompressed();
        return;
    }
    while (!m_endOfFile && m_ws.bytesToWrite() < QueueLimit) {
        const QByteArray chunk = m_file.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (m_file.error() != QFileDevice::NoError && !m_file.atEnd()) {
                const QString line = u"UploadFile ERRORE: 57"_s + m_file.errorString();
                log(line);
                fail(line, true);
                return;
            }
            m_endOfFile = true;
            break;
        }
        m_fileBytes += chunk.size();
        if (!put(chunk))
            return;
    }
    if (m_endOfFile && m_ws.bytesToWrite() == 0)
        sent();
}

void DataChannel::pumpCompressed()
{
    while (!m_endOfFile && m_ws.bytesToWrite() < QueueLimit) {
        DeflateWorker::Taken taken = m_deflater.take(m_ws.sendQueueEmpty());
        if (taken.state == DeflateWorker::State::Waiting)
            return; // woken when the next piece is ready
        if (taken.state == DeflateWorker::State::Failed) {
            const QString line = u"UploadFile ERRORE: 57"_s + m_deflater.error();
            log(line);
            fail(line, true);
            return;
        }
        if (taken.state == DeflateWorker::State::Done) {
            m_endOfFile = true;
            m_fileBytes = m_deflater.bytesRead();
            m_deflater.stop(); // its thread has ended
            break;
        }
        m_fileBytes = m_deflater.bytesRead();
        if (!put(taken.bytes))
            return;
    }
    if (m_endOfFile && m_ws.bytesToWrite() == 0)
        sent();
}

void DataChannel::sent()
{
    m_sending = false;
    m_expecting = false;
    m_file.close();
    // Raised from the event loop, as the socket would, never from inside
    // startSending; not at all once this transfer was closed.
    QMetaObject::invokeMethod(
        this,
        [this, transfer = m_transfer] {
            if (transfer == m_transfer)
                Q_EMIT SendComplete();
        },
        Qt::QueuedConnection);
}

void DataChannel::close()
{
    ++m_transfer;
    m_expecting = false;
    m_sending = false;
    m_deflater.stop();
    m_file.close();
    m_ws.close();
}

void DataChannel::fail(const QString& reason, bool documentUnreadable)
{
    close();
    Q_EMIT failed(reason, documentUnreadable);
}

} // namespace kestrel
