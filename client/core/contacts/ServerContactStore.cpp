#include "ServerContactStore.h"

#include "ClientTexts.h"
#include "ListingCopy.h"
#include "NormalizeFaxNumber.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaObject>
#include <QPointer>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

#include <libpq-fe.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <utility>

using namespace Qt::StringLiterals;

namespace kestrel {

namespace {

// The table's name is the one of the desk's file; the channel its changes
// are announced on has the same name.
const auto Channel = u"anagrafica"_s;
// Limits of every statement and of a connection attempt.
constexpr int StatementTimeoutMs = 5000;
constexpr int ConnectTimeoutSeconds = 5;
// How often a lost connection is noticed, and the waits between attempts.
constexpr int WatchIntervalMs = 1000;
constexpr int FirstRetryMs = 500;
constexpr int LastRetryMs = 8000;
// A statement still without an answer this long after the server's own
// limit has a server that stopped answering (a frozen host, a dead link that
// still acknowledges): its connection is cut from the owner's thread.
constexpr int StallLimitMs = StatementTimeoutMs + 5000;
// SQLSTATE of insufficient_privilege.
const auto PermissionDenied = u"42501"_s;

// What the store creates when the role may; share/kestrel/rubrica-server.sql
// holds the same for an administrator, with the desk role's grants.
const QStringList CreateStatements = {
    u"CREATE TABLE anagrafica (id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, fax text NOT NULL DEFAULT "
    u"'', "
    u"nome text NOT NULL DEFAULT '', gruppo text NOT NULL DEFAULT '', version bigint NOT NULL DEFAULT 1)"_s,
    u"CREATE OR REPLACE FUNCTION anagrafica_notify() RETURNS trigger LANGUAGE plpgsql AS "
    u"$$BEGIN PERFORM pg_notify('anagrafica', ''); RETURN NULL; END$$"_s,
    u"CREATE TRIGGER anagrafica_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON anagrafica "
    u"FOR EACH STATEMENT EXECUTE FUNCTION anagrafica_notify()"_s,
};

QString text(const QSqlQuery& query, int column)
{
    return query.value(column).toString();
}

ContactRow rowOf(const QSqlQuery& query)
{
    return ContactRow{text(query, 1), text(query, 2), text(query, 3), query.value(0).toLongLong(),
                      query.value(4).toLongLong()};
}

// A text to bind: an empty one stays text, never NULL.
QVariant bound(const QString& text)
{
    return text.isNull() ? QVariant(u""_s) : QVariant(text);
}

// Texts, keys and versions alike.
bool sameListing(const QList<ContactRow>& a, const QList<ContactRow>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const ContactRow& x, const ContactRow& y) {
        return x == y && x.rowid == y.rowid && x.version == y.version;
    });
}

bool hasNul(const ContactRow& row)
{
    const QChar nul(u'\0');
    return row.number.contains(nul) || row.description.contains(nul) || row.group.contains(nul);
}

// A value for libpq's keyword=value form.
QString quoted(QString value)
{
    value.replace(u'\\', u"\\\\"_s).replace(u'\'', u"\\'"_s);
    return u'\'' + value + u'\'';
}

// How the connection is opened: what libpq made of the URI, in the fields
// of QSqlDatabase and its connect options.
struct ConnectionSettings
{
    QString host, database, user, password, options;
    int port = -1;
    QString error;
};

