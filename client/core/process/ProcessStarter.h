#pragma once

#include "Expected.h"

#include <QString>
#include <QStringList>

namespace kestrel {

// Starts another program, replaceable in tests.
class ProcessStarter
{
public:
    virtual ~ProcessStarter() = default;
    // Starts program and returns at once; the program outlives the client.
    virtual Status startDetached(const QString& program, const QStringList& arguments,
                                 const QString& workingDirectory) = 0;
};

} // namespace kestrel
