#include "Ports.h"

namespace kestrel::ports {
namespace {

quint16 fromEnvironment(const char* name, quint16 fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 && value <= 65535 ? static_cast<quint16>(value) : fallback;
}

} // namespace

quint16 appliancePages()
{
    return fromEnvironment(AppliancePagesVariable, DefaultAppliancePages);
}
quint16 faxServer()
{
    return fromEnvironment(FaxServerVariable, DefaultFaxServer);
}
quint16 printCapture()
{
    return fromEnvironment(PrintCaptureVariable, DefaultPrintCapture);
}

} // namespace kestrel::ports