ConnectionSettings settingsOf(const QString& uri)
{
    ConnectionSettings settings;
    char* message = nullptr;
    PQconninfoOption* parsed = PQconninfoParse(uri.toUtf8().constData(), &message);
    if (!parsed) {
        // libpq quotes the part it could not read, which may be the password.
        static const QRegularExpression quotedPart(u"\"[^\"]*\""_s);
        settings.error = message ? QString::fromUtf8(message).trimmed() : u"?"_s;
        settings.error.replace(quotedPart, u"\"***\""_s);
        PQfreemem(message);
        return settings;
    }
    QStringList options;
    QStringList given;
    for (PQconninfoOption* option = parsed; option->keyword; ++option) {
        if (!option->val)
            continue;
        const QString key = QString::fromUtf8(option->keyword);
        const QString value = QString::fromUtf8(option->val);
        bool number = false;
        const int port = value.toInt(&number);
        if (key == "host"_L1)
            settings.host = value;
        else if (key == "dbname"_L1)
            settings.database = value;
        else if (key == "user"_L1)
            settings.user = value;
        else if (key == "password"_L1)
            settings.password = value;
        else if (key == "port"_L1 && number)
            settings.port = port;
        else if (value.contains(u';'))
            // The driver turns every ';' of its connect options into a space.
            settings.error = texts::sharedbook::semicolonIn(key);
        else
            options.append(key + u'=' + quoted(value));
        given.append(key);
    }
    PQconninfoFree(parsed);
    // A link that stops answering fails a statement within seconds instead
    // of the system's hours, unless the URI says otherwise.
    for (const auto& [key, value] : std::initializer_list<std::pair<QString, QString>>{
             {u"connect_timeout"_s, QString::number(ConnectTimeoutSeconds)},
             {u"keepalives_idle"_s, u"5"_s},
             {u"keepalives_interval"_s, u"2"_s},
             {u"keepalives_count"_s, u"3"_s},
             {u"tcp_user_timeout"_s, QString::number(StatementTimeoutMs + 5000)}}) {
        if (!given.contains(key))
            options.append(key + u'=' + value);
    }
    settings.options = options.join(u' ');
    return settings;
}

} // namespace

// Lives on the store's thread: owns the connection, runs the statements one
// after the other, and keeps the connection alive.
class ServerContactWorker : public QObject
{
public:
    ServerContactWorker(ServerContactStore* store, const QString& uri)
        : m_store(store), m_settings(settingsOf(uri)), m_uri(uri),
          m_where(ServerContactStore::maskPassword(uri))
    {
        // Children, so that they move to the worker's thread with it.
        m_watch.setParent(this);
        m_retry.setParent(this);
        static std::atomic_int serial = 0;
        m_name = u"kestrel-server-contacts-"_s + QString::number(++serial);
        m_watch.setInterval(WatchIntervalMs);
        m_retry.setSingleShot(true);
        QObject::connect(&m_watch, &QTimer::timeout, this, [this] { watch(); });
        QObject::connect(&m_retry, &QTimer::timeout, this, [this] { open(); });
    }
    ~ServerContactWorker() override
    {
        close();
        QSqlDatabase::removeDatabase(m_name);
    }

    // From the owner's thread: cuts the connection under a statement that
    // has waited past StallLimitMs; the statement then fails as if the
    // server had gone.
    // immediately: whatever it has waited (the store is going away).
    void cutStalled(bool immediately = false);

    // The copy of the last listing an earlier run read, for a start while
    // the server is away; runs before the first connection attempt.
    void restore();
    void open();
    void list(int ticket);
    void add(int ticket, const ContactRow& row);
    void change(int ticket, const ContactRow& listed, const ContactRow& row);
    void remove(int ticket, const ContactRow& listed);

private:
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }
    void close();
    // The connection is gone: the store turns read-only, a new try follows.
    void lost(const QString& why);
    bool ensureTable(QString* why);
    // Runs statement with values; on failure why holds the store's message
    // and a lost connection has been noticed.
    bool exec(QSqlQuery& query, const QString& statement, const QVariantList& values, QString* why);
    QString clean(QString message) const;
    std::optional<ContactRow> current(qint64 id);
    void answer(int ticket, const ContactRow& listed, const ContactStore::ChangeResult& result);
    void watch();

    // While a statement runs: a duplicate of its socket (shutting it down
    // acts on the connection, and it cannot be closed and reused meanwhile)
    // and when it started.
    class Busy
    {
    public:
        explicit Busy(ServerContactWorker& worker);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        ServerContactWorker& m_worker;
    };
    static qint64 now()
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    PGconn* connection() const;

    template <typename F> void toStore(F&& f)
    {
        QMetaObject::invokeMethod(m_store, std::forward<F>(f), Qt::QueuedConnection);
    }

    ServerContactStore* m_store;
    ConnectionSettings m_settings;
    QString m_uri;
    QString m_where;
    // The private copy of the last listing; empty when there is no place
    // for one. m_copied: what it holds.
    QString m_copyPath;
    QList<ContactRow> m_copied;
    QString m_name;
    QString m_awayReason;
    QTimer m_watch;
    QTimer m_retry;
    int m_retryMs = FirstRetryMs;
    bool m_open = false;
    bool m_reportedReachable = true;
    bool m_notified = false;
    std::mutex m_busyLock;
    int m_busySocket = -1;
    qint64 m_busySince = 0;
};

