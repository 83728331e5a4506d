#pragma once

#include "PrinterSystem.h"

#include <QPointer>
#include <QProcess>
#include <QTimer>

namespace kestrel {

// A program run in its own process and watched without waiting for it: how
// it ended, with the last line of its standard error, comes back once. The
// process outlives whoever started it (an installation is not cut short
// because a control closes); only the report is dropped then.
class WatchedProgram : public QObject
{
    Q_OBJECT
public:
    // At most this much of the end of its standard error is kept.
    static constexpr qsizetype MaxErrorBytes = 8192;

    // Starts the program (standard input empty, standard output dropped).
    // The object deletes itself once the program has ended, failed to start
    // or been stopped at the time limit; `finished` runs on the caller's
    // thread while `context` lives.
    static void start(const QString& program, const QStringList& arguments, int timeLimitMs, QObject* context,
                      IPrinterSystem::ProgramFinished finished);

private:
    WatchedProgram(QObject* context, IPrinterSystem::ProgramFinished finished);
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void onStandardError();
    void onTimeLimit();
    void end(ProgramOutcome outcome);
    QString lastErrorLine() const;

    QProcess m_process;
    QTimer m_timeLimit;
    QByteArray m_standardError;
    bool m_timedOut = false;
    bool m_ended = false;
    QPointer<QObject> m_context;
    IPrinterSystem::ProgramFinished m_finished;
};

} // namespace kestrel
