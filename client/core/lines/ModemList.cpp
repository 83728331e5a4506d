#include "ModemList.h"

#include "Ports.h"
#include "TagValue.h"

using namespace Qt::StringLiterals;

namespace kestrel {

QUrl ModemList::pageUrl(const QString& ip)
{
    const quint16 port = ports::appliancePages();
    const QString host = port == ports::DefaultAppliancePages ? ip : ip + u':' + QString::number(port);
    return QUrl(u"http://"_s + host + u"/api/modemtxt.php"_s);
}

LineSelector ModemList::Listamodem(const QString& ip)
{
    if (ip.isEmpty())
        return {};
    const Expected<QString> page = m_fetch(pageUrl(ip), PageTimeoutMs);
    return fill(page ? *page : QString());
}

LineSelector ModemList::fill(const QString& page)
{
    LineSelector selector;
    // Only lines of this page may be looked up.
    m_table.setLineCount(0);
    for (int n = 1; n <= LineTable::MaxLine; ++n) {
        const QString number = QString::number(n);
        const QString identifier = TagValue(u'p' + number + u'>', u'<', page);
        if (identifier.isEmpty())
            continue;
        const QString name = TagValue(u'n' + number + u'>', u'<', page).trimmed();
        selector.items.append(name);
        m_table.setRow(n, identifier.trimmed(), name);
        m_table.setLineCount(static_cast<qint16>(n));
        if (n > 1)
            selector.visible = true;
    }
    return selector;
}

} // namespace kestrel