ServerContactWorker::Busy::Busy(ServerContactWorker& worker) : m_worker(worker)
{
    PGconn* connection = worker.connection();
    const int socket = connection ? PQsocket(connection) : -1;
    const std::lock_guard lock(worker.m_busyLock);
    worker.m_busySocket = socket >= 0 ? ::dup(socket) : -1;
    worker.m_busySince = now();
}

ServerContactWorker::Busy::~Busy()
{
    const std::lock_guard lock(m_worker.m_busyLock);
    if (m_worker.m_busySocket >= 0)
        ::close(m_worker.m_busySocket);
    m_worker.m_busySocket = -1;
    m_worker.m_busySince = 0;
}

void ServerContactWorker::cutStalled(bool immediately)
{
    const std::lock_guard lock(m_busyLock);
    if (m_busySocket >= 0 && (immediately || now() - m_busySince > StallLimitMs))
        ::shutdown(m_busySocket, SHUT_RDWR);
}

PGconn* ServerContactWorker::connection() const
{
    if (!QSqlDatabase::contains(m_name))
        return nullptr;
    const QVariant handle = database().driver()->handle();
    return handle.isValid() ? *static_cast<PGconn* const*>(handle.constData()) : nullptr;
}

QString ServerContactWorker::clean(QString message) const
{
    // libpq does not repeat a password in its messages; should one ever do,
    // it is masked (a very short one would mask ordinary words instead).
    if (m_settings.password.size() >= 4)
        message.replace(m_settings.password, u"***"_s);
    return ServerContactStore::maskPassword(message.trimmed());
}

void ServerContactWorker::close()
{
    m_watch.stop();
    m_open = false;
    if (QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = database();
        db.close();
    }
}

void ServerContactWorker::lost(const QString& why)
{
    close();
    m_awayReason = why;
    m_retry.start(m_retryMs);
    m_retryMs = std::min(m_retryMs * 2, LastRetryMs);
    if (m_reportedReachable) {
        m_reportedReachable = false;
        toStore([store = m_store] { store->deliverAvailability(false); });
    }
}

void ServerContactWorker::restore()
{
    const Expected<QString> path = ListingCopy::pathFor(m_uri);
    if (!path) {
        qWarning("kestrel: no copy of the shared address book: %s", qPrintable(path.error().message));
        return;
    }
    m_copyPath = *path;
    const Expected<QList<ContactRow>> copy = ListingCopy::read(m_copyPath);
    if (!copy) {
        if (copy.error().number != ENOENT)
            qWarning("kestrel: copy of the shared address book left alone: %s",
                     qPrintable(copy.error().message));
        return;
    }
    m_copied = *copy;
    toStore([store = m_store, rows = *copy] { store->deliverCopy(rows); });
}

