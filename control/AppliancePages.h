#pragma once

#include <QString>
#include <QUrl>

namespace kestrel {

// The appliance's status pages and what marks each as complete.
namespace pages {
inline const QString Modems = QStringLiteral("/api/modem.php");
inline const QString Queue = QStringLiteral("/api/faxstat.php");
inline const QString Done = QStringLiteral("/api/faxstat.php?D=1");
inline const QString Lines = QStringLiteral("/api/modemtxt.php");
inline const QString ModemsEnd = QStringLiteral("</elenco_modem>");
inline const QString JobsEnd = QStringLiteral("</jobs>");
} // namespace pages

// Time limit of every request to the appliance's pages.
constexpr int PageTimeoutMs = 60000;

// "http://" + address + path, with the pages port when it was moved.
QUrl appliancePageUrl(const QString& address, const QString& path);

// The modem page answers and holds its closing tag.
bool VerificaAppliance(const QString& address, QString* why = nullptr);

} // namespace kestrel
