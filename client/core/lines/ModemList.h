#pragma once

#include "HttpGet.h"
#include "LineTable.h"

#include <QStringList>
#include <QUrl>

#include <functional>

namespace kestrel {

// What the send window's line selector ComboOut and its label lblModem show.
struct LineSelector
{
    QStringList items; // line names in line-number order; none preselected
    bool visible = false;
};

// Listamodem without the window: fetches the appliance's line page and fills
// the program-wide LineTable. A failed or empty page lists no line and
// shows no message: every fax then goes out on the control's default line.
class ModemList
{
public:
    using PageFetcher = std::function<Expected<QString>(const QUrl& url, int timeoutMs)>;

    // The user waits for this at every load of the send window.
    static constexpr int PageTimeoutMs = 10000;

    explicit ModemList(LineTable& table, PageFetcher fetch = {})
        : m_table(table),
          m_fetch(fetch ? std::move(fetch)
                        : PageFetcher([](const QUrl& url, int timeoutMs) { return httpGet(url, timeoutMs); }))
    {}

    // "http://" + ip + "/api/modemtxt.php", on the moved pages port when
    // KESTREL_HTTP_PORT is set.
    static QUrl pageUrl(const QString& ip);

    // Nothing is asked for an empty address; "none" is asked for and fails.
    LineSelector Listamodem(const QString& ip);

    // Lines 1 to 40 of page into the table; LineCount becomes the highest
    // line found. The selector shows only when a line above 1 exists.
    LineSelector fill(const QString& page);

private:
    LineTable& m_table;
    PageFetcher m_fetch;
};

} // namespace kestrel