void ServerContactWorker::open()
{
    if (!m_settings.error.isEmpty()) {
        m_awayReason = texts::sharedbook::badAddress(m_where, clean(m_settings.error));
        m_reportedReachable = false;
        toStore([store = m_store] { store->deliverAvailability(false); });
        return;
    }
    if (!QSqlDatabase::contains(m_name)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QPSQL"_s, m_name);
        db.setHostName(m_settings.host);
        db.setDatabaseName(m_settings.database);
        db.setUserName(m_settings.user);
        db.setPassword(m_settings.password);
        db.setPort(m_settings.port);
        db.setConnectOptions(m_settings.options);
    }
    QSqlDatabase db = database();
    if (!db.open()) {
        lost(texts::sharedbook::unreachable(m_where, clean(db.lastError().text())));
        return;
    }
    m_open = true;
    QSqlQuery query(db);
    QString why;
    if (!exec(query, u"SET statement_timeout = "_s + QString::number(StatementTimeoutMs), {}, &why) ||
        !ensureTable(&why)) {
        if (m_open)
            lost(why);
        return;
    }
    // The driver stays the same across reconnections: connected once.
    QSqlDriver* driver = db.driver();
    if (!m_notified) {
        m_notified = true;
        QObject::connect(driver, &QSqlDriver::notification, this, [this](const QString&) {
            toStore([store = m_store] { Q_EMIT store->contactsChanged(); });
        });
    }
    if (!driver->subscribeToNotification(Channel)) {
        lost(texts::sharedbook::unreachable(m_where, clean(driver->lastError().text())));
        return;
    }
    m_retryMs = FirstRetryMs;
    m_awayReason.clear();
    m_watch.start();
    if (!m_reportedReachable) {
        m_reportedReachable = true;
        toStore([store = m_store] {
            QPointer<ServerContactStore> alive(store);
            store->deliverAvailability(true);
            if (alive)
                Q_EMIT store->contactsChanged();
        });
    }
}

bool ServerContactWorker::ensureTable(QString* why)
{
    QSqlQuery query(database());
    if (!exec(query, u"SELECT to_regclass('anagrafica') IS NOT NULL"_s, {}, why))
        return false;
    if (query.next() && query.value(0).toBool())
        return true;
    QSqlDatabase db = database();
    const Busy busy(*this);
    db.transaction();
    for (const QString& statement : CreateStatements) {
        QSqlQuery create(db);
        if (create.exec(statement))
            continue;
        const QSqlError error = create.lastError();
        db.rollback();
        // Another desk may have made it meanwhile.
        QSqlQuery again(db);
        if (again.exec(u"SELECT to_regclass('anagrafica') IS NOT NULL"_s) && again.next() &&
            again.value(0).toBool())
            return true;
        if (error.nativeErrorCode() == PermissionDenied)
            *why = texts::sharedbook::missingTable(m_where, ServerContactStore::setupScriptPath());
        else
            *why = texts::sharedbook::refused(m_where, clean(error.text()));
        return false;
    }
    db.commit();
    return true;
}

bool ServerContactWorker::exec(QSqlQuery& query, const QString& statement, const QVariantList& values,
                               QString* why)
{
    bool done = false;
    const Busy busy(*this);
    if (values.isEmpty()) {
        done = query.exec(statement);
    } else if (query.prepare(statement)) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        done = query.exec();
    }
    if (done)
        return true;
    const QSqlError error = query.lastError();
    PGconn* pg = connection();
    if (error.type() == QSqlError::ConnectionError || !pg || PQstatus(pg) == CONNECTION_BAD) {
        *why = texts::sharedbook::unreachable(m_where, clean(error.text()));
        lost(*why);
    } else {
        *why = texts::sharedbook::refused(m_where, clean(error.text()));
    }
    return false;
}

void ServerContactWorker::watch()
{
    PGconn* pg = connection();
    if (!pg || PQstatus(pg) == CONNECTION_BAD)
        lost(texts::sharedbook::unreachable(m_where, texts::sharedbook::ConnectionClosed));
}

