#include "SimulatorProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace kestrel::test {
namespace {

using namespace Qt::StringLiterals;

constexpr int ReadyTimeoutMs = 10'000;

QByteArray readWhole(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

SimulatorProcess::~SimulatorProcess()
{
    stop();
}

bool SimulatorProcess::start(const QStringList& extraArgs)
{
    stop();
    m_error.clear();
    m_temporary = std::make_unique<QTemporaryDir>();
    if (!m_temporary->isValid()) {
        m_error = u"no temporary folder: "_s + m_temporary->errorString();
        return false;
    }
    m_storeDir = m_temporary->filePath(u"store"_s);

    m_process = std::make_unique<QProcess>();
    // Its complaints (a wrong option, a port in use) show in the test's output.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList args{u"--http-port"_s, u"0"_s,       u"--fax-port"_s, u"0"_s,
                     u"--quiet"_s,     u"--store"_s, m_storeDir};
    args += extraArgs;
    m_process->start(QString::fromUtf8(KESTREL_SIMULATOR_PATH), args);
    if (!m_process->waitForStarted(ReadyTimeoutMs)) {
        m_error = u"simulator did not start: "_s + m_process->errorString();
        return false;
    }

    static const QRegularExpression ready(
        u"^kestrel-appliance-sim ready http=(\\d+) fax=(\\d+) store=(.*)$"_s);
    const QDeadlineTimer deadline(ReadyTimeoutMs);
    QByteArray output;
    while (!deadline.hasExpired()) {
        if (m_process->canReadLine()) {
            output = m_process->readLine().trimmed();
            const auto match = ready.match(QString::fromLocal8Bit(output));
            if (!match.hasMatch())
                continue;
            m_httpPort = static_cast<quint16>(match.captured(1).toUInt());
            m_faxPort = static_cast<quint16>(match.captured(2).toUInt());
            m_storeDir = match.captured(3);
            return true;
        }
        if (m_process->state() == QProcess::NotRunning) {
            m_error = u"simulator exited with code %1"_s.arg(m_process->exitCode());
            return false;
        }
        m_process->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    m_error = u"no ready line from the simulator within 10 s"_s;
    stop();
    return false;
}

void SimulatorProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
}

bool SimulatorProcess::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void SimulatorProcess::applyPortsToEnvironment() const
{
    qputenv("KESTREL_HTTP_PORT", QByteArray::number(m_httpPort));
    qputenv("KESTREL_FAX_PORT", QByteArray::number(m_faxPort));
}

QStringList SimulatorProcess::sessionFiles() const
{
    QStringList files = QDir(m_storeDir + u"/sessions"_s).entryList({u"*.cmd"_s}, QDir::Files);
    // Numeric order: names stop sorting as text beyond 9999 sessions.
    std::sort(files.begin(), files.end(),
              [](const QString& a, const QString& b) { return a.chopped(4).toInt() < b.chopped(4).toInt(); });
    return files;
}

int SimulatorProcess::sessionCount() const
{
    return static_cast<int>(sessionFiles().size());
}

QByteArray SimulatorProcess::sessionBytes(int index) const
{
    const QStringList files = sessionFiles();
    if (index < 0)
        index = static_cast<int>(files.size()) + index;
    if (index < 0 || index >= files.size())
        return {};
    return readWhole(m_storeDir + u"/sessions/"_s + files.at(index));
}

QStringList SimulatorProcess::jobIds() const
{
    QStringList ids;
    for (const QString& name : QDir(m_storeDir + u"/jobs"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        name.toInt(&number);
        if (number && QFile::exists(m_storeDir + u"/jobs/"_s + name + u"/submitted"_s))
            ids << name;
    }
    std::sort(ids.begin(), ids.end(),
              [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    return ids;
}

QStringList SimulatorProcess::jobLines(const QString& jobId) const
{
    return QString::fromUtf8(readWhole(m_storeDir + u"/jobs/"_s + jobId + u"/job"_s))
        .split(u'\n', Qt::SkipEmptyParts);
}

QMap<QString, QStringList> SimulatorProcess::jobParameters(const QString& jobId) const
{
    QMap<QString, QStringList> parameters;
    for (const QString& line : jobLines(jobId)) {
        const qsizetype colon = line.indexOf(u':');
        if (colon > 0)
            parameters[line.left(colon)] << line.mid(colon + 1);
    }
    return parameters;
}

QByteArray SimulatorProcess::jobDocument(const QString& jobId, const QString& remoteName) const
{
    return readWhole(m_storeDir + u"/jobs/"_s + jobId + u'/' + remoteName);
}

QByteArray SimulatorProcess::uploadedFile(const QString& remoteName) const
{
    return readWhole(m_storeDir + u"/tmp/"_s + remoteName);
}

bool SimulatorProcess::waitForJob(const QString& jobId, int timeoutMs) const
{
    const QString marker = m_storeDir + u"/jobs/"_s + jobId + u"/submitted"_s;
    return QTest::qWaitFor([&] { return QFile::exists(marker); }, timeoutMs);
}

} // namespace kestrel::test
