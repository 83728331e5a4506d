#pragma once

#include <QtGlobal>

namespace kestrel::ports {

// The appliance and the capture printer use fixed ports. They can be moved
// through the environment (demo runs as an ordinary user, tests run servers
// on free ports); this is the only place that reads those variables.
constexpr quint16 DefaultAppliancePages = 80;
constexpr quint16 DefaultFaxServer = 4559;
constexpr quint16 DefaultPrintCapture = 9100;

constexpr const char* AppliancePagesVariable = "KESTREL_HTTP_PORT";
constexpr const char* FaxServerVariable = "KESTREL_FAX_PORT";
constexpr const char* PrintCaptureVariable = "KESTREL_PRINT_PORT";

quint16 appliancePages();
quint16 faxServer();
quint16 printCapture();

} // namespace kestrel::ports