namespace {

// The listing comes as one text, a row a line, its fields apart by tabs; a
// backslash, tab or line break in a text comes as \\, \t or \n. A row of
// its own for each contact would cost 27 bytes of framing, nearly as much as
// an average contact: on an office link the listing takes the time of its
// bytes, and these are a third fewer.
QString escapedColumn(QStringView column)
{
    return uR"(replace(replace(replace(%1, E'\\', E'\\\\'), E'\t', E'\\t'), E'\n', E'\\n'))"_s.arg(column);
}

const QString ListingStatement =
    uR"(SELECT string_agg(concat_ws(E'\t', id, version, %1, %2, %3), E'\n' ORDER BY gruppo, nome, id) )"
    uR"(FROM anagrafica)"_s.arg(escapedColumn(u"fax"), escapedColumn(u"nome"), escapedColumn(u"gruppo"));

// The rows of a listing text; nullopt when it is not made as above.
std::optional<QList<ContactRow>> readListing(QStringView text)
{
    QList<ContactRow> rows;
    rows.reserve(text.count(u'\n') + 1);
    // id, version, fax, nome, gruppo
    std::array<QString, 5> fields;
    std::size_t field = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const QChar c = i < text.size() ? text.at(i) : QChar(u'\n');
        if (c != u'\\' && c != u'\t' && c != u'\n')
            continue;
        if (field == fields.size())
            return std::nullopt;
        fields[field] += text.sliced(start, i - start);
        start = i + 1;
        if (c == u'\\') {
            if (i + 1 == text.size())
                return std::nullopt;
            const QChar escaped = text.at(++i);
            fields[field] += escaped == u't' ? QChar(u'\t') : escaped == u'n' ? QChar(u'\n') : escaped;
            start = i + 1;
            continue;
        }
        ++field;
        if (c == u'\t')
            continue;
        bool idRead = false;
        bool versionRead = false;
        const qint64 id = fields[0].toLongLong(&idRead);
        const qint64 version = fields[1].toLongLong(&versionRead);
        if (field != fields.size() || !idRead || !versionRead)
            return std::nullopt;
        rows.append(
            ContactRow{std::move(fields[2]), std::move(fields[3]), std::move(fields[4]), id, version});
        for (QString& each : fields)
            each = QString();
        field = 0;
    }
    return rows;
}

} // namespace

void ServerContactWorker::list(int ticket)
{
    auto deliver = [this, ticket](const Expected<QList<ContactRow>>& rows) {
        toStore([store = m_store, ticket, rows] { store->deliverListing(ticket, rows); });
    };
    if (!m_open) {
        deliver(Error{m_awayReason});
        return;
    }
    QSqlQuery query(database());
    query.setForwardOnly(true);
    QString why;
    if (!exec(query, ListingStatement, {}, &why)) {
        deliver(Error{why});
        return;
    }
    // No contact at all: no text (NULL).
    const QString text = query.next() ? query.value(0).toString() : QString();
    QList<ContactRow> rows;
    if (!text.isEmpty()) {
        std::optional<QList<ContactRow>> read = readListing(text);
        if (!read) {
            deliver(Error{texts::sharedbook::refused(m_where, u"?"_s)});
            return;
        }
        rows = std::move(*read);
    }
    // Kept for a start while the server is away; written when it changed.
    if (!m_copyPath.isEmpty() && !sameListing(rows, m_copied)) {
        if (const Status saved = ListingCopy::write(m_copyPath, rows); saved)
            m_copied = rows;
        else
            qWarning("kestrel: copy of the shared address book not written: %s",
                     qPrintable(saved.error().message));
    }
    deliver(rows);
}

std::optional<ContactRow> ServerContactWorker::current(qint64 id)
{
    QSqlQuery query(database());
    QString why;
    if (exec(query, u"SELECT id, fax, nome, gruppo, version FROM anagrafica WHERE id = ?"_s, {id}, &why) &&
        query.next())
        return rowOf(query);
    return std::nullopt;
}

void ServerContactWorker::answer(int ticket, const ContactRow& listed,
                                 const ContactStore::ChangeResult& result)
{
    toStore([store = m_store, ticket, listed, result] { store->deliverChange(ticket, listed, result); });
}

