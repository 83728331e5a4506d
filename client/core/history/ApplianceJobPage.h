#pragma once

#include <QList>
#include <QString>

namespace kestrel {

// The appliance's page of pending or finished fax jobs, as the control
// hands it over: <jobs><job><jobid>7</jobid>...<state>DONE</state></job>...
// Element names are read without regard to case; a page cut short or
// broken still gives the jobs it holds whole.
class ApplianceJobPage
{
public:
    struct Job
    {
        QString job;
        QString state;
    };

    static QList<Job> parse(const QString& xml);
};

} // namespace kestrel
