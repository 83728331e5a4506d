#include "HttpGet.h"

#include "HttpResponseParser.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QNetworkProxy>
#include <QStringDecoder>
#include <QTcpSocket>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// A page that moved is followed this many times at most.
constexpr int MaxRedirects = 5;

QString decodePage(const QByteArray& bytes)
{
    // Stateless: a page that ends inside a sequence is not UTF-8 either
    // (a stateful decoder would hold those bytes back and drop them).
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

QString sizeText(qint64 bytes)
{
    return bytes % 1024 == 0 ? u"%1 KiB"_s.arg(bytes / 1024) : u"%1 bytes"_s.arg(bytes);
}

QByteArray requestFor(const QUrl& url)
{
    QByteArray target = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (url.hasQuery())
        target += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (url.port(80) != 80)
        host += ':' + QByteArray::number(url.port());
    // HTTP/1.1 for the servers that want it; one request per connection.
    return "GET " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n";
}

// One GET on its own connection, until the answer is complete or fails,
// the time is up, or the program is asked to quit. The parser holds the
// answer.
Status fetchOnce(const QUrl& url, int timeoutMs, HttpResponseParser& answer)
{
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    QString socketError;
    QObject::connect(&socket, &QTcpSocket::connected, &socket, [&] { socket.write(requestFor(url)); });
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [&] { answer.feed(socket.readAll()); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [&] {
        // Also emitted by the abort below, when the socket is closed.
        if (socket.isReadable())
            answer.feed(socket.readAll());
        answer.finish();
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &socket, [&](QAbstractSocket::SocketError error) {
        // The server closing after its answer is how many answers end.
        if (error != QAbstractSocket::RemoteHostClosedError)
            socketError = socket.errorString();
    });
    socket.connectToHost(url.host(), quint16(url.port(80)));

    const WaitOutcome outcome =
        waitUntil([&] { return answer.state() != HttpResponseParser::State::Incomplete; }, timeoutMs,
                  [&] { return !socketError.isEmpty(); });
    socket.abort();
    switch (outcome) {
    case WaitOutcome::Done:
        return {};
    case WaitOutcome::Failed:
        return Error{socketError};
    case WaitOutcome::Interrupted:
        return Error{u"request given up: the program is quitting"_s};
    case WaitOutcome::TimedOut:
        break;
    }
    return Error{u"no answer within %1 s"_s.arg(timeoutMs / 1000.0)};
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// A page is read from the address it was asked at. A page that moves to
// another host or port would make the GET land on any local service (the
// capture port, say, where it arrived as a print job at every poll).
bool sameOrigin(const QUrl& a, const QUrl& b)
{
    return a.scheme() == b.scheme() && a.host() == b.host() && a.port(80) == b.port(80);
}

} // namespace

Expected<QString> httpGet(const QUrl& address, int timeoutMs, qint64 maxBytes)
{
    if (!address.isValid() || address.host().isEmpty())
        return Error{u"invalid address %1"_s.arg(address.toString())};
    QElapsedTimer clock;
    clock.start();
    QUrl url = address;
    for (int redirects = 0;; ++redirects) {
        if (url.scheme() != u"http"_s)
            return Error{u"%1: only http:// pages can be read"_s.arg(url.toString())};
        HttpResponseParser answer(maxBytes);
        const int left = int(qMax<qint64>(1, timeoutMs - clock.elapsed()));
        if (const Status fetched = fetchOnce(url, left, answer); !fetched)
            return fetched.error();
        if (answer.tooLarge())
            return Error{u"page larger than %1, dropped"_s.arg(sizeText(maxBytes))};
        if (answer.state() == HttpResponseParser::State::Failed)
            return Error{u"%1: %2"_s.arg(url.toString(), answer.error())};
        const int status = answer.status();
        if (isRedirect(status) && !answer.header("Location").isEmpty()) {
            if (redirects == MaxRedirects)
                return Error{u"%1: moved more than %2 times"_s.arg(address.toString()).arg(MaxRedirects)};
            const QUrl next = url.resolved(QUrl::fromEncoded(answer.header("Location")));
            if (!sameOrigin(next, address))
                return Error{u"%1: moved to %2, on another host or port: not followed"_s.arg(
                    url.toString(), next.toString())};
            url = next;
            continue;
        }
        if (status < 200 || status > 299) {
            return Error{u"%1: the server answered %2 %3"_s.arg(url.toString())
                             .arg(status)
                             .arg(QString::fromLatin1(answer.reason()))};
        }
        return decodePage(answer.body());
    }
}

} // namespace kestrel
