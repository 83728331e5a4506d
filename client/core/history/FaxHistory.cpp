#include "FaxHistory.h"

#include "Clock.h"
#include "OneShotTimer.h"
#include "PrivateFile.h"

#include <QAtomicInt>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The wait for a lock while the file is known to be held.
constexpr int QuietBusyTimeoutMs = 250;

// The layout's version (PRAGMA user_version). 0: the first layout, without
// it; 1: the documents' stamps; 2: the planned send time.
constexpr int LayoutVersion = 2;

const QString Schema = u"CREATE TABLE IF NOT EXISTS faxes ("
                       "id INTEGER PRIMARY KEY, job TEXT NOT NULL, appliance TEXT NOT NULL, "
                       "submitted INTEGER NOT NULL, number TEXT NOT NULL, name TEXT, "
                       "documents TEXT NOT NULL, state TEXT NOT NULL, pages_sent INTEGER NOT NULL, "
                       "pages_total INTEGER NOT NULL, tries INTEGER NOT NULL, reason TEXT, "
                       "changed INTEGER NOT NULL, lost INTEGER NOT NULL)"_s;
// Added by version 1; empty for the faxes written before.
const QString StampsColumn = u"stamps"_s;
// Added by version 2; NULL (at once) for the faxes written before.
const QString PlannedColumn = u"planned"_s;
const QString Columns = u"job, appliance, submitted, number, name, documents, state, pages_sent, "
                        "pages_total, tries, reason, changed, lost, stamps, planned"_s;

// The states as the file spells them.
constexpr std::pair<FaxState, const char16_t*> StateWords[] = {
    {FaxState::Queued, u"queued"}, {FaxState::Sending, u"sending"},     {FaxState::Sent, u"sent"},
    {FaxState::Failed, u"failed"}, {FaxState::Cancelled, u"cancelled"}, {FaxState::ToCheck, u"tocheck"},
};

QString wordOf(FaxState state)
{
    for (const auto& [s, word] : StateWords) {
        if (s == state)
            return QString::fromUtf16(word);
    }
    return {};
}

std::optional<FaxState> stateOf(const QString& word)
{
    for (const auto& [s, w] : StateWords) {
        if (word == QStringView(w))
            return s;
    }
    return std::nullopt;
}

QString documentsText(const QStringList& documents)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(documents)).toJson(QJsonDocument::Compact));
}

QStringList documentsOf(const QString& text)
{
    QStringList documents;
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const QJsonValue value : array)
        documents << value.toString();
    return documents;
}

