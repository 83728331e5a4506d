#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

// A PostgreSQL cluster of its own for a test: initdb into a temporary folder,
// the server listening on a socket in that folder and on a free loopback
// port. initdb and postgres refuse to run as root: under root both run as
// "nobody". The superuser "admin" logs in through the socket without a
// password; over TCP every role needs its password (scram-sha-256).
class PrivatePostgres
{
public:
    PrivatePostgres() = default;
    ~PrivatePostgres() { stop(); }
    PrivatePostgres(const PrivatePostgres&) = delete;
    PrivatePostgres& operator=(const PrivatePostgres&) = delete;

    // The server's programs, or empty (why says so) when the server package
    // is missing: a test skips then.
    static QString binDir(QString* why);

    // initdb, then start(): false with why when something failed.
    bool create(QString* why);
    // Starts the server (again) on the same data and port; returns once it answers.
    bool start(QString* why);
    // Fast shutdown: clients are disconnected.
    void stop();
    // Stops (SIGSTOP) or resumes the server and its processes: a frozen host.
    void freeze(bool frozen);

    int port() const { return m_port; }
    QString socketDir() const { return m_dir.filePath(u"socket"_s); }
    QString version() const { return m_version; }

    // Runs psql as admin on database; its output, or empty with why.
    QString psql(const QString& database, const QStringList& arguments, QString* why) const;
    QString sql(const QString& database, const QString& statement, QString* why) const
    {
        return psql(database, {u"-c"_s, statement}, why);
    }

private:
    QStringList asServerUser(const QString& program) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_bin;
    QString m_version;
    int m_port = 0;
};
