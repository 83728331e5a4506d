#pragma once

#include "AsyncPrinterCheck.h"
#include "Logger.h"
#include "PrinterSetup.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace kestrel {

class IMessageBox;

// The control's printer step. The print system is asked off the thread of
// the windows; what the user must see (the installation box, lpadmin's
// failure) waits until the control is not in the middle of a submission,
// since a modal box opened inside one of its waits would hold it up until
// the user closes the box.
class BackgroundPrinterSetup : public QObject
{
    Q_OBJECT
public:
    // How often a box that waits for the control looks again.
    static constexpr int BusyRetryMs = 200;

    struct Hooks
    {
        // The control's message box, as its site gives it at that moment.
        std::function<IMessageBox&()> messageBox;
        // True while a box would hold up the control (a submission or a
        // status request under way).
        std::function<bool()> busy;
        Logger log;
    };

    BackgroundPrinterSetup(std::shared_ptr<IPrinterSystem> system, Hooks hooks,
                           PrinterSetup::Label systemLabel = {}, PrinterSetup::Label versionLabel = {},
                           RunOnce& once = RunOnce::printerInstallation(), QObject* parent = nullptr);

    // Starts a check of the printer and returns at once; while one runs,
    // nothing more. A missing printer is then installed (once per run); an
    // error comes as problem(). timeLimitMs bounds lpadmin.
    void check(const QString& printerName, int timeLimitMs);

    // How long the activation waits for the print system's answer before it
    // goes on and lets the answer come in the background: an error the print
    // system gives at once (no scheduler running) is the activation's own.
    static constexpr int QuickAnswerMs = 1000;
    // As check(), then waits (events go on meanwhile) at most quickMs for
    // the answer of the check it started: an error that came by then is
    // returned, not told as problem(); one that comes later is.
    [[nodiscard]] MethodError checkQuickly(const QString& printerName, int timeLimitMs,
                                           int quickMs = QuickAnswerMs);

    // Why a printer check failed, in the user's words, by its error number.
    static QString problemText(int errorNumber);

    // The same, waiting for the answer (events go on meanwhile) at most
    // timeLimitMs. Errors come back here instead of as problem().
    [[nodiscard]] MethodError checkAndWait(const QString& printerName, int timeLimitMs);

Q_SIGNALS:
    // A check started by check() failed: a text for the user. The same
    // trouble again is not said again until a check has succeeded.
    void problem(const QString& text);

private:
    void onChecked(const QString& printerName, const PrinterCheck& result);
    void onCheckedInBackground(const QString& printerName, const PrinterCheck& result);
    // again: lpadmin runs even when its box was shown in this run already.
    void queueInstall(const QString& printerName, const QString& program, bool again);
    void queueStep(std::function<void()> step);
    void runSteps();
    void log(const QString& line) const;

    std::shared_ptr<IPrinterSystem> m_system;
    Hooks m_hooks;
    PrinterSetup m_setup;
    AsyncPrinterCheck m_check;
    int m_timeLimitMs = 60000;
    // Callers of checkAndWait() waiting; they take the answer themselves.
    int m_waiters = 0;
    quint64 m_answers = 0;
    PrinterCheck m_lastAnswer;
    QString m_lastProblem;
    // What the user must see, in order, once the control is free.
    QList<std::function<void()>> m_steps;
    QTimer m_stepTimer;
    bool m_inStep = false;
    bool m_installQueued = false;
};

} // namespace kestrel
