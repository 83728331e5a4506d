#pragma once

#include "ContactStore.h"

#include <QThread>

#include <memory>

namespace kestrel {

class ContactDatabase;

// The contacts of one desk in the SQLite file RUBRICA names, read and
// written by ContactDatabase on a thread of its own: SQLite connections
// belong to the thread that opens them, and a file another program holds
// locked costs that thread the busy timeout, never the window. Requests run
// one after the other in the order made; each answer comes back on the
// thread that owns the store.
//
// A failure's message (Failed, or the Error of a listing) is the text of the
// SQL error dialog, which the window shows on its own thread with
// ContactDatabase::showSqlErrorDialog.
class FileContactStore final : public ContactStore
{
    Q_OBJECT
public:
    explicit FileContactStore(QString databasePath, QObject* parent = nullptr);
    // Waits for the statement running, if any; requests not begun are
    // dropped and never answered.
    ~FileContactStore() override;

    QString description() const override { return m_databasePath; }
    QString inUse() const override;
    bool isReadOnly() const override { return false; }

    // How long a statement waits for a file another program holds locked
    // before it fails (ContactDatabase::DefaultBusyTimeoutMs unless set);
    // holds for the requests made after it.
    void setBusyTimeout(int milliseconds);

    int list() override;
    int add(const ContactRow& row) override;
    int change(const ContactRow& listed, const ContactRow& row) override;
    int remove(const ContactRow& listed) override;

    QString nameOfNumber(const QString& number) const override;

private:
    // What runs on the worker: the database and the dialog text of its last
    // failure. Touched on the worker's thread only.
    struct Worker;

    int nextTicket();
    // Runs work on the worker's thread.
    void post(std::function<void(Worker&)> work);
    void finishChange(int ticket, const ChangeResult& result);

    QString m_databasePath;
    QThread m_thread;
    QObject* m_context; // lives on m_thread, deleted there
    std::unique_ptr<Worker> m_worker;
    QList<ContactRow> m_lastListing;
    int m_lastTicket = 0;
};

} // namespace kestrel
