#include "DataChannel.h"

#include "DebugLog.h"

#include <QMetaObject>

using namespace Qt::StringLiterals;

namespace kestrel {

DataChannel::DataChannel(QObject* parent) : QObject(parent)
{
    m_ws.setObjectName(u"wsData"_s);
    connect(&m_ws, &SocketComponent::DataArrival, this,
            [this] { DebugLog(u"DATA Connection:"_s + QString::fromLatin1(m_ws.getData())); });
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

void DataChannel::OpenDataConnection(const PassiveAddress& address)
{
    if (m_ws.state() == SocketComponent::Connected)
        m_ws.close();
    m_file.close();
    m_sending = false;
    m_endOfFile = false;
    m_queued = 0;
    m_expecting = true;
    m_ws.connectTo(address.host, address.port);
}

bool DataChannel::openFile(const QString& path, int* errorNumber, QString* errorDescription)
{
    m_file.close();
    m_file.setFileName(path);
    if (m_file.open(QIODevice::ReadOnly))
        return true;
    // The numbers a Windows program reports for these failures.
    switch (m_file.error()) {
    case QFileDevice::OpenError:
        *errorNumber = m_file.exists() ? 75 : 53;
        *errorDescription = m_file.exists() ? u"Path/File access error"_s : u"File not found"_s;
        break;
    case QFileDevice::PermissionsError:
        *errorNumber = 70;
        *errorDescription = u"Permission denied"_s;
        break;
    default:
        *errorNumber = 75;
        *errorDescription = u"Path/File access error"_s;
        break;
    }
    *errorDescription += u" ("_s + m_file.errorString() + u')';
    return false;
}

void DataChannel::startSending()
{
    m_sending = true;
    m_endOfFile = false;
    m_queued = 0;
    pump();
}

void DataChannel::pump()
{
    if (!m_sending)
        return;
    while (!m_endOfFile && m_ws.bytesToWrite() < QueueLimit) {
        const QByteArray chunk = m_file.read(ChunkSize);
        if (chunk.isEmpty()) {
            if (m_file.error() != QFileDevice::NoError && !m_file.atEnd()) {
                const QString line = u"UploadFile ERRORE: 57"_s + m_file.errorString();
                DebugLog(line);
                fail(line, true);
                return;
            }
            m_endOfFile = true;
            break;
        }
        if (m_ws.sendData(chunk) != chunk.size()) {
            const QString line = u"UploadFile ERRORE: "_s + QString::number(m_ws.lastErrorNumber()) +
                                 m_ws.lastErrorDescription();
            DebugLog(line);
            fail(line);
            return;
        }
        m_queued += chunk.size();
    }
    if (m_endOfFile && m_ws.bytesToWrite() == 0) {
        m_sending = false;
        m_expecting = false;
        m_file.close();
        // Raised from the event loop, as the socket would, never from
        // inside startSending.
        QMetaObject::invokeMethod(this, &DataChannel::SendComplete, Qt::QueuedConnection);
    }
}

void DataChannel::close()
{
    m_expecting = false;
    m_sending = false;
    m_file.close();
    m_ws.close();
}

void DataChannel::fail(const QString& reason, bool documentUnreadable)
{
    close();
    Q_EMIT failed(reason, documentUnreadable);
}

} // namespace kestrel
