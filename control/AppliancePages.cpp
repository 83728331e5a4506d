#include "AppliancePages.h"

#include "HttpGet.h"
#include "Ports.h"

namespace kestrel {

QUrl appliancePageUrl(const QString& address, const QString& path)
{
    const quint16 port = ports::appliancePages();
    QString text = QStringLiteral("http://") + address;
    if (port != ports::DefaultAppliancePages)
        text += QLatin1Char(':') + QString::number(port);
    return QUrl(text + path);
}

bool VerificaAppliance(const QString& address, QString* why)
{
    const HttpResult page = httpGet(appliancePageUrl(address, pages::Modems), PageTimeoutMs);
    if (!page.ok) {
        if (why)
            *why = page.error;
        return false;
    }
    if (!page.body.contains(pages::ModemsEnd)) {
        if (why)
            *why = QStringLiteral("the modem page has no closing tag");
        return false;
    }
    return true;
}

} // namespace kestrel
