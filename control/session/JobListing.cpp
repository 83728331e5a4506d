#include "JobListing.h"

#include "ControlTexts.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// hfaxd's status code for a job killed on request (faxrm, JKILL).
constexpr int AbortedByRequest = 345;

QHash<QString, QString> parameters(const QString& listing)
{
    QHash<QString, QString> values;
    const QStringList lines = listing.split(u"\r\n"_s);
    // The first and the last line are the reply's own ("217-Job state: ...",
    // "217 End of job N state.").
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QString& line = lines.at(i);
        const qsizetype colon = line.indexOf(u':');
        if (colon <= 0)
            continue;
        const QString name = line.left(colon).trimmed().toUpper();
        // Repeated names (DOCUMENT) are not read; the first of the others counts.
        if (!values.contains(name))
            values.insert(name, line.mid(colon + 1).trimmed());
    }
    return values;
}

int number(const QHash<QString, QString>& values, const QString& name, int fallback = 0)
{
    bool ok = false;
    const int value = values.value(name).toInt(&ok);
    return ok ? value : fallback;
}

// Replies are read one byte a character: the bytes as UTF-8 when they are.
QString decoded(const QString& wireText)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(wireText.toLatin1());
    return utf8.hasError() ? wireText : text;
}

QString shown(QString text)
{
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            c = u' ';
    }
    text = text.simplified();
    if (text.size() > MaxServerText) {
        qsizetype cut = MaxServerText - 1;
        // A character outside the first plane is not split.
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text = text.left(cut) + u'\u2026';
    }
    return text;
}

} // namespace

QString serverText(const QString& wireText)
{
    return shown(decoded(wireText));
}

JobReport::State jobStateOf(const QString& serverState, const QString& status, int statusCode)
{
    const QString state = serverState.trimmed().toUpper();
    if (state == u"ACTIVE"_s)
        return JobReport::State::Sending;
    if (state == u"DONE"_s)
        return JobReport::State::Sent;
    if (state == u"FAILED"_s) {
        if (statusCode == AbortedByRequest || status.contains(u"aborted by request"_s, Qt::CaseInsensitive))
            return JobReport::State::Cancelled;
        return JobReport::State::Failed;
    }
    // SUSPENDED, PENDING, SLEEPING, BLOCKED, READY, and any word to come.
    return JobReport::State::Queued;
}

std::optional<JobReport> readJobListing(const QString& job, const QString& owner, const QString& listing)
{
    const QHash<QString, QString> values = parameters(decoded(listing));
    if (!values.contains(u"STATE"_s))
        return std::nullopt;
    JobReport report;
    report.job = job;
    // hfaxd lists its default job, as its own user's, after a selection
    // that failed; a server that counts again gives an old number to
    // another user's job.
    const QString listed = values.value(u"JOBID"_s);
    const QString listedOwner = values.value(u"OWNER"_s);
    if (listed != job)
        report.mismatch = texts::statusOtherJob(job, shown(listed));
    else if (listedOwner != owner)
        report.mismatch = texts::statusOtherOwner(job, shown(listedOwner));
    if (!report.mismatch.isEmpty())
        return report;
    report.serverState = values.value(u"STATE"_s);
    report.reason = shown(values.value(u"STATUS"_s));
    report.state = jobStateOf(report.serverState, report.reason, number(values, u"STATUSCODE"_s, -1));
    report.number = values.value(u"DIALSTRING"_s);
    if (report.number.isEmpty())
        report.number = values.value(u"EXTERNAL"_s);
    report.pagesSent = number(values, u"NPAGES"_s);
    report.pagesTotal = number(values, u"TOTPAGES"_s);
    // The totals over every try, where the server gives them; the counts of
    // the current try otherwise.
    report.tries = number(values, u"TOTTRIES"_s, number(values, u"NTRIES"_s));
    report.dials = number(values, u"TOTDIALS"_s, number(values, u"NDIALS"_s));
    return report;
}

} // namespace kestrel
