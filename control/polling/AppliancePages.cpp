#include "AppliancePages.h"

#include "HttpGet.h"
#include "Ports.h"

using namespace Qt::StringLiterals;

namespace kestrel {

QUrl appliancePageUrl(const QString& address, const QString& path)
{
    const quint16 port = ports::appliancePages();
    QString text = u"http://"_s + address;
    if (port != ports::DefaultAppliancePages)
        text += u':' + QString::number(port);
    return QUrl(text + path);
}

Status VerificaAppliance(const QString& address, int timeoutMs)
{
    const Expected<QString> page = httpGet(appliancePageUrl(address, pages::Modems), timeoutMs);
    if (!page)
        return page.error();
    if (!page->contains(pages::ModemsEnd))
        return Error{u"the modem page has no closing tag"_s};
    return {};
}

} // namespace kestrel
