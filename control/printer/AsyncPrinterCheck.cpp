#include "AsyncPrinterCheck.h"

#include <QTimer>

#include <mutex>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

namespace kestrel {

// Where a worker leaves its answer. The receiver is cleared, under the lock,
// before it is destroyed; an answer posted before that is dropped with the
// receiver's pending events.
struct AsyncPrinterCheck::Mailbox
{
    std::mutex mutex;
    AsyncPrinterCheck* receiver = nullptr;
};

AsyncPrinterCheck::AsyncPrinterCheck(std::shared_ptr<IPrinterSystem> system, QObject* parent)
    : QObject(parent), m_system(std::move(system)), m_mailbox(std::make_shared<Mailbox>())
{
    m_mailbox->receiver = this;
}

AsyncPrinterCheck::~AsyncPrinterCheck()
{
    const std::lock_guard lock(m_mailbox->mutex);
    m_mailbox->receiver = nullptr;
}

bool AsyncPrinterCheck::start(const QString& printerName)
{
    if (m_running)
        return false;
    m_running = true;
    m_printerName = printerName;
    try {
        std::thread(&AsyncPrinterCheck::work, m_mailbox, m_system, printerName).detach();
    } catch (const std::system_error& error) {
        // Asking here instead could hold the windows a minute: say why not.
        const PrinterCheck failed{
            {printer::ErrPrintSystemUnavailable, u"cannot ask the print system: no thread for it (%1)"_s.arg(
                                                     QString::fromLocal8Bit(error.what()))},
            {}};
        QTimer::singleShot(0, this, [this, printerName, failed] { deliver(printerName, failed); });
    }
    return true;
}

void AsyncPrinterCheck::work(const std::shared_ptr<Mailbox>& mailbox,
                             const std::shared_ptr<IPrinterSystem>& system, const QString& printerName)
{
    const PrinterCheck result = checkCapturePrinter(*system, printerName);
    const std::lock_guard lock(mailbox->mutex);
    if (AsyncPrinterCheck* receiver = mailbox->receiver) {
        QMetaObject::invokeMethod(
            receiver, [receiver, printerName, result] { receiver->deliver(printerName, result); },
            Qt::QueuedConnection);
    }
}

void AsyncPrinterCheck::deliver(const QString& printerName, const PrinterCheck& result)
{
    m_running = false;
    Q_EMIT finished(printerName, result);
}

} // namespace kestrel