void ServerContactWorker::add(int ticket, const ContactRow& row)
{
    using Outcome = ContactStore::Outcome;
    if (!m_open) {
        answer(ticket, row, {Outcome::ReadOnly, m_awayReason, {}});
        return;
    }
    QSqlQuery query(database());
    QString why;
    if (!exec(query, u"INSERT INTO anagrafica (fax, nome, gruppo) VALUES (?, ?, ?) RETURNING id, version"_s,
              {bound(row.number), bound(row.description), bound(row.group)}, &why) ||
        !query.next()) {
        answer(ticket, row, {m_open ? Outcome::Failed : Outcome::ReadOnly, why, {}});
        return;
    }
    ContactRow stored = row;
    stored.rowid = query.value(0).toLongLong();
    stored.version = query.value(1).toLongLong();
    answer(ticket, row, {Outcome::Done, {}, stored});
}

void ServerContactWorker::change(int ticket, const ContactRow& listed, const ContactRow& row)
{
    using Outcome = ContactStore::Outcome;
    if (!m_open) {
        answer(ticket, listed, {Outcome::ReadOnly, m_awayReason, {}});
        return;
    }
    QSqlQuery query(database());
    QString why;
    if (!exec(query,
              u"UPDATE anagrafica SET fax = ?, nome = ?, gruppo = ?, version = version + 1 "
              u"WHERE id = ? AND version = ? RETURNING version"_s,
              {bound(row.number), bound(row.description), bound(row.group), listed.rowid, listed.version},
              &why)) {
        answer(ticket, listed, {m_open ? Outcome::Failed : Outcome::ReadOnly, why, {}});
        return;
    }
    if (!query.next()) {
        answer(ticket, listed, {Outcome::RowChanged, {}, current(listed.rowid)});
        return;
    }
    ContactRow stored = row;
    stored.rowid = listed.rowid;
    stored.version = query.value(0).toLongLong();
    answer(ticket, listed, {Outcome::Done, {}, stored});
}

void ServerContactWorker::remove(int ticket, const ContactRow& listed)
{
    using Outcome = ContactStore::Outcome;
    if (!m_open) {
        answer(ticket, listed, {Outcome::ReadOnly, m_awayReason, {}});
        return;
    }
    QSqlQuery query(database());
    QString why;
    if (!exec(query, u"DELETE FROM anagrafica WHERE id = ? AND version = ? RETURNING id"_s,
              {listed.rowid, listed.version}, &why)) {
        answer(ticket, listed, {m_open ? Outcome::Failed : Outcome::ReadOnly, why, {}});
        return;
    }
    if (!query.next()) {
        answer(ticket, listed, {Outcome::RowChanged, {}, current(listed.rowid)});
        return;
    }
    answer(ticket, listed, {Outcome::Done, {}, {}});
}

ServerContactStore::ServerContactStore(const QString& uri, QObject* parent)
    : ContactStore(parent), m_uri(uri), m_worker(new ServerContactWorker(this, uri))
{
    m_thread.setObjectName(u"ServerContactStore"_s);
    m_worker->moveToThread(&m_thread);
    // The worker goes with its thread, on that thread, its connection too.
    connect(
        &m_thread, &QThread::finished, m_worker, [worker = m_worker] { delete worker; },
        Qt::DirectConnection);
    m_thread.start();
    m_stallWatch.setInterval(1000);
    connect(&m_stallWatch, &QTimer::timeout, this, [this] { m_worker->cutStalled(); });
    m_stallWatch.start();
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker] {
            worker->restore();
            worker->open();
        },
        Qt::QueuedConnection);
}

ServerContactStore::~ServerContactStore()
{
    m_stallWatch.stop();
    // A statement in hand ends now; a connection attempt within its limit.
    m_worker->cutStalled(true);
    m_thread.quit();
    m_thread.wait();
}

bool ServerContactStore::isServerAddress(const QString& text)
{
    return text.startsWith("postgresql://"_L1, Qt::CaseInsensitive) ||
           text.startsWith("postgres://"_L1, Qt::CaseInsensitive);
}

