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

bool VerificaAppliance(const QString& address, int timeoutMs, QString* why)
{
    const HttpResult page = httpGet(appliancePageUrl(address, pages::Modems), timeoutMs);
    if (!page.ok) {
        if (why)
            *why = page.error;
        return false;
    }
    if (!page.body.contains(pages::ModemsEnd)) {
        if (why)
            *why = u"the modem page has no closing tag"_s;
        return false;
    }
    return true;
}

} // namespace kestrel
