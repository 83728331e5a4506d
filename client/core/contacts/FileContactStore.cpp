#include "FileContactStore.h"

#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "MessageBox.h"
#include "NormalizeFaxNumber.h"

#include <QPointer>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The worker's database never shows a dialog (its failures are reported to
// the window instead); should one be asked for, nobody answers it.
class NoMessageBox final : public IMessageBox
{
public:
    MsgAnswer show(const MessageBoxRequest& request) override { return defaultAnswer(request.buttons); }
};

} // namespace

struct FileContactStore::Worker
{
    explicit Worker(const QString& path) : database(path, box)
    {
        database.reportFailuresTo([this](const QString& dialogText) { lastFailure = dialogText; });
    }

    // The dialog text of the failure of the statement just run.
    QString takeFailure() { return std::exchange(lastFailure, QString()); }

    ChangeResult resultOf(ContactDatabase::Change change)
    {
        switch (change) {
        case ContactDatabase::Change::Made:
            return {Outcome::Done, {}, std::nullopt};
        case ContactDatabase::Change::RowChanged:
            return {Outcome::RowChanged, {}, std::nullopt};
        case ContactDatabase::Change::Failed:
            break;
        }
        return {Outcome::Failed, takeFailure(), std::nullopt};
    }

    NoMessageBox box;
    ContactDatabase database;
    QString lastFailure;
};

FileContactStore::FileContactStore(QString databasePath, QObject* parent)
    : ContactStore(parent), m_databasePath(std::move(databasePath)), m_context(new QObject),
      m_worker(std::make_unique<Worker>(m_databasePath))
{
    m_thread.setObjectName(u"contacts"_s);
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

FileContactStore::~FileContactStore()
{
    // Deleted on its own thread, once the statement running is over.
    m_context->deleteLater();
    m_thread.quit();
    m_thread.wait();
}

QString FileContactStore::inUse() const
{
    return texts::sharedbook::fileInUse(m_databasePath);
}

void FileContactStore::setBusyTimeout(int milliseconds)
{
    post([milliseconds](Worker& worker) { worker.database.setBusyTimeout(milliseconds); });
}

int FileContactStore::nextTicket()
{
    return ++m_lastTicket;
}

void FileContactStore::post(std::function<void(Worker&)> work)
{
    Worker* worker = m_worker.get();
    QMetaObject::invokeMethod(
        m_context, [worker, work = std::move(work)] { work(*worker); }, Qt::QueuedConnection);
}

int FileContactStore::list()
{
    const int ticket = nextTicket();
    post([this, ticket](Worker& worker) {
        Expected<QList<ContactRow>> rows = worker.database.listContacts();
        if (!rows)
            rows = Error{worker.takeFailure(), rows.error().number};
        // The store outlives the worker's thread: its destructor waits for
        // it, and answers not yet delivered go with the store.
        QMetaObject::invokeMethod(
            this,
            [this, ticket, rows] {
                if (rows)
                    m_lastListing = *rows;
                Q_EMIT listed(ticket, rows);
            },
            Qt::QueuedConnection);
    });
    return ticket;
}

int FileContactStore::add(const ContactRow& row)
{
    const int ticket = nextTicket();
    post([this, ticket, row](Worker& worker) {
        const Status status = worker.database.insertContact(row);
        const ChangeResult result = status
                                        ? ChangeResult{Outcome::Done, {}, std::nullopt}
                                        : ChangeResult{Outcome::Failed, worker.takeFailure(), std::nullopt};
        QMetaObject::invokeMethod(
            this, [this, ticket, result] { finishChange(ticket, result); }, Qt::QueuedConnection);
    });
    return ticket;
}

int FileContactStore::change(const ContactRow& listed, const ContactRow& row)
{
    const int ticket = nextTicket();
    post([this, ticket, listed, row](Worker& worker) {
        const ChangeResult result = worker.resultOf(worker.database.replaceContact(listed, row));
        QMetaObject::invokeMethod(
            this, [this, ticket, result] { finishChange(ticket, result); }, Qt::QueuedConnection);
    });
    return ticket;
}

int FileContactStore::remove(const ContactRow& listed)
{
    const int ticket = nextTicket();
    post([this, ticket, listed](Worker& worker) {
        const ChangeResult result = worker.resultOf(worker.database.deleteContact(listed));
        QMetaObject::invokeMethod(
            this, [this, ticket, result] { finishChange(ticket, result); }, Qt::QueuedConnection);
    });
    return ticket;
}

void FileContactStore::finishChange(int ticket, const ChangeResult& result)
{
    // A receiver may delete the store.
    const QPointer<FileContactStore> alive(this);
    Q_EMIT changeFinished(ticket, result);
    if (alive && result.outcome == Outcome::Done)
        Q_EMIT contactsChanged();
}

QString FileContactStore::nameOfNumber(const QString& number) const
{
    const QString wanted = FaxNumberDigits(number);
    if (wanted.isEmpty())
        return {};
    for (const ContactRow& row : m_lastListing) {
        if (FaxNumberDigits(row.number) == wanted)
            return row.description;
    }
    return {};
}

} // namespace kestrel
