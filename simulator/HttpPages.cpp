#include "HttpPages.h"

#include "JobStore.h"

#include <QUrl>
#include <QUrlQuery>

namespace kestrel::simulator {
namespace {

using namespace Qt::StringLiterals;

QByteArray escaped(const QString& text)
{
    return text.toHtmlEscaped().toUtf8();
}

// Job values hold the client's bytes one per character; clients send UTF-8.
QString fromWire(const QString& value)
{
    return QString::fromUtf8(value.toLatin1());
}

QByteArray element(const char* name, const QString& value)
{
    return "<" + QByteArray(name) + ">" + escaped(value) + "</" + QByteArray(name) + ">";
}

const QByteArray xmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const QByteArray xmlType = "text/xml; charset=UTF-8";
const QByteArray textType = "text/plain; charset=UTF-8";

} // namespace

HttpPages::HttpPages(QList<ModemLine> lines, const JobStore& store, const FaultPlan& faults)
    : m_lines(std::move(lines)), m_store(store), m_faults(faults)
{}

HttpPage HttpPages::page(const QByteArray& target, const QDateTime& now) const
{
    const QUrl url(QString::fromUtf8(target), QUrl::TolerantMode);
    const QString path = url.path();
    if (path == u"/api/modem.php"_s)
        return {200, xmlType, modemPage()};
    if (path == u"/api/faxstat.php"_s) {
        const bool done = QUrlQuery(url).queryItemValue(u"D"_s) == u"1"_s;
        return {200, xmlType, jobsPage(done, now)};
    }
    if (path == u"/api/modemtxt.php"_s)
        return {200, textType, lineTextPage()};
    return {404, textType, "Not Found\n"};
}

QByteArray HttpPages::closingTag(const QByteArray& name) const
{
    if (m_faults.has(HttpFault::NoClosingTag))
        return {};
    if (m_faults.has(HttpFault::UpperClosingTag))
        return "</" + name.toUpper() + ">\n";
    return "</" + name + ">\n";
}

QByteArray HttpPages::modemPage() const
{
    QByteArray body = xmlHeader + "<elenco_modem>\n";
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const ModemLine& line = m_lines.at(i);
        body += "  <modem>" + element("numero", QString::number(i + 1)) + element("id", line.id) +
                element("nome", line.name) + element("stato", u"Running and idle"_s) + "</modem>\n";
    }
    return body + closingTag("elenco_modem");
}

QByteArray HttpPages::jobsPage(bool done, const QDateTime& now) const
{
    QByteArray body = xmlHeader + "<jobs>\n";
    for (const JobRecord& job : m_store.submittedJobs()) {
        const bool isDone = m_store.isFinished(job, now);
        if (isDone != done)
            continue;
        body += "  <job>" + element("jobid", QString::number(job.id)) +
                element("groupid", QString::number(job.groupId)) + element("owner", fromWire(job.owner));
        for (const QString& number : job.values(u"dialstring"_s))
            body += element("number", fromWire(number));
        const QString modem = job.lastValue(u"modem"_s);
        body += element("modem", modem.isEmpty() ? u"any"_s : fromWire(modem)) +
                element("documents", QString::number(job.documents.size())) +
                element("state", done ? m_store.stateOf(job, now) : u"SENDING"_s) +
                element("submitted", job.submittedAt.toString(Qt::ISODate)) + "</job>\n";
    }
    return body + closingTag("jobs");
}

QByteArray HttpPages::lineTextPage() const
{
    QByteArray body;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const QByteArray n = QByteArray::number(i + 1);
        body += "<p" + n + ">" + escaped(m_lines.at(i).id) + "</p" + n + "><n" + n + ">" +
                escaped(m_lines.at(i).name) + "</n" + n + ">\n";
    }
    return body;
}

} // namespace kestrel::simulator
