#pragma once

#include "FaultPlan.h"
#include "SimulatorOptions.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

namespace kestrel::simulator {

class JobStore;

struct HttpPage
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

// The appliance's status pages, built from the configured lines and the
// jobs in the store. No sockets here.
class HttpPages
{
public:
    HttpPages(QList<ModemLine> lines, const JobStore& store, const FaultPlan& faults);

    // target: the request target, path and query ("/api/faxstat.php?D=1").
    HttpPage page(const QByteArray& target, const QDateTime& now) const;

    QByteArray modemPage() const;
    QByteArray jobsPage(bool done, const QDateTime& now) const;
    QByteArray lineTextPage() const;

private:
    QByteArray closingTag(const QByteArray& name) const;

    QList<ModemLine> m_lines;
    const JobStore& m_store;
    const FaultPlan& m_faults;
};

} // namespace kestrel::simulator
