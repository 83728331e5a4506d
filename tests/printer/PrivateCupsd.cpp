#include "PrivateCupsd.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

namespace {

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
}

} // namespace

bool PrivateCupsd::start(QString* why)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return false;
    }
    const QString root = m_dir.path();
    for (const char* sub : {"state", "cache", "spool", "tmp", "log", "ppd"})
        QDir(root).mkpath(QLatin1String(sub));

    // Debian's default policy, without its network listeners and browsing.
    QFile defaults(QStringLiteral("/usr/share/cups/cupsd.conf.default"));
    if (!defaults.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1").arg(defaults.fileName());
        return false;
    }
    QByteArray conf;
    for (const QByteArray& line : defaults.readAll().split('\n')) {
        const QByteArray word = line.trimmed().split(' ').value(0);
        if (word != "Listen" && word != "Browsing" && word != "BrowseLocalProtocols" &&
            word != "IdleExitTimeout")
            conf += line + '\n';
    }
    conf += "Listen " + socketPath().toLocal8Bit() + "\nBrowsing No\n";

    const QByteArray r = root.toLocal8Bit();
    const QByteArray files = "ServerRoot " + r + "\nStateDir " + r + "/state\nCacheDir " + r +
                             "/cache\nRequestRoot " + r + "/spool\nTempDir " + r + "/tmp\nAccessLog " + r +
                             "/log/access_log\nErrorLog " + r + "/log/error_log\nPageLog " + r +
                             "/log/page_log\nPrintcap " + r + "/printcap\n";
    if (!writeFile(root + QStringLiteral("/cupsd.conf"), conf) ||
        !writeFile(root + QStringLiteral("/cups-files.conf"), files)) {
        *why = QStringLiteral("cannot write the configuration");
        return false;
    }

    m_cupsd.setProgram(QStringLiteral("/usr/sbin/cupsd"));
    m_cupsd.setArguments({QStringLiteral("-f"), QStringLiteral("-c"), root + QStringLiteral("/cupsd.conf"),
                          QStringLiteral("-s"), root + QStringLiteral("/cups-files.conf")});
    m_cupsd.setProcessChannelMode(QProcess::ForwardedChannels);
    m_cupsd.start();
    if (!m_cupsd.waitForStarted()) {
        *why = QStringLiteral("cannot start cupsd: ") + m_cupsd.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && m_cupsd.state() == QProcess::Running) {
        if (run(QStringLiteral("lpstat"), {QStringLiteral("-r")}).contains(QLatin1String("is running")))
            return true;
        QThread::msleep(100);
    }
    *why = QStringLiteral("cupsd did not answer; see %1/log/error_log").arg(root);
    return false;
}

void PrivateCupsd::stop()
{
    if (m_cupsd.state() == QProcess::NotRunning)
        return;
    m_cupsd.terminate();
    if (!m_cupsd.waitForFinished(10000)) {
        m_cupsd.kill();
        m_cupsd.waitForFinished();
    }
}

QString PrivateCupsd::run(const QString& program, const QStringList& arguments) const
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("CUPS_SERVER"), socketPath());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