// [[size, seconds, nanoseconds], ...]: each within a double's exact range.
QVariant stampsText(const QList<DocumentStamp>& stamps)
{
    if (stamps.isEmpty())
        return QVariant(QMetaType::fromType<QString>());
    QJsonArray array;
    for (const DocumentStamp& stamp : stamps)
        array.append(QJsonArray{stamp.size, stamp.modifiedSecs, stamp.modifiedNsecs});
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QList<DocumentStamp> stampsOf(const QString& text)
{
    QList<DocumentStamp> stamps;
    const QJsonArray array = QJsonDocument::fromJson(text.toUtf8()).array();
    for (const QJsonValue value : array) {
        const QJsonArray stamp = value.toArray();
        stamps.append({stamp.at(0).toInteger(-1), stamp.at(1).toInteger(), stamp.at(2).toInteger()});
    }
    return stamps;
}

// A column that must not be NULL: a null string would make the whole
// transaction fail, again at every retry.
QVariant text(const QString& value)
{
    return value.isNull() ? QVariant(QString::fromLatin1("")) : QVariant(value);
}

qint64 msecsOf(const QDateTime& time)
{
    return time.isValid() ? time.toMSecsSinceEpoch() : 0;
}

QDateTime timeOf(qint64 msecs)
{
    // In UTC: the conversion to local time is made for the rows shown.
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

Error errorOf(const QSqlError& error)
{
    const QString text = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
    return Error{text, error.nativeErrorCode().toInt()};
}

QString nextConnectionName()
{
    static QAtomicInt counter;
    return u"kestrel-history-"_s + QString::number(counter.fetchAndAddRelaxed(1) + 1);
}

} // namespace

FaxHistory::FaxHistory(QString path, Clock& clock, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_clock(clock), m_connection(nextConnectionName()),
      m_ownTimer(std::make_unique<QtOneShotTimer>()), m_retry(m_ownTimer.get())
{}

FaxHistory::~FaxHistory()
{
    // Nobody listens any more.
    blockSignals(true);
    m_closing = true;
    m_retry->stop();
    // The last chance to write: a failure has nobody left to reach.
    if (!m_unsaved.isEmpty())
        (void)attempt();
    closeConnection();
}

void FaxHistory::setRetryTimer(OneShotTimer& timer)
{
    const bool active = m_retry->isActive();
    m_retry->stop();
    m_retry = &timer;
    if (active)
        m_retry->start(RetryMs, [this] { autosave(); });
}

void FaxHistory::autosave()
{
    // Nobody waits on it: its outcome reaches the listeners (fileState,
    // storeFailed) and a failure is retried.
    (void)save();
}

Status FaxHistory::open()
{
    if (std::exchange(m_opened, true))
        return {};
    m_read = false;
    Status status = read();
    settle(status);
    return status;
}

Status FaxHistory::save()
{
    // The batch's end writes; a save within a save (a change made by a
    // listener) is written by the one under way.
    if (m_batchDepth > 0 || m_saving)
        return {};
    m_saving = true;
    const Status status = attempt();
    settle(status);
    m_saving = false;
    // A change made while the outcome was told: from the event loop.
    if (!m_unsaved.isEmpty() && status && !m_closing)
        m_retry->start(0, [this] { autosave(); });
    return status;
}

int FaxHistory::indexOfHandle(int handle) const
{
    const qint64 index = qint64(handle) + m_readCount;
    return index >= 0 && index < m_records.size() ? int(index) : -1;
}

Status FaxHistory::connect(bool create)
{
    if (m_connected)
        return {};
    const Expected<PrivateFile::Found> found = PrivateFile::prepare(m_path, create);
    if (!found)
        return found.error();
    if (*found == PrivateFile::Found::Missing)
        return {};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
        db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s + QString::number(busyTimeout()));
        // mode=rw: the file checked above is opened, never made anew.
        db.setDatabaseName(QUrl::fromLocalFile(m_path).toString(QUrl::FullyEncoded) + u"?mode=rw"_s);
        m_connected = db.open();
        if (!m_connected) {
            const Error error = errorOf(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connection);
            return error;
        }
    }
    if (const Status upgraded = upgrade(); !upgraded) {
        closeConnection();
        return upgraded;
    }
    return {};
}

void FaxHistory::closeConnection()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_connected = false;
}

Status FaxHistory::upgrade()
{
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    if (!query.exec(u"PRAGMA user_version"_s) || !query.next())
        return errorOf(query.lastError());
    // A later version's layout keeps what this one writes: used as it is.
    if (query.value(0).toInt() >= LayoutVersion)
        return {};
    query.finish();
    if (!query.exec(u"BEGIN IMMEDIATE"_s))
        return errorOf(query.lastError());
    const auto steps = [&query]() -> Status {
        if (!query.exec(Schema))
            return errorOf(query.lastError());
        bool stamps = false;
        bool planned = false;
        if (!query.exec(u"PRAGMA table_info(faxes)"_s))
            return errorOf(query.lastError());
        while (query.next()) {
            stamps = stamps || query.value(1).toString() == StampsColumn;
            planned = planned || query.value(1).toString() == PlannedColumn;
        }
        if (!stamps && !query.exec(u"ALTER TABLE faxes ADD COLUMN "_s + StampsColumn + u" TEXT"_s))
            return errorOf(query.lastError());
        if (!planned && !query.exec(u"ALTER TABLE faxes ADD COLUMN "_s + PlannedColumn + u" INTEGER"_s))
            return errorOf(query.lastError());
        if (!query.exec(u"PRAGMA user_version = "_s + QString::number(LayoutVersion)))
            return errorOf(query.lastError());
        if (!query.exec(u"COMMIT"_s))
            return errorOf(query.lastError());
        return {};
    };
    const Status done = steps();
    if (!done)
        query.exec(u"ROLLBACK"_s);
    return done;
}

Status FaxHistory::read()
{
    if (m_read)
        return {};
    if (const Status connected = connect(false); !connected)
        return connected;
    if (m_connected) {
        if (const Status loaded = load(); !loaded)
            return loaded;
    }
    m_read = true; // no file: made with the first fax
    return {};
}

