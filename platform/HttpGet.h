#pragma once

#include <QString>
#include <QUrl>

namespace kestrel {

struct HttpResult
{
    bool ok = false;
    int status = 0; // HTTP status when a response arrived
    QString body;   // page text (UTF-8, Latin-1 when not valid UTF-8)
    QString error;  // why the request failed, for logs and messages
};

// A GET that returns when the page has arrived, the request failed, or the
// time limit passed. Pending events are processed meanwhile.
HttpResult httpGet(const QUrl& url, int timeoutMs);

} // namespace kestrel
