#include "JobStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

const QString sessionsDir = u"sessions"_s;
const QString uploadsDir = u"tmp"_s;
const QString jobsDir = u"jobs"_s;
const QString jobSequenceFile = u"jobseq"_s;
const QString killedMarker = u"killed"_s;

int numberOf(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? value : 0;
}

bool writeWholeFile(const QString& path, const QByteArray& content, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        *error = path + u": "_s + file.errorString();
        return false;
    }
    return true;
}

// A hard link costs nothing even for a 1 GB document; copy across file systems.
bool linkOrCopy(const QString& from, const QString& to)
{
    if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    return QFile::copy(from, to);
}

} // namespace

QString JobRecord::lastValue(const QString& key) const
{
    for (auto it = parameters.crbegin(); it != parameters.crend(); ++it) {
        if (it->key == key)
            return it->value;
    }
    return {};
}

QStringList JobRecord::values(const QString& key) const
{
    QStringList result;
    for (const JobParameter& p : parameters) {
        if (p.key == key)
            result << p.value;
    }
    return result;
}

bool JobStore::open(const QString& root, QString* error)
{
    QDir dir(root);
    for (const QString& sub : {sessionsDir, uploadsDir, jobsDir}) {
        if (!dir.mkpath(sub)) {
            *error = u"cannot create "_s + dir.filePath(sub);
            return false;
        }
    }
    m_root = dir.absolutePath();

    // Numbers continue across restarts on the same store.
    QFile sequence(dir.filePath(jobSequenceFile));
    if (sequence.open(QIODevice::ReadOnly))
        m_lastJobId = numberOf(QString::fromLatin1(sequence.readAll()).trimmed());
    for (const QString& name : QDir(dir.filePath(sessionsDir)).entryList({u"*.cmd"_s}, QDir::Files))
        m_lastSession = std::max(m_lastSession, numberOf(name.chopped(4)));
    loadSubmittedJobs();
    for (const JobRecord& job : std::as_const(m_jobs))
        m_lastJobId = std::max(m_lastJobId, job.id);
    return true;
}

int JobStore::newJobId()
{
    ++m_lastJobId;
    QString ignored;
    writeWholeFile(QDir(m_root).filePath(jobSequenceFile), QByteArray::number(m_lastJobId) + '\n', &ignored);
    return m_lastJobId;
}

std::unique_ptr<QFile> JobStore::openSessionLog(int* number)
{
    *number = ++m_lastSession;
    auto file = std::make_unique<QFile>(
        QDir(m_root).filePath(u"%1/%2.cmd"_s.arg(sessionsDir).arg(*number, 4, 10, QChar(u'0'))));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return nullptr;
    return file;
}

bool JobStore::isValidUploadName(const QString& name)
{
    return !name.isEmpty() && name != u"."_s && name != u".."_s && !name.contains(u'/') &&
           !name.contains(QChar(0));
}

QString JobStore::uploadPath(const QString& name) const
{
    return QDir(m_root).filePath(uploadsDir + u'/' + name);
}

bool JobStore::uploadExists(const QString& name) const
{
    return isValidUploadName(name) && QFileInfo(uploadPath(name)).isFile();
}

std::unique_ptr<QFile> JobStore::createUpload(const QString& name, QString* error)
{
    auto file = std::make_unique<QFile>(uploadPath(name));
    if (!isValidUploadName(name) || !file->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = file->errorString();
        return nullptr;
    }
    return file;
}

QString JobStore::formatJobFile(const JobRecord& job)
{
    QString text;
    for (const JobParameter& p : job.parameters) {
        // A value never spans lines; a stray CR or LF would forge a parameter.
        QString value = p.value;
        value.replace(u'\r', u' ').replace(u'\n', u' ');
        text += p.key + u':' + value + u'\n';
    }
    return text;
}

void JobStore::noteCreated(const JobRecord& job)
{
    forgetCreated(job.id);
    m_created.append(job);
}

void JobStore::forgetCreated(int id)
{
    m_created.removeIf([id](const JobRecord& job) { return job.id == id; });
}

const JobRecord* JobStore::createdJob(int id) const
{
    for (const JobRecord& job : m_created) {
        if (job.id == id)
            return &job;
    }
    return nullptr;
}

