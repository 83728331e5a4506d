#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

// A cupsd of its own for a test: configuration, state and logs in a temporary
// folder, reachable only through a domain socket there (CUPS_SERVER). Adding
// queues to it needs root, like any cupsd.
class PrivateCupsd
{
public:
    PrivateCupsd() = default;
    ~PrivateCupsd() { stop(); }
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Writes the configuration, starts cupsd and waits until it answers.
    bool start(QString* why);
    // Before start(): a policy that refuses every administrator, root too,
    // as the desktop's cupsd refuses an ordinary user ("Forbidden").
    void refuseAdministration() { m_refuseAdministration = true; }
    void stop();

    QString socketPath() const { return m_dir.filePath(u"cups.sock"_s); }

    // Runs a CUPS client program against this scheduler; its standard output.
    QString run(const QString& program, const QStringList& arguments) const;

private:
    QTemporaryDir m_dir;
    QProcess m_cupsd;
    bool m_refuseAdministration = false;
};
