#pragma once

#include "ProcessStarter.h"

namespace kestrel {

class DetachedProcessStarter : public ProcessStarter
{
public:
    Status startDetached(const QString& program, const QStringList& arguments,
                         const QString& workingDirectory) override;
};

} // namespace kestrel