Status FaxHistory::load()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(u"SELECT id, "_s + Columns + u" FROM faxes ORDER BY id"_s))
        return errorOf(query.lastError());
    // Faxes of this run written before the file was read are in memory.
    QSet<qint64> held;
    for (const FaxRecord& record : std::as_const(m_records))
        held.insert(record.id);
    QList<FaxRecord> records;
    while (query.next()) {
        FaxRecord r;
        r.id = query.value(0).toLongLong();
        if (held.contains(r.id))
            continue;
        r.job = query.value(1).toString();
        r.appliance = query.value(2).toString();
        r.submitted = timeOf(query.value(3).toLongLong());
        r.number = query.value(4).toString();
        r.name = query.value(5).toString();
        r.documents = documentsOf(query.value(6).toString());
        const QString word = query.value(7).toString();
        if (const std::optional<FaxState> state = stateOf(word)) {
            r.state = *state;
        } else {
            r.state = FaxState::ToCheck;
            r.stateWord = word;
        }
        r.pagesSent = query.value(8).toInt();
        r.pagesTotal = query.value(9).toInt();
        r.tries = query.value(10).toInt();
        r.reason = query.value(11).toString();
        r.changed = timeOf(query.value(12).toLongLong());
        r.lost = query.value(13).toBool();
        r.stamps = stampsOf(query.value(14).toString());
        if (const qint64 planned = query.value(15).toLongLong(); planned > 0)
            r.planned = timeOf(planned);
        records.append(std::move(r));
    }
    if (query.lastError().isValid())
        return errorOf(query.lastError());
    query.finish(); // its read lock ends here, before anybody is told
    const int count = int(records.size());
    m_readCount = count;
    if (count == 0)
        return {};
    // The faxes of this run so far were never in the file: they go after.
    m_read = true;
    Q_EMIT aboutToPrepend(count);
    records.append(std::move(m_records));
    m_records = std::move(records);
    QSet<int> unsaved;
    for (const int index : std::as_const(m_unsaved))
        unsaved.insert(index + count);
    m_unsaved = std::move(unsaved);
    index();
    Q_EMIT prepended(count);
    return {};
}

void FaxHistory::index()
{
    m_newest.clear();
    for (int i = 0; i < m_records.size(); ++i)
        m_newest.insert(key(m_records.at(i).appliance, m_records.at(i).job), i);
}

int FaxHistory::indexOf(const QString& appliance, const QString& job) const
{
    return m_newest.value(key(appliance, job), -1);
}

void FaxHistory::add(FaxRecord record)
{
    const QDateTime now = m_clock.now();
    if (!record.submitted.isValid())
        record.submitted = now;
    if (!record.changed.isValid())
        record.changed = now;
    record.id = 0;
    const int index = int(m_records.size());
    Q_EMIT aboutToAdd(index);
    m_newest.insert(key(record.appliance, record.job), index);
    m_records.append(std::move(record));
    Q_EMIT added(index);
    modified(index);
}

JobChange FaxHistory::update(const QString& appliance, const QString& job, const JobUpdate& update,
                             const QString& lostReason)
{
    const int index = indexOf(appliance, job);
    if (index < 0)
        return {};
    FaxRecord& record = m_records[index];
    const FaxState before = record.state;
    const JobChange change = applyUpdate(record, update, lostReason);
    if (!change.changed)
        return change;
    if (record.state != before)
        record.stateWord.clear();
    record.changed = m_clock.now();
    Q_EMIT changed(index);
    modified(index);
    return change;
}

void FaxHistory::modified(int index)
{
    m_unsaved.insert(index);
    autosave();
}

QStringList FaxHistory::trackedJobs(const QString& appliance) const
{
    QStringList jobs;
    for (int i = 0; i < m_records.size(); ++i) {
        const FaxRecord& record = m_records.at(i);
        // Only the newest of a number counts: an older one with the same
        // number is a job the server forgot long ago.
        if (record.isTracked() && record.appliance == appliance && indexOf(appliance, record.job) == i)
            jobs << record.job;
    }
    return jobs;
}

int FaxHistory::busyTimeout() const
{
    // A file found held a moment ago is tried again soon (and at the end
    // with the whole wait): the windows' thread is not held meanwhile.
    return m_state == FileState::Saved || m_closing ? m_busyTimeoutMs
                                                    : qMin(m_busyTimeoutMs, QuietBusyTimeoutMs);
}

