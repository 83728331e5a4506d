#pragma once

#include <QList>
#include <QString>

namespace kestrel {

// The appliance's page of pending or finished fax jobs, as the control
// hands it over: <jobs><job><jobid>7</jobid><owner>mario</owner>
// <number>0612</number>...<state>DONE</state></job>...
// Element names are read without regard to case; a page cut short or
// broken still gives the jobs it holds whole.
class ApplianceJobPage
{
public:
    struct Job
    {
        QString job;
        QString state;
        QString owner;  // empty when the page does not say
        QString number; // the last one listed; empty when none is
    };

    static QList<Job> parse(const QString& xml);
};

} // namespace kestrel
