#pragma once

#include <QString>

namespace kestrel::simulator {

// Protocol activity goes to stderr, one line per event, so a failing test's
// output shows the conversation. --quiet silences it.
namespace activity {
void setQuiet(bool quiet);
void log(const QString& line);
} // namespace activity

} // namespace kestrel::simulator