Status FaxHistory::attempt()
{
    if (m_connected) {
        QSqlQuery(QSqlDatabase::database(m_connection, false))
            .exec(u"PRAGMA busy_timeout = "_s + QString::number(busyTimeout()));
    }
    // The file's faxes first: written before they are read, the faxes of
    // this run would be read back a second time.
    if (const Status readFirst = read(); !readFirst)
        return readFirst;
    return write();
}

Status FaxHistory::write()
{
    if (m_unsaved.isEmpty() || !m_read)
        return {};
    if (const Status connected = connect(true); !connected)
        return connected;
    bool rolledBack = true;
    const Status status = transaction(rolledBack);
    // A connection that could not end its transaction would keep the file
    // locked: closed, it lets go.
    if (!rolledBack)
        closeConnection();
    return status;
}

Status FaxHistory::transaction(bool& rolledBack)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(u"BEGIN IMMEDIATE"_s))
        return errorOf(query.lastError());
    QList<int> indices(m_unsaved.cbegin(), m_unsaved.cend());
    // In order: the file's rows are read back by their ids.
    std::sort(indices.begin(), indices.end());
    QList<int> inserted;
    Status status;
    for (const int index : std::as_const(indices)) {
        FaxRecord& record = m_records[index];
        const bool fresh = record.id == 0;
        status = writeRecord(record);
        if (!status)
            break;
        if (fresh)
            inserted << index;
    }
    if (status && !query.exec(u"COMMIT"_s))
        status = errorOf(query.lastError());
    if (!status) {
        // Nothing of it is in the file: the transaction never stays open,
        // the changes stay in memory.
        rolledBack = query.exec(u"ROLLBACK"_s);
        for (const int index : std::as_const(inserted))
            m_records[index].id = 0;
        return status;
    }
    m_unsaved.clear();
    return {};
}

Status FaxHistory::writeRecord(FaxRecord& record)
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const QString word = record.stateWord.isEmpty() ? wordOf(record.state) : record.stateWord;
    if (record.id == 0) {
        query.prepare(u"INSERT INTO faxes ("_s + Columns +
                      u") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
        for (const QVariant& value :
             {text(record.job), text(record.appliance), QVariant(msecsOf(record.submitted)),
              text(record.number), QVariant(record.name), QVariant(documentsText(record.documents)),
              QVariant(word), QVariant(record.pagesSent), QVariant(record.pagesTotal), QVariant(record.tries),
              QVariant(record.reason), QVariant(msecsOf(record.changed)), QVariant(record.lost ? 1 : 0),
              stampsText(record.stamps),
              record.planned.isValid() ? QVariant(msecsOf(record.planned))
                                       : QVariant(QMetaType::fromType<qint64>())})
            query.addBindValue(value);
    } else {
        query.prepare(u"UPDATE faxes SET state = ?, pages_sent = ?, pages_total = ?, tries = ?, reason = ?, "
                      "changed = ?, lost = ? WHERE id = ?"_s);
        for (const QVariant& value :
             {QVariant(word), QVariant(record.pagesSent), QVariant(record.pagesTotal), QVariant(record.tries),
              QVariant(record.reason), QVariant(msecsOf(record.changed)), QVariant(record.lost ? 1 : 0),
              QVariant(record.id)})
            query.addBindValue(value);
    }
    if (!query.exec())
        return errorOf(query.lastError());
    if (record.id == 0)
        record.id = query.lastInsertId().toLongLong();
    return {};
}

void FaxHistory::settle(const Status& status)
{
    if (m_closing)
        return;
    // Only a failed attempt makes the list other than the file's: changes
    // waiting for the end of a batch are not a failure.
    const FileState state = status ? FileState::Saved : m_read ? FileState::Unsaved : FileState::Unread;
    const QString problem = status ? QString() : status.error().message;
    if (status)
        m_retry->stop();
    else if (!m_retry->isActive())
        m_retry->start(RetryMs, [this] { autosave(); });
    const bool stateChanged = state != std::exchange(m_state, state);
    const bool problemChanged = problem != std::exchange(m_problem, problem);
    if (stateChanged || problemChanged)
        Q_EMIT fileStateChanged();
    if (!status && !std::exchange(m_told, true))
        Q_EMIT storeFailed(status.error().message);
}

FaxHistory::Batch::Batch(FaxHistory& history) : m_history(history)
{
    ++m_history.m_batchDepth;
}

FaxHistory::Batch::~Batch()
{
    if (--m_history.m_batchDepth == 0 && !m_history.m_unsaved.isEmpty())
        m_history.autosave();
}

} // namespace kestrel
