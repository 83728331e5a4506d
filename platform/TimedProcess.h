#pragma once

#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace kestrel {

// How a program run by TimedProcess ended.
struct ProgramOutcome
{
    enum class End
    {
        Exited,
        NotStarted,
        TimedOut, // stopped at its time limit
        Crashed
    };
    End end = End::Exited;
    int exitCode = 0;
    // The last line of its standard error, or why it did not start.
    QString message;

    bool succeeded() const { return end == End::Exited && exitCode == 0; }
};

// Bounds on a program run by TimedProcess beyond its time limit.
struct ProgramBounds
{
    // Its address space at most (0: unbounded); past it allocations fail.
    qint64 memoryBytes = 0;
    // Stopped when the context goes, instead of outliving it.
    bool stopWithContext = false;
};

// A program run in its own process and watched without waiting for it: how
// it ended, with the last line of its standard error, comes back once. The
// process outlives whoever started it (an installation is not cut short
// because the window that asked for it closes); only the report is dropped
// then.
class TimedProcess : public QObject
{
    Q_OBJECT
public:
    using Finished = std::function<void(const ProgramOutcome&)>;

    // At most this much of the end of its standard error is kept.
    static constexpr qsizetype MaxErrorBytes = 8192;

    // Starts the program (standard input empty, standard output dropped).
    // The object deletes itself once the program has ended, failed to start
    // or been stopped at the time limit; `finished` runs on the caller's
    // thread while `context` lives.
    static void start(const QString& program, const QStringList& arguments, int timeLimitMs, QObject* context,
                      Finished finished);
    static void start(const QString& program, const QStringList& arguments, int timeLimitMs, QObject* context,
                      Finished finished, const ProgramBounds& bounds);

private:
    TimedProcess(QObject* context, Finished finished);
    void onFinished(int exitCode, QProcess::ExitStatus status);
    void onError(QProcess::ProcessError error);
    void onStandardError();
    void onTimeLimit();
    void end(const ProgramOutcome& outcome);
    QString lastErrorLine() const;

    QProcess m_process;
    QTimer m_timeLimit;
    QByteArray m_standardError;
    bool m_timedOut = false;
    bool m_ended = false;
    QPointer<QObject> m_context;
    Finished m_finished;
};

} // namespace kestrel
