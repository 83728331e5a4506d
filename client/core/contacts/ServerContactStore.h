#pragma once

#include "ContactStore.h"

#include <QList>
#include <QString>
#include <QThread>
#include <QTimer>

namespace kestrel {

class ServerContactWorker;

// The office's shared address book on a PostgreSQL server, named by a
// libpq connection URI ("postgresql://user@host:port/dbname?sslmode=...").
// libpq reads the URI and finds the password where PostgreSQL users keep it
// (~/.pgpass, PGPASSFILE, a service file); one written into the URI works
// too and never shows in a text of this class.
//
// Every statement runs on a thread of the store's own, on its own
// connection, with a time limit; answers come back as signals on the
// owner's thread. The connection listens for the changes every desk makes
// (a trigger on the table notifies them) and the store says contactsChanged.
// A server that stops answering altogether has its connection cut once a
// statement has waited 10 seconds. When the server goes away the store turns read-only, tries again by itself
// at growing intervals, and says availabilityChanged both ways. Its last
// listing is kept in a private file (ListingCopy): a program started while
// the server is away lists those contacts, read-only.
class ServerContactStore : public ContactStore
{
    Q_OBJECT
public:
    explicit ServerContactStore(const QString& uri, QObject* parent = nullptr);
    // Cuts the statement in hand; waits for a connection attempt, at most
    // its time limit (5 s unless the URI sets connect_timeout).
    ~ServerContactStore() override;

    // Whether text names a server (a connection URI) rather than a file.
    static bool isServerAddress(const QString& text);
    // text with the password of a URI or of a "password=" option masked.
    static QString maskPassword(const QString& text);
    // The script an administrator runs where desks may not create the table.
    static QString setupScriptPath();

    QString description() const override;
    QString inUse() const override;
    bool isReadOnly() const override { return !m_reachable; }

    int list() override;
    int add(const ContactRow& row) override;
    int change(const ContactRow& listed, const ContactRow& row) override;
    int remove(const ContactRow& listed) override;
    QString nameOfNumber(const QString& number) const override;

private:
    friend class ServerContactWorker;
    // The private copy of an earlier run's last listing, until the server
    // gives one.
    void deliverCopy(const QList<ContactRow>& rows);
    void deliverListing(int ticket, const Expected<QList<ContactRow>>& rows);
    void deliverChange(int ticket, const ContactRow& listed, const ChangeResult& result);
    void deliverAvailability(bool reachable);
    int refuseNul(int ticket);

    QString m_uri;
    QThread m_thread;
    // Cuts a statement that waits on a server that stopped answering.
    QTimer m_stallWatch;
    ServerContactWorker* m_worker = nullptr;
    QList<ContactRow> m_rows;
    bool m_reachable = true;
    bool m_listedOnce = false; // m_rows holds a listing the server gave, now or in an earlier run
    int m_nextTicket = 0;
};

} // namespace kestrel
