#include "FaxHistory.h"

#include "Clock.h"
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

// A lock held by another program is waited for this long at most: the
// history is written from the windows' thread.
constexpr int BusyTimeoutMs = 1000;

const QString Schema = u"CREATE TABLE IF NOT EXISTS faxes ("
                       "id INTEGER PRIMARY KEY, job TEXT NOT NULL, appliance TEXT NOT NULL, "
                       "submitted INTEGER NOT NULL, number TEXT NOT NULL, name TEXT, "
                       "documents TEXT NOT NULL, state TEXT NOT NULL, pages_sent INTEGER NOT NULL, "
                       "pages_total INTEGER NOT NULL, tries INTEGER NOT NULL, reason TEXT, "
                       "changed INTEGER NOT NULL, lost INTEGER NOT NULL)"_s;
const QString Columns = u"job, appliance, submitted, number, name, documents, state, pages_sent, "
                        "pages_total, tries, reason, changed, lost"_s;

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

FaxState stateOf(const QString& word)
{
    for (const auto& [s, w] : StateWords) {
        if (word == QStringView(w))
            return s;
    }
    return FaxState::ToCheck; // a word of a later version: to be checked
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
    for (const QJsonValue& value : array)
        documents << value.toString();
    return documents;
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
    : QObject(parent), m_path(std::move(path)), m_clock(clock), m_connection(nextConnectionName())
{}

FaxHistory::~FaxHistory()
{
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
}

Status FaxHistory::open()
{
    if (const Status connected = connect(false); !connected) {
        failed(connected.error());
        return connected;
    }
    if (!m_connected)
        return {}; // no file yet: made with the first fax
    const Status loaded = load();
    if (!loaded)
        failed(loaded.error());
    return loaded;
}

Status FaxHistory::connect(bool create)
{
    if (m_connected || m_failed)
        return {};
    const Expected<PrivateFile::Found> found = PrivateFile::prepare(m_path, create);
    if (!found)
        return found.error();
    if (*found == PrivateFile::Found::Missing)
        return {};
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT="_s + QString::number(BusyTimeoutMs));
    // mode=rw: the file checked above is opened, never made anew.
    db.setDatabaseName(QUrl::fromLocalFile(m_path).toString(QUrl::FullyEncoded) + u"?mode=rw"_s);
    if (!db.open())
        return errorOf(db.lastError());
    QSqlQuery query(db);
    if (!query.exec(Schema))
        return errorOf(query.lastError());
    m_connected = true;
    return {};
}

Status FaxHistory::load()
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.setForwardOnly(true);
    if (!query.exec(u"SELECT id, "_s + Columns + u" FROM faxes ORDER BY id"_s))
        return errorOf(query.lastError());
    QList<FaxRecord> records;
    while (query.next()) {
        FaxRecord r;
        r.id = query.value(0).toLongLong();
        r.job = query.value(1).toString();
        r.appliance = query.value(2).toString();
        r.submitted = timeOf(query.value(3).toLongLong());
        r.number = query.value(4).toString();
        r.name = query.value(5).toString();
        r.documents = documentsOf(query.value(6).toString());
        r.state = stateOf(query.value(7).toString());
        r.pagesSent = query.value(8).toInt();
        r.pagesTotal = query.value(9).toInt();
        r.tries = query.value(10).toInt();
        r.reason = query.value(11).toString();
        r.changed = timeOf(query.value(12).toLongLong());
        r.lost = query.value(13).toBool();
        records.append(std::move(r));
    }
    if (query.lastError().isValid())
        return errorOf(query.lastError());
    m_records = std::move(records);
    m_newest.clear();
    for (int i = 0; i < m_records.size(); ++i)
        m_newest.insert(key(m_records.at(i).appliance, m_records.at(i).job), i);
    return {};
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
    if (const Status stored = store(record); !stored)
        failed(stored.error());
    const int index = int(m_records.size());
    Q_EMIT aboutToAdd(index);
    m_newest.insert(key(record.appliance, record.job), index);
    m_records.append(std::move(record));
    Q_EMIT added(index);
}

JobChange FaxHistory::update(const QString& appliance, const QString& job, const JobUpdate& update,
                             const QString& lostReason)
{
    const int index = indexOf(appliance, job);
    if (index < 0)
        return {};
    FaxRecord& record = m_records[index];
    const JobChange change = applyUpdate(record, update, lostReason);
    if (!change.changed)
        return change;
    record.changed = m_clock.now();
    if (const Status stored = storeChange(record); !stored)
        failed(stored.error());
    Q_EMIT changed(index);
    return change;
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

Status FaxHistory::store(FaxRecord& record)
{
    if (const Status connected = connect(true); !connected)
        return connected;
    if (!m_connected)
        return {};
    beginIfBatched();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(u"INSERT INTO faxes ("_s + Columns + u") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s);
    for (const QVariant& value :
         {QVariant(record.job), QVariant(record.appliance), QVariant(msecsOf(record.submitted)),
          QVariant(record.number), QVariant(record.name), QVariant(documentsText(record.documents)),
          QVariant(wordOf(record.state)), QVariant(record.pagesSent), QVariant(record.pagesTotal),
          QVariant(record.tries), QVariant(record.reason), QVariant(msecsOf(record.changed)),
          QVariant(record.lost ? 1 : 0)})
        query.addBindValue(value);
    if (!query.exec())
        return errorOf(query.lastError());
    record.id = query.lastInsertId().toLongLong();
    return {};
}

Status FaxHistory::storeChange(const FaxRecord& record)
{
    if (!m_connected || record.id == 0)
        return {};
    beginIfBatched();
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(u"UPDATE faxes SET state = ?, pages_sent = ?, pages_total = ?, tries = ?, reason = ?, "
                  "changed = ?, lost = ? WHERE id = ?"_s);
    for (const QVariant& value :
         {QVariant(wordOf(record.state)), QVariant(record.pagesSent), QVariant(record.pagesTotal),
          QVariant(record.tries), QVariant(record.reason), QVariant(msecsOf(record.changed)),
          QVariant(record.lost ? 1 : 0), QVariant(record.id)})
        query.addBindValue(value);
    if (!query.exec())
        return errorOf(query.lastError());
    return {};
}

void FaxHistory::failed(const Error& error)
{
    if (std::exchange(m_failed, true))
        return;
    // The rest of the run stays in memory: a file that failed once (a full
    // disk, a lock) could hold half of it.
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    m_connected = false;
    m_inTransaction = false;
    Q_EMIT storeFailed(error.message);
}

void FaxHistory::beginIfBatched()
{
    // The file may be made within the batch: it begins with its first write.
    if (m_batchDepth > 0 && !m_inTransaction && m_connected)
        m_inTransaction = QSqlQuery(QSqlDatabase::database(m_connection, false)).exec(u"BEGIN"_s);
}

FaxHistory::Batch::Batch(FaxHistory& history) : m_history(history)
{
    ++m_history.m_batchDepth;
}

FaxHistory::Batch::~Batch()
{
    if (--m_history.m_batchDepth > 0 || !std::exchange(m_history.m_inTransaction, false))
        return;
    if (m_history.m_connected)
        QSqlQuery(QSqlDatabase::database(m_history.m_connection, false)).exec(u"COMMIT"_s);
}

} // namespace kestrel
