#pragma once

#include "Activity.h"
#include "FaxStatus.h"

#include <QString>

#include <memory>

namespace kestrel {

class JobQuery;
class JobSessionProtocol;

// "KestrelOCX.faxstatus": the fax server's word on jobs already submitted,
// one question at a time, one short session each (JobQuery). Its events come
// from the event loop, never from inside Query(). The host may destroy it
// from inside any of them: the session it was running is then stopped and
// goes once its code has left the stack. It also changes jobs (IFaxStatus2),
// in a session of their own that may run beside a question.
class FaxStatusQuery : public IFaxStatus2
{
public:
    FaxStatusQuery();
    ~FaxStatusQuery() override;
    FaxStatusQuery(const FaxStatusQuery&) = delete;
    FaxStatusQuery& operator=(const FaxStatusQuery&) = delete;

    // Objects and their sessions still alive: the library stays loaded
    // while there are any.
    static int instanceCount();

    void SetServer(const QString& address, const QString& userName, const QString& password) override;
    void SetWaitLimitMs(int ms) override;
    void Advise(IFaxStatusEvents* sink) override { m_sink = sink; }
    bool Query(const QStringList& jobNumbers) override;
    bool IsQuerying() const override { return m_query != nullptr; }

    void AdviseActions(IFaxStatusActionEvents* sink) override { m_actionSink = sink; }
    bool Cancel(const QStringList& jobNumbers) override;
    bool MoveSendTime(const QString& jobNumber, const QDateTime& sendTime) override;
    bool IsActing() const override { return m_action != nullptr; }

private:
    void onReported(const JobReport& report);
    void onFinished(const QString& error);
    bool startAction(std::unique_ptr<JobSessionProtocol> protocol, const QString& logged);
    void onActed(const JobActionReport& report);
    void onActionFinished(const QString& error);

    std::shared_ptr<Activity> m_activity = std::make_shared<Activity>();
    IFaxStatusEvents* m_sink = nullptr;
    QString m_server;
    QString m_userName;
    QString m_password;
    int m_waitLimitMs = 60000;
    JobQuery* m_query = nullptr; // the open question
    IFaxStatusActionEvents* m_actionSink = nullptr;
    JobQuery* m_action = nullptr; // the open change
};

} // namespace kestrel
