#pragma once

#include "ProcessStarter.h"

#include <QStringList>

namespace kestrel {

// Starts nothing: notes each program it was asked to start and reports success.
class RecordingProcessStarter : public ProcessStarter
{
public:
    Status startDetached(const QString& program, const QStringList&, const QString&) override
    {
        m_started.append(program);
        return {};
    }
    const QStringList& started() const { return m_started; }

private:
    QStringList m_started;
};

} // namespace kestrel
