#pragma once

#include "Expected.h"

#include <QString>
#include <QUrl>

namespace kestrel {

// The most a page may hold. The appliance's pages are a few kilobytes; a
// body far beyond that is a fault, and holding it (and decoding it as text)
// would take the host's memory and freeze its event loop.
constexpr qint64 DefaultPageLimit = 4 * 1024 * 1024;

// A GET that returns when the page has arrived, the request failed, the time
// limit passed, or the program was asked to quit (interruptionRequested()).
// A body larger than maxBytes fails as soon as that much has arrived.
// A page that moved is followed only to the same host and port.
// Pending events are processed meanwhile. The page's text (UTF-8, Latin-1
// when it is not valid UTF-8), or why there is none.
Expected<QString> httpGet(const QUrl& url, int timeoutMs, qint64 maxBytes = DefaultPageLimit);

} // namespace kestrel
