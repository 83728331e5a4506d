#pragma once

#include <QString>

#include <optional>

namespace kestrel {

// The fax server's reasons for a job that failed or went back into its queue
// (hfaxd's STATUS: "Busy signal detected", "Kill time expired" ...), in
// Italian words for the user. A text is known by its start, case aside:
// the server appends details to some ("REJECT: Too many attempts to dial:
// 12, max 12"), and a start matches only a whole word. The longest start
// that matches wins.
//
// Shown to the user in the status window, the desktop notice and
// corvafax-send --wait; what is stored stays the server's own text.
namespace serverReasons {

// The Italian words for a server's text, or nothing when it is not one
// this table knows.
std::optional<QString> known(const QString& serverText);
// The Italian words, or the text as it came when it is not known.
QString inItalian(const QString& serverText);

} // namespace serverReasons
} // namespace kestrel
