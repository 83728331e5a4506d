#include "HttpGet.h"

#include "Wait.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringDecoder>

#include <memory>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// How much the reply may hold before it is read: the network is not read
// ahead of us by more than this.
constexpr qint64 ReplyBufferBytes = 256 * 1024;

QString decodePage(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

QString sizeText(qint64 bytes)
{
    return bytes % 1024 == 0 ? u"%1 KiB"_s.arg(bytes / 1024) : u"%1 bytes"_s.arg(bytes);
}

} // namespace

HttpResult httpGet(const QUrl& url, int timeoutMs, qint64 maxBytes)
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
    // The body is taken as it arrives, so a page past the limit is dropped
    // at once, whether or not it announced its length. (Declared before the
    // reply, which the handlers below outlive.)
    QByteArray body;
    bool tooLarge = false;
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    reply->setReadBufferSize(qMin(maxBytes + 1, ReplyBufferBytes));
    const auto checkLength = [&] {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (!tooLarge && length.isValid() && length.toLongLong() > maxBytes) {
            tooLarge = true;
            reply->abort();
        }
    };
    const auto take = [&] {
        if (tooLarge)
            return;
        if (body.size() + reply->bytesAvailable() > maxBytes) {
            tooLarge = true;
            reply->abort();
            return;
        }
        body += reply->readAll();
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, reply.get(), checkLength);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), take);

    const WaitOutcome outcome = waitUntil([&] { return tooLarge || reply->isFinished(); }, timeoutMs);
    if (tooLarge) {
        result.error = u"page larger than %1, dropped"_s.arg(sizeText(maxBytes));
        return result;
    }
    if (outcome == WaitOutcome::Interrupted) {
        reply->abort();
        result.error = u"request given up: the program is quitting"_s;
        return result;
    }
    if (outcome == WaitOutcome::TimedOut) {
        reply->abort();
        result.error = u"no answer within %1 s"_s.arg(timeoutMs / 1000.0);
        return result;
    }
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError) {
        result.error = reply->errorString();
        return result;
    }
    take();
    if (tooLarge) {
        result.error = u"page larger than %1, dropped"_s.arg(sizeText(maxBytes));
        return result;
    }
    result.body = decodePage(body);
    result.ok = true;
    return result;
}

} // namespace kestrel
