#include "BackgroundPrinterSetup.h"

#include "ControlTexts.h"
#include "MessageBox.h"
#include "Wait.h"

#include <QDeadlineTimer>
#include <QPointer>

using namespace Qt::StringLiterals;

namespace kestrel {

QString BackgroundPrinterSetup::problemText(int errorNumber)
{
    switch (errorNumber) {
    case printer::ErrBadPrinterName:
        return texts::PrinterNameInvalid;
    case printer::ErrNameTaken:
        return texts::PrinterNameTaken;
    case printer::ErrProgramNotFound:
        return texts::PrinterAdminMissing;
    default:
        return texts::PrinterSystemUnavailable;
    }
}

BackgroundPrinterSetup::BackgroundPrinterSetup(std::shared_ptr<IPrinterSystem> system, Hooks hooks,
                                               PrinterSetup::Label systemLabel,
                                               PrinterSetup::Label versionLabel, RunOnce& once,
                                               QObject* parent)
    : QObject(parent), m_system(std::move(system)), m_hooks(std::move(hooks)),
      m_setup(*m_system, std::move(systemLabel), std::move(versionLabel), once), m_check(m_system)
{
    m_setup.setLogger(m_hooks.log);
    m_stepTimer.setSingleShot(true);
    connect(&m_stepTimer, &QTimer::timeout, this, &BackgroundPrinterSetup::runSteps);
    connect(&m_check, &AsyncPrinterCheck::finished, this, &BackgroundPrinterSetup::onChecked);
}

void BackgroundPrinterSetup::log(const QString& line) const
{
    if (m_hooks.log)
        m_hooks.log(line);
}

void BackgroundPrinterSetup::check(const QString& printerName, int timeLimitMs)
{
    m_timeLimitMs = timeLimitMs;
    if (!m_check.start(printerName))
        log(u"VerificaStampante: the print system is still being asked about %1"_s.arg(
            m_check.printerName()));
}

MethodError BackgroundPrinterSetup::checkQuickly(const QString& printerName, int timeLimitMs, int quickMs)
{
    // A check that an earlier activation started and that still waits for
    // the print system is not waited for again.
    const bool earlier = m_check.isRunning();
    check(printerName, timeLimitMs);
    if (earlier || !m_check.isRunning())
        return {};
    const QPointer<BackgroundPrinterSetup> alive(this);
    ++m_waiters;
    const quint64 before = m_answers;
    waitUntil([&] { return !alive || m_answers != before; }, quickMs);
    if (!alive)
        return {};
    --m_waiters;
    if (m_answers == before)
        return {}; // the answer comes in the background
    const PrinterCheck answer = m_lastAnswer;
    if (answer.error.failed()) {
        log(u"VerificaStampante: "_s + answer.error.description);
        return answer.error;
    }
    m_lastProblem.clear();
    if (answer.missing())
        queueInstall(printerName, answer.program, false);
    return {};
}

MethodError BackgroundPrinterSetup::checkAndWait(const QString& printerName, int timeLimitMs)
{
    m_timeLimitMs = timeLimitMs;
    const QDeadlineTimer deadline(timeLimitMs);
    const auto remaining = [&deadline] {
        return int(qMax<qint64>(0, deadline.remainingTime()));
    };
    const QPointer<BackgroundPrinterSetup> alive(this);
    const MethodError gone{printer::ErrPrintSystemUnavailable,
                           u"the control was closed while it waited for the print system"_s};

    // One check at a time: one about another printer ends first, one about
    // this printer answers for this call too.
    if (m_check.isRunning() && m_check.printerName() != printerName)
        waitUntil([&] { return !alive || !m_check.isRunning(); }, remaining());
    if (!alive)
        return gone;
    if (!m_check.isRunning())
        m_check.start(printerName);
    const bool ours = m_check.printerName() == printerName;

    ++m_waiters;
    const quint64 before = m_answers;
    const WaitOutcome outcome =
        ours ? waitUntil([&] { return !alive || m_answers != before; }, remaining()) : WaitOutcome::TimedOut;
    if (!alive)
        return gone;
    --m_waiters;
    if (m_answers == before) {
        const QString why = outcome == WaitOutcome::Interrupted
                                ? u"the program was asked to quit before the print system answered"_s
                                : u"the print system did not answer within %1 s"_s.arg(timeLimitMs / 1000.0);
        log(u"VerificaStampante: "_s + why);
        return {printer::ErrPrintSystemUnavailable, why};
    }
    const PrinterCheck answer = m_lastAnswer;
    if (answer.error.failed()) {
        log(u"VerificaStampante: "_s + answer.error.description);
        return answer.error;
    }
    m_lastProblem.clear();
    if (answer.missing()) {
        // Asked for by the host: a printer still missing is installed
        // again (the box only once per run).
        queueInstall(printerName, answer.program, true);
        runSteps(); // the box within this call, unless the control is busy
    }
    return {};
}

void BackgroundPrinterSetup::onChecked(const QString& printerName, const PrinterCheck& result)
{
    ++m_answers;
    m_lastAnswer = result;
    if (m_waiters == 0)
        onCheckedInBackground(printerName, result);
}

void BackgroundPrinterSetup::onCheckedInBackground(const QString& printerName, const PrinterCheck& result)
{
    if (result.error.failed()) {
        // The user reads why in words of the user's; the print system's own
        // go to the debug log.
        log(u"VerificaStampante: "_s + result.error.description);
        const QString text = texts::printerNotChecked(printerName, problemText(result.error.number));
        if (text != m_lastProblem) {
            m_lastProblem = text;
            Q_EMIT problem(text);
        }
        return;
    }
    m_lastProblem.clear();
    if (result.missing())
        queueInstall(printerName, result.program, false);
}

void BackgroundPrinterSetup::queueInstall(const QString& printerName, const QString& program, bool again)
{
    if (m_installQueued)
        return;
    m_installQueued = true;
    queueStep([this, printerName, program, again] {
        m_installQueued = false;
        // lpadmin's failure is told in a box of the control rather than as a
        // notice: the notice goes after a few seconds, and the user must be
        // able to read the reason and the administrator's command. The box
        // takes its turn like this one, so it never holds up a submission.
        m_setup.install(
            printerName, program, m_hooks.messageBox(), m_timeLimitMs, this,
            [this](const QString& text) {
                queueStep([this, text] {
                    m_hooks.messageBox().show({text, texts::BoxTitle, MsgIcon::Exclamation, MsgButtons::Ok});
                });
            },
            again);
    });
}

void BackgroundPrinterSetup::queueStep(std::function<void()> step)
{
    m_steps.append(std::move(step));
    if (!m_stepTimer.isActive())
        m_stepTimer.start(0);
}

void BackgroundPrinterSetup::runSteps()
{
    const auto holdUp = [this] {
        return m_inStep || (m_hooks.busy && m_hooks.busy());
    };
    const QPointer<BackgroundPrinterSetup> alive(this);
    while (!m_steps.isEmpty()) {
        if (holdUp()) {
            m_stepTimer.start(BusyRetryMs);
            return;
        }
        const std::function<void()> step = m_steps.takeFirst();
        m_inStep = true;
        step(); // a modal box: anything may run meanwhile, our end included
        if (!alive)
            return;
        m_inStep = false;
    }
}

} // namespace kestrel
