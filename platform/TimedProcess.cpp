#include "TimedProcess.h"

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace kestrel {

void TimedProcess::start(const QString& program, const QStringList& arguments, int timeLimitMs,
                         QObject* context, Finished finished)
{
    start(program, arguments, timeLimitMs, context, std::move(finished), ProgramBounds{});
}

void TimedProcess::start(const QString& program, const QStringList& arguments, int timeLimitMs,
                         QObject* context, Finished finished, const ProgramBounds& bounds)
{
    auto* watched = new TimedProcess(context, std::move(finished));
    watched->m_process.setProgram(program);
    watched->m_process.setArguments(arguments);
    watched->m_process.setStandardInputFile(QProcess::nullDevice());
    watched->m_process.setStandardOutputFile(QProcess::nullDevice());
    if (bounds.memoryBytes > 0) {
        // In the child, between fork and exec: only async-signal-safe calls.
        const auto bytes = static_cast<rlim_t>(bounds.memoryBytes);
        watched->m_process.setChildProcessModifier([bytes] {
            const rlimit limit{bytes, bytes};
            ::setrlimit(RLIMIT_AS, &limit);
        });
    }
    if (bounds.stopWithContext && context) {
        // Killed now; its end still comes through finished(), unreported.
        connect(context, &QObject::destroyed, watched, [watched] { watched->m_process.kill(); });
    }
    watched->m_timeLimit.start(qMax(1, timeLimitMs));
    watched->m_process.start();
}

TimedProcess::TimedProcess(QObject* context, Finished finished)
    : m_context(context), m_finished(std::move(finished))
{
    m_timeLimit.setSingleShot(true);
    connect(&m_timeLimit, &QTimer::timeout, this, &TimedProcess::onTimeLimit);
    connect(&m_process, &QProcess::finished, this, &TimedProcess::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &TimedProcess::onError);
    connect(&m_process, &QProcess::readyReadStandardError, this, &TimedProcess::onStandardError);
}

void TimedProcess::onStandardError()
{
    // The end is kept: that is where the reason of a failure comes.
    m_standardError += m_process.readAllStandardError();
    if (m_standardError.size() > MaxErrorBytes)
        m_standardError.remove(0, m_standardError.size() - MaxErrorBytes);
}

void TimedProcess::onTimeLimit()
{
    // Its end comes through finished(), as for any other end.
    m_timedOut = true;
    m_process.kill();
}

void TimedProcess::onError(QProcess::ProcessError error)
{
    // Every other error is followed by finished().
    if (error == QProcess::FailedToStart)
        end({ProgramOutcome::End::NotStarted, 0, m_process.errorString()});
}

void TimedProcess::onFinished(int exitCode, QProcess::ExitStatus status)
{
    onStandardError();
    if (m_timedOut)
        end({ProgramOutcome::End::TimedOut, exitCode, lastErrorLine()});
    else if (status == QProcess::CrashExit)
        end({ProgramOutcome::End::Crashed, exitCode, lastErrorLine()});
    else
        end({ProgramOutcome::End::Exited, exitCode, lastErrorLine()});
}

QString TimedProcess::lastErrorLine() const
{
    // Warnings may come first; the reason for a failure is its last word.
    const QStringList lines = QString::fromLocal8Bit(m_standardError).split(u'\n', Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        if (!line->trimmed().isEmpty())
            return line->trimmed();
    }
    return {};
}

void TimedProcess::end(const ProgramOutcome& outcome)
{
    if (m_ended)
        return;
    m_ended = true;
    m_timeLimit.stop();
    deleteLater();
    // Posted: never from inside start() or the process's own signal, and
    // dropped when the context has gone by then.
    if (m_context && m_finished)
        QTimer::singleShot(0, m_context, [finished = m_finished, outcome] { finished(outcome); });
}

} // namespace kestrel
