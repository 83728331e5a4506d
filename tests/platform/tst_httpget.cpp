// The synchronous GET: pages within the limit arrive whole; a larger page
// fails as soon as the limit is passed, with or without a length; a request
// to quit ends a request that waits for an answer.

#include "HttpGet.h"
#include "PageServer.h"
#include "Wait.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace kestrel;

class TestHttpGet : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A request leaves nothing in the log: a read of the closed socket
    // once printed a warning for every page the poller fetched.
    void init() { QTest::failOnWarning(QRegularExpression(u".*"_s)); }
    void cleanup() { clearInterruption(); }

    void pageSizeLimit_data()
    {
        QTest::addColumn<qint64>("size"); // -1: endless, no length
        QTest::addColumn<qint64>("limit");
        QTest::addColumn<bool>("ok");
        QTest::newRow("at the limit") << qint64(100000) << qint64(100000) << true;
        QTest::newRow("one byte over") << qint64(100001) << qint64(100000) << false;
        QTest::newRow("default limit, 3 MiB") << qint64(3 << 20) << DefaultPageLimit << true;
        QTest::newRow("default limit, 40 MiB") << qint64(40 << 20) << DefaultPageLimit << false;
        QTest::newRow("endless") << qint64(-1) << qint64(1 << 20) << false;
    }
    void pageSizeLimit()
    {
        QFETCH(qint64, size);
        QFETCH(qint64, limit);
        QFETCH(bool, ok);
        PageServer server;
        if (size < 0)
            server.setEndlessPage(u"/p"_s);
        else
            server.setPage(u"/p"_s, QByteArray(size, 'a'));
        const QUrl url(u"http://127.0.0.1:%1/p"_s.arg(server.port()));

        const Expected<QString> page =
            limit == DefaultPageLimit ? httpGet(url, 30000) : httpGet(url, 30000, limit);

        QCOMPARE(page.hasValue(), ok);
        if (ok) {
            QCOMPARE(page->size(), size);
        } else {
            QVERIFY2(page.error().message.contains(u"larger than"_s), qPrintable(page.error().message));
        }
        // An endless page is dropped once the limit is passed, not at the time limit.
        if (size < 0)
            QVERIFY2(server.endlessBytesSent() < 16 * limit,
                     qPrintable(QString::number(server.endlessBytesSent())));
    }

    void answers_data()
    {
        QTest::addColumn<QByteArray>("answer"); // to GET /p; GET /q gives "moved here"
        QTest::addColumn<QString>("page");      // or the error's telling part
        QTest::addColumn<bool>("ok");
        QTest::newRow("chunks") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                              "4\r\n<a/>\r\n0\r\n\r\n")
                                << u"<a/>"_s << true;
        QTest::newRow("moved") << QByteArray(
                                      "HTTP/1.1 302 Found\r\nLocation: /q\r\nContent-Length: 0\r\n\r\n")
                               << u"moved here"_s << true;
        QTest::newRow("moved in a circle")
            << QByteArray("HTTP/1.1 301 Moved\r\nLocation: /p\r\nContent-Length: 0\r\n\r\n")
            << u"moved more than 5 times"_s << false;
        // Followed, these would fail as refused: no one listens there. One
        // that moved to the capture port made every poll print a document.
        QTest::newRow("moved to another port")
            << QByteArray("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:1/q\r\n\r\n") << u"not followed"_s
            << false;
        QTest::newRow("moved to another host")
            << QByteArray("HTTP/1.1 302 Found\r\nLocation: //127.0.0.2:1/q\r\n\r\n") << u"not followed"_s
            << false;
        QTest::newRow("moved to https")
            << QByteArray("HTTP/1.1 301 Moved\r\nLocation: https://127.0.0.1/p\r\n\r\n") << u"not followed"_s
            << false;
        QTest::newRow("not found") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnone")
                                   << u"answered 404 Not Found"_s << false;
        QTest::newRow("cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n<a>")
                                   << u"before the page was complete"_s << false;
        QTest::newRow("Latin-1 page")
            << QByteArray("HTTP/1.0 200 OK\r\n\r\nLinea \xe0") << u"Linea \u00e0"_s << true;
    }
    void answers()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, page);
        QFETCH(bool, ok);
        PageServer server;
        server.setRawAnswer(u"/p"_s, answer);
        server.setPage(u"/q"_s, "moved here");
        const Expected<QString> got = httpGet(QUrl(u"http://127.0.0.1:%1/p"_s.arg(server.port())), 30000);
        QCOMPARE(got.hasValue(), ok);
        if (ok)
            QCOMPARE(*got, page);
        else
            QVERIFY2(got.error().message.contains(page), qPrintable(got.error().message));
    }

    void refusedConnection()
    {
        quint16 port = 0;
        {
            PageServer closed;
            port = closed.port();
        }
        const Expected<QString> got = httpGet(QUrl(u"http://127.0.0.1:%1/p"_s.arg(port)), 30000);
        QVERIFY(!got);
        QVERIFY2(got.error().message.contains(u"refused"_s, Qt::CaseInsensitive),
                 qPrintable(got.error().message));
    }

    void interruptionEndsARequest()
    {
        PageServer server;
        server.setSilentPage(u"/p"_s);
        QTimer::singleShot(100, this, [] { requestInterruption(); });
        QElapsedTimer clock;
        clock.start();
        const Expected<QString> page = httpGet(QUrl(u"http://127.0.0.1:%1/p"_s.arg(server.port())), 30000);
        QVERIFY(!page);
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(page.error().message.contains(u"quitting"_s), qPrintable(page.error().message));
    }
};

QTEST_GUILESS_MAIN(TestHttpGet)
#include "tst_httpget.moc"
