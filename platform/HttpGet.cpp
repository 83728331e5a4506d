#include "HttpGet.h"

#include "Wait.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QString decodePage(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

} // namespace

HttpResult httpGet(const QUrl& url, int timeoutMs)
{
    HttpResult result;
    if (!url.isValid() || url.host().isEmpty()) {
        result.error = u"invalid address %1"_s.arg(url.toString());
        return result;
    }
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = manager.get(request);
    const WaitOutcome outcome = waitUntil([reply] { return reply->isFinished(); }, timeoutMs);
    if (outcome == WaitOutcome::TimedOut) {
        reply->abort();
        delete reply;
        result.error = u"no answer within %1 s"_s.arg(timeoutMs / 1000.0);
        return result;
    }
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
        delete reply;
        return result;
    }
    result.body = decodePage(reply->readAll());
    result.ok = true;
    delete reply;
    return result;
}

} // namespace kestrel
