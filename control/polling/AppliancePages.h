#pragma once

#include "Expected.h"

#include <QString>
#include <QUrl>

namespace kestrel {

using namespace Qt::StringLiterals;

// The appliance's status pages and what marks each as complete.
namespace pages {
inline const QString Modems = u"/api/modem.php"_s;
inline const QString Queue = u"/api/faxstat.php"_s;
inline const QString Done = u"/api/faxstat.php?D=1"_s;
inline const QString Lines = u"/api/modemtxt.php"_s;
inline const QString ModemsEnd = u"</elenco_modem>"_s;
inline const QString JobsEnd = u"</jobs>"_s;
} // namespace pages

// Time limit of every request to the appliance's pages.
constexpr int PageTimeoutMs = 60000;

// "http://" + address + path, with the pages port when it was moved.
QUrl appliancePageUrl(const QString& address, const QString& path);

// The modem page answers within timeoutMs and holds its closing tag; the
// error says why not.
Status VerificaAppliance(const QString& address, int timeoutMs);

} // namespace kestrel
