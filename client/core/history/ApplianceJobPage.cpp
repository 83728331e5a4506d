#include "ApplianceJobPage.h"

#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

bool is(QStringView name, QStringView expected)
{
    return name.compare(expected, Qt::CaseInsensitive) == 0;
}

} // namespace

QList<ApplianceJobPage::Job> ApplianceJobPage::parse(const QString& xml)
{
    QList<Job> jobs;
    QXmlStreamReader reader(xml);
    bool inJob = false;
    Job job;
    while (!reader.atEnd() && !reader.hasError()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (is(name, u"job")) {
                inJob = true;
                job = Job();
            } else if (inJob && is(name, u"jobid")) {
                job.job = reader.readElementText().trimmed();
            } else if (inJob && is(name, u"state")) {
                job.state = reader.readElementText().trimmed();
            } else if (inJob && is(name, u"owner")) {
                job.owner = reader.readElementText().trimmed();
            } else if (inJob && is(name, u"number")) {
                job.number = reader.readElementText().trimmed();
            }
        } else if (token == QXmlStreamReader::EndElement && inJob && is(reader.name(), u"job")) {
            inJob = false;
            if (!job.job.isEmpty())
                jobs.append(job);
        }
    }
    return jobs;
}

} // namespace kestrel
