#include "PrivatePostgres.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTcpServer>
#include <QThread>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Where Debian puts the server's programs, one folder per major version.
const auto ServerRoot = u"/usr/lib/postgresql"_s;

bool runQuietly(const QStringList& command, QString* why)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return true;
    *why = command.join(u' ') + u": "_s + QString::fromLocal8Bit(process.readAll()) + process.errorString();
    return false;
}

} // namespace

QString PrivatePostgres::binDir(QString* why)
{
    const QStringList versions = QDir(ServerRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        const QString bin = ServerRoot + u'/' + *it + u"/bin"_s;
        if (QFileInfo(bin + u"/postgres"_s).isExecutable() && QFileInfo(bin + u"/initdb"_s).isExecutable())
            return bin;
    }
    *why = u"the PostgreSQL server is not installed (Debian package postgresql): no %1/*/bin/postgres"_s.arg(
        ServerRoot);
    return {};
}

QStringList PrivatePostgres::asServerUser(const QString& program) const
{
    const QString path = m_bin + u'/' + program;
    if (geteuid() != 0)
        return {path};
    // Killed with the test, should the test die first.
    return {u"/usr/bin/setpriv"_s, u"--reuid=nobody"_s,   u"--regid=nogroup"_s,
            u"--clear-groups"_s,   u"--pdeathsig=KILL"_s, path};
}

bool PrivatePostgres::create(QString* why)
{
    m_bin = binDir(why);
    if (m_bin.isEmpty())
        return false;
    if (!m_dir.isValid()) {
        *why = u"no temporary folder"_s;
        return false;
    }
    QDir(m_dir.path()).mkpath(u"socket"_s);
    if (geteuid() == 0) {
        const passwd* nobody = getpwnam("nobody");
        if (!nobody ||
            chown(QFile::encodeName(m_dir.path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0 ||
            chown(QFile::encodeName(socketDir()).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            *why = u"cannot give the cluster's folder to nobody"_s;
            return false;
        }
    }
    // A free loopback port; nothing else binds it in the moment between.
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost)) {
        *why = u"no free loopback port"_s;
        return false;
    }
    m_port = probe.serverPort();
    probe.close();

    QStringList initdb = asServerUser(u"initdb"_s);
    initdb << u"-D"_s << m_dir.filePath(u"data"_s) << u"-U"_s << u"admin"_s << u"-E"_s << u"UTF8"_s
           << u"--locale=C"_s << u"--auth-local=trust"_s << u"--auth-host=scram-sha-256"_s << u"--no-sync"_s;
    if (!runQuietly(initdb, why))
        return false;
    QProcess version;
    version.start(m_bin + u"/postgres"_s, {u"--version"_s});
    version.waitForFinished();
    m_version = QString::fromLocal8Bit(version.readAll()).trimmed();
    return start(why);
}

bool PrivatePostgres::start(QString* why)
{
    const QStringList command = asServerUser(u"postgres"_s)
                                << u"-D"_s << m_dir.filePath(u"data"_s) << u"-k"_s << socketDir() << u"-h"_s
                                << u"127.0.0.1"_s << u"-p"_s << QString::number(m_port) << u"-c"_s
                                << u"fsync=off"_s << u"-c"_s << u"log_min_messages=fatal"_s;
    // Its log in the folder: a server left behind holds no pipe of the test's.
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(m_dir.filePath(u"server.log"_s), QIODevice::Append);
    m_server.start(command.first(), command.mid(1));
    if (!m_server.waitForStarted()) {
        *why = u"cannot start postgres: "_s + m_server.errorString();
        return false;
    }
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_server.state() == QProcess::Running) {
        QString ignored;
        if (sql(u"postgres"_s, u"SELECT 1"_s, &ignored).contains(u'1'))
            return true;
        QThread::msleep(100);
    }
    *why = u"postgres did not answer; see %1"_s.arg(m_dir.filePath(u"server.log"_s));
    return false;
}

void PrivatePostgres::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    // SIGINT: the fast shutdown, which does not wait for clients to leave.
    ::kill(static_cast<pid_t>(m_server.processId()), SIGINT);
    if (!m_server.waitForFinished(30000)) {
        m_server.kill();
        m_server.waitForFinished();
    }
}

void PrivatePostgres::freeze(bool frozen)
{
    const auto server = static_cast<pid_t>(m_server.processId());
    if (server <= 0)
        return;
    const int signal = frozen ? SIGSTOP : SIGCONT;
    ::kill(server, signal);
    // Its children: every process whose parent it is (/proc/PID/stat, field 4).
    const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = entry.toInt(&number);
        QFile stat(u"/proc/"_s + entry + u"/stat"_s);
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toInt() == server)
            ::kill(pid, signal);
    }
}

QString PrivatePostgres::psql(const QString& database, const QStringList& arguments, QString* why) const
{
    QProcess process;
    process.start(m_bin + u"/psql"_s,
                  QStringList{u"-X"_s, u"-q"_s, u"-A"_s, u"-t"_s, u"-v"_s, u"ON_ERROR_STOP=1"_s, u"-h"_s,
                              socketDir(), u"-p"_s, QString::number(m_port), u"-U"_s, u"admin"_s, u"-d"_s,
                              database}
                      << arguments);
    process.waitForFinished(30000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *why = QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