bool JobStore::submit(JobRecord job, QString* error)
{
    // Built under a hidden name and renamed, so jobs/N appears complete.
    QDir jobs(QDir(m_root).filePath(jobsDir));
    const QString finalName = QString::number(job.id);
    const QString stagingName = u".%1.partial"_s.arg(job.id);
    if (jobs.exists(finalName)) {
        *error = u"job %1 exists in the store"_s.arg(job.id);
        return false;
    }
    QDir(jobs.filePath(stagingName)).removeRecursively();
    if (!jobs.mkdir(stagingName)) {
        *error = u"cannot create "_s + jobs.filePath(stagingName);
        return false;
    }
    const QDir staging(jobs.filePath(stagingName));
    job.submittedAt = QDateTime::currentDateTimeUtc();
    // Latin-1 gives back the bytes exactly as the client sent them.
    bool ok = writeWholeFile(staging.filePath(u"job"_s), formatJobFile(job).toLatin1(), error);
    for (const QString& name : std::as_const(job.documents)) {
        if (ok && !linkOrCopy(uploadPath(name), staging.filePath(name))) {
            *error = u"cannot keep document "_s + name;
            ok = false;
        }
    }
    const QByteArray marker = "owner:" + job.owner.toLatin1() +
                              "\ngroupid:" + QByteArray::number(job.groupId) +
                              "\nsubmitted:" + job.submittedAt.toString(Qt::ISODateWithMs).toUtf8() + '\n';
    ok = ok && writeWholeFile(staging.filePath(u"submitted"_s), marker, error);
    if (ok && !jobs.rename(stagingName, finalName)) {
        *error = u"cannot rename "_s + staging.path();
        ok = false;
    }
    if (!ok) {
        QDir(jobs.filePath(stagingName)).removeRecursively();
        return false;
    }
    forgetCreated(job.id);
    m_jobs.append(std::move(job));
    return true;
}

const JobRecord* JobStore::submittedJob(int id) const
{
    for (const JobRecord& job : m_jobs) {
        if (job.id == id)
            return &job;
    }
    return nullptr;
}

QString JobStore::stateOf(const JobRecord& job, const QDateTime& now) const
{
    if (job.killed)
        return u"FAILED"_s;
    return job.submittedAt.msecsTo(now) >= m_doneAfterMs ? u"DONE"_s : u"READY"_s;
}

bool JobStore::isFinished(const JobRecord& job, const QDateTime& now) const
{
    return stateOf(job, now) != u"READY"_s;
}

bool JobStore::kill(int id, const QDateTime& now)
{
    for (JobRecord& job : m_jobs) {
        if (job.id != id)
            continue;
        if (isFinished(job, now))
            return false;
        job.killed = true;
        QString ignored;
        writeWholeFile(QDir(m_root).filePath(u"%1/%2/%3"_s.arg(jobsDir).arg(id).arg(killedMarker)), {},
                       &ignored);
        return true;
    }
    return false;
}

void JobStore::loadSubmittedJobs()
{
    const QDir jobs(QDir(m_root).filePath(jobsDir));
    for (const QString& name : jobs.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const int id = numberOf(name);
        QFile jobFile(jobs.filePath(name + u"/job"_s));
        QFile marker(jobs.filePath(name + u"/submitted"_s));
        if (id == 0 || !jobFile.open(QIODevice::ReadOnly) || !marker.open(QIODevice::ReadOnly))
            continue;
        JobRecord job;
        job.id = id;
        job.groupId = id;
        for (const QString& line : QString::fromLatin1(jobFile.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype colon = line.indexOf(u':');
            if (colon > 0)
                job.parameters.append({line.left(colon), line.mid(colon + 1)});
        }
        for (const QString& doc : job.values(u"document"_s))
            job.documents << doc.section(u'/', -1);
        for (const QString& line : QString::fromLatin1(marker.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u"owner:"_s))
                job.owner = line.mid(6);
            else if (line.startsWith(u"groupid:"_s))
                job.groupId = numberOf(line.mid(8));
            else if (line.startsWith(u"submitted:"_s))
                job.submittedAt = QDateTime::fromString(line.mid(10), Qt::ISODateWithMs);
        }
        if (!job.submittedAt.isValid())
            job.submittedAt = QFileInfo(marker).lastModified();
        job.killed = QFileInfo::exists(jobs.filePath(name + u'/' + killedMarker));
        m_jobs.append(std::move(job));
    }
    std::sort(m_jobs.begin(), m_jobs.end(),
              [](const JobRecord& a, const JobRecord& b) { return a.id < b.id; });
}

} // namespace kestrel::simulator