QString ServerContactStore::maskPassword(const QString& text)
{
    static const QRegularExpression userInfo(u"(postgres(?:ql)?://[^:@/?#\\s]*:)[^@/?#\\s]*@"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression option(u"(\\bpassword\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|[^&\\s]*)"_s,
                                           QRegularExpression::CaseInsensitiveOption);
    QString masked = text;
    masked.replace(userInfo, u"\\1***@"_s);
    masked.replace(option, u"\\1***"_s);
    return masked;
}

QString ServerContactStore::setupScriptPath()
{
    // Beside the program first: a package built for one prefix and
    // installed under another still names the script it holds.
    if (QCoreApplication::instance()) {
        const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                               QStringLiteral("/../share/kestrel/rubrica-server.sql"));
        if (QFileInfo(beside).isFile())
            return beside;
    }
    return QStringLiteral(KESTREL_RUBRICA_SERVER_SQL);
}

QString ServerContactStore::description() const
{
    return maskPassword(m_uri);
}

QString ServerContactStore::inUse() const
{
    const ConnectionSettings settings = settingsOf(m_uri);
    if (!settings.error.isEmpty())
        return description();
    const auto given = [](const QString& part) {
        return part.isEmpty() ? texts::sharedbook::DefaultPart : part;
    };
    return texts::sharedbook::serverInUse(given(settings.host),
                                          settings.port < 0 ? texts::sharedbook::DefaultPart
                                                            : QString::number(settings.port),
                                          given(settings.database), given(settings.user));
}

int ServerContactStore::refuseNul(int ticket)
{
    QMetaObject::invokeMethod(
        this,
        [this, ticket] {
            Q_EMIT changeFinished(ticket, {Outcome::Failed, texts::sharedbook::NulCharacter, {}});
        },
        Qt::QueuedConnection);
    return ticket;
}

int ServerContactStore::list()
{
    const int ticket = ++m_nextTicket;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket] { worker->list(ticket); }, Qt::QueuedConnection);
    return ticket;
}

int ServerContactStore::add(const ContactRow& row)
{
    const int ticket = ++m_nextTicket;
    // PostgreSQL's text cannot hold a NUL: refused whole, never cut short.
    if (hasNul(row))
        return refuseNul(ticket);
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket, row] { worker->add(ticket, row); }, Qt::QueuedConnection);
    return ticket;
}

int ServerContactStore::change(const ContactRow& listed, const ContactRow& row)
{
    const int ticket = ++m_nextTicket;
    if (hasNul(row))
        return refuseNul(ticket);
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket, listed, row] { worker->change(ticket, listed, row); },
        Qt::QueuedConnection);
    return ticket;
}

int ServerContactStore::remove(const ContactRow& listed)
{
    const int ticket = ++m_nextTicket;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, ticket, listed] { worker->remove(ticket, listed); },
        Qt::QueuedConnection);
    return ticket;
}

QString ServerContactStore::nameOfNumber(const QString& number) const
{
    const QString wanted = FaxNumberDigits(number);
    if (wanted.isEmpty())
        return {};
    for (const ContactRow& row : m_rows) {
        if (FaxNumberDigits(row.number) == wanted)
            return row.description;
    }
    return {};
}

void ServerContactStore::deliverListing(int ticket, const Expected<QList<ContactRow>>& rows)
{
    if (rows) {
        m_rows = *rows;
        m_listedOnce = true;
    } else if (!m_reachable && m_listedOnce) {
        // Away: the contacts last read, to be shown read-only.
        Q_EMIT listed(ticket, m_rows);
        return;
    }
    Q_EMIT listed(ticket, rows);
}

void ServerContactStore::deliverCopy(const QList<ContactRow>& rows)
{
    if (m_listedOnce)
        return;
    m_rows = rows;
    m_listedOnce = true;
}

void ServerContactStore::deliverChange(int ticket, const ContactRow& listed, const ChangeResult& result)
{
    ChangeResult said = result;
    if (said.outcome == Outcome::RowChanged)
        said.message = texts::book::contactChanged(listed.description, listed.number);
    Q_EMIT changeFinished(ticket, said);
}

void ServerContactStore::deliverAvailability(bool reachable)
{
    if (reachable == m_reachable)
        return;
    m_reachable = reachable;
    Q_EMIT availabilityChanged(reachable);
}

} // namespace kestrel
