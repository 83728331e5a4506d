#pragma once

#include "PrinterSetup.h"

#include <QObject>

#include <memory>

namespace kestrel {

// Runs checkCapturePrinter on a worker thread of its own, so that a print
// system that does not answer (libcups waits a minute per question) never
// holds up the thread of the windows. One check at a time. The worker holds
// only shared data: when this object goes first, the worker is left to end
// by itself, never waited for, and its answer is dropped.
class AsyncPrinterCheck : public QObject
{
    Q_OBJECT
public:
    explicit AsyncPrinterCheck(std::shared_ptr<IPrinterSystem> system, QObject* parent = nullptr);
    ~AsyncPrinterCheck() override;

    // Starts checking and returns at once; false, and nothing started, while
    // a check runs.
    bool start(const QString& printerName);
    bool isRunning() const { return m_running; }
    // The printer of the check running, or of the last one.
    const QString& printerName() const { return m_printerName; }

Q_SIGNALS:
    // On this object's thread, once per check.
    void finished(const QString& printerName, const kestrel::PrinterCheck& result);

private:
    struct Mailbox;
    static void work(const std::shared_ptr<Mailbox>& mailbox, const std::shared_ptr<IPrinterSystem>& system,
                     const QString& printerName);
    void deliver(const QString& printerName, const PrinterCheck& result);

    std::shared_ptr<IPrinterSystem> m_system;
    std::shared_ptr<Mailbox> m_mailbox;
    bool m_running = false;
    QString m_printerName;
};

} // namespace kestrel
