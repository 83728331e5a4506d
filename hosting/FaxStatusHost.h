#pragma once

#include "Expected.h"
#include "FaxStatus.h"

#include <QObject>

#include <memory>

namespace kestrel {

// Hosts the job status query of the control library for a program: creates
// it by its ProgID through the component registry, is its event sink, and
// turns its events into Qt signals. Without the query (the library is too
// old to have it) create() says why and ask() does nothing.
//
// Signals arrive from the event loop, never inside ask(); a handler may ask
// again from queryEnded, but must not destroy the host.
class FaxStatusHost : public QObject, private IFaxStatusEvents
{
    Q_OBJECT
public:
    explicit FaxStatusHost(QObject* parent = nullptr);
    ~FaxStatusHost() override;

    Status create();
    // Hosts a query made elsewhere (tests hand in a stand-in).
    void adopt(std::unique_ptr<IFaxStatus> query);
    void destroy();
    bool isCreated() const { return m_query != nullptr; }

    void setServer(const QString& address, const QString& userName, const QString& password);
    void setWaitLimitMs(int ms);
    // One session about these jobs; false when none could start (no query,
    // one still open, no jobs).
    bool ask(const QStringList& jobNumbers);
    bool isAsking() const;

Q_SIGNALS:
    void jobReported(const kestrel::JobReport& report);
    void queryEnded(const QString& error);

private:
    void JobStatus(const JobReport& report) override;
    void QueryEnded(const QString& error) override;

    std::unique_ptr<IFaxStatus> m_query;
};

} // namespace kestrel
