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

Expected<QString> httpGet(const QUrl& url, int timeoutMs, qint64 maxBytes)
{
    if (!url.isValid() || url.host().isEmpty())
        return Error{u"invalid address %1"_s.arg(url.toString())};
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
    const Error oversized{u"page larger than %1, dropped"_s.arg(sizeText(maxBytes))};
    if (tooLarge)
        return oversized;
    if (outcome == WaitOutcome::Interrupted) {
        reply->abort();
        return Error{u"request given up: the program is quitting"_s};
    }
    if (outcome == WaitOutcome::TimedOut) {
        reply->abort();
        return Error{u"no answer within %1 s"_s.arg(timeoutMs / 1000.0)};
    }
    if (reply->error() != QNetworkReply::NoError)
        return Error{reply->errorString()};
    take();
    if (tooLarge)
        return oversized;
    return decodePage(body);
}

} // namespace kestrel
