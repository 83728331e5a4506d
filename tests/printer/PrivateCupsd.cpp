#include "PrivateCupsd.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

using namespace Qt::StringLiterals;

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
        *why = u"no temporary folder"_s;
        return false;
    }
    const QString root = m_dir.path();
    for (const char* sub : {"state", "cache", "spool", "tmp", "log", "ppd"})
        QDir(root).mkpath(QString::fromLatin1(sub));

    // Debian's default policy, without its network listeners and browsing.
    QFile defaults(u"/usr/share/cups/cupsd.conf.default"_s);
    if (!defaults.open(QIODevice::ReadOnly)) {
        *why = u"cannot read %1"_s.arg(defaults.fileName());
        return false;
    }
    QByteArray conf;
    for (const QByteArray& line : defaults.readAll().split('\n')) {
        const QByteArray word = line.trimmed().split(' ').value(0);
        if (word == "Listen" || word == "Browsing" || word == "BrowseLocalProtocols" ||
            word == "IdleExitTimeout")
            continue;
        if (m_refuseAdministration && line.trimmed() == "Require user @SYSTEM")
            conf += "    Require user kestrel-nobody\n";
        else
            conf += line + '\n';
    }
    conf += "Listen " + socketPath().toLocal8Bit() + "\nBrowsing No\n";

    const QByteArray r = root.toLocal8Bit();
    const QByteArray files = "ServerRoot " + r + "\nStateDir " + r + "/state\nCacheDir " + r +
                             "/cache\nRequestRoot " + r + "/spool\nTempDir " + r + "/tmp\nAccessLog " + r +
                             "/log/access_log\nErrorLog " + r + "/log/error_log\nPageLog " + r +
                             "/log/page_log\nPrintcap " + r + "/printcap\n";
    if (!writeFile(root + u"/cupsd.conf"_s, conf) || !writeFile(root + u"/cups-files.conf"_s, files)) {
        *why = u"cannot write the configuration"_s;
        return false;
    }

    m_cupsd.setProgram(u"/usr/sbin/cupsd"_s);
    m_cupsd.setArguments({u"-f"_s, u"-c"_s, root + u"/cupsd.conf"_s, u"-s"_s, root + u"/cups-files.conf"_s});
    m_cupsd.setProcessChannelMode(QProcess::ForwardedChannels);
    m_cupsd.start();
    if (!m_cupsd.waitForStarted()) {
        *why = u"cannot start cupsd: "_s + m_cupsd.errorString();
        return false;
    }
    const QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && m_cupsd.state() == QProcess::Running) {
        if (run(u"lpstat"_s, {u"-r"_s}).contains("is running"_L1))
            return true;
        QThread::msleep(100);
    }
    *why = u"cupsd did not answer; see %1/log/error_log"_s.arg(root);
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
    environment.insert(u"CUPS_SERVER"_s, socketPath());
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
