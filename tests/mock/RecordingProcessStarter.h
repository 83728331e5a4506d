#pragma once

#include "ProcessStarter.h"

#include <QStringList>

namespace kestrel {

using namespace Qt::StringLiterals;

// Starts nothing: notes each program it was asked to start and answers as
// the test says.
class RecordingProcessStarter : public ProcessStarter
{
public:
    Status startDetached(const QString& program, const QStringList&, const QString&) override
    {
        m_started.append(program);
        return m_fails ? Status(Error{u"refused by the test"_s}) : Status();
    }
    void setFails(bool fails) { m_fails = fails; }
    const QStringList& started() const { return m_started; }

private:
    QStringList m_started;
    bool m_fails = false;
};

} // namespace kestrel
