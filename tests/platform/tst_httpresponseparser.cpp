// The HTTP answer reader, fed as the network would: whole, and one byte at
// a time. Bodies by length, by chunks and to the end of the connection;
// interim answers; limits on the body and the head; broken answers.

#include "HttpResponseParser.h"

#include <QTest>

#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace kestrel;
using State = HttpResponseParser::State;

Q_DECLARE_METATYPE(HttpResponseParser::State)

class TestHttpResponseParser : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
    void headerNamesIgnoreCase();
};

void TestHttpResponseParser::answers_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("connectionEnds"); // after the bytes
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body"); // of an answer that did not fail
    QTest::addColumn<bool>("tooLarge");   // the limit is 10 bytes

    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    QTest::newRow("length") << ok + "Content-Length: 5\r\n\r\nhello" << false << State::Complete << 200
                            << QByteArray("hello") << false;
    QTest::newRow("length, bytes after it ignored") << ok + "Content-Length: 2\r\n\r\nhello" << false
                                                    << State::Complete << 200 << QByteArray("he") << false;
    QTest::newRow("to the end of the connection") << QByteArray("HTTP/1.0 200 OK\r\n\r\nhello") << true
                                                  << State::Complete << 200 << QByteArray("hello") << false;
    QTest::newRow("to the end, not yet ended") << QByteArray("HTTP/1.0 200 OK\r\n\r\nhello") << false
                                               << State::Incomplete << 200 << QByteArray("hello") << false;
    QTest::newRow("chunks, extension and trailer")
        << ok + "Transfer-Encoding: chunked\r\n\r\n3;x=y\r\nhel\r\n2\r\nlo\r\n0\r\nExpires: 0\r\n\r\n"
        << false << State::Complete << 200 << QByteArray("hello") << false;
    QTest::newRow("line feeds alone") << QByteArray("HTTP/1.1 200 OK\nContent-Length: 2\n\nhi") << false
                                      << State::Complete << 200 << QByteArray("hi") << false;
    QTest::newRow("interim answer first")
        << "HTTP/1.1 100 Continue\r\n\r\n" + ok + "Content-Length: 2\r\n\r\nhi" << false << State::Complete
        << 200 << QByteArray("hi") << false;
    QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << State::Complete
                                << 204 << QByteArray() << false;
    QTest::newRow("error page kept") << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nnon")
                                     << false << State::Complete << 404 << QByteArray("non") << false;

    QTest::newRow("announced length over the limit") << ok + "Content-Length: 11\r\n\r\n"
                                                     << false << State::Failed << 200 << QByteArray() << true;
    QTest::newRow("at the limit") << ok + "Content-Length: 10\r\n\r\n0123456789" << false << State::Complete
                                  << 200 << QByteArray("0123456789") << false;
    QTest::newRow("chunks over the limit") << ok + "Transfer-Encoding: chunked\r\n\r\n6\r\n012345\r\n5\r\n"
                                           << false << State::Failed << 200 << QByteArray("012345") << true;
    QTest::newRow("to the end, over the limit") << QByteArray("HTTP/1.0 200 OK\r\n\r\n0123456789A") << false
                                                << State::Failed << 200 << QByteArray() << true;

    QTest::newRow("not HTTP") << QByteArray("SSH-2.0-OpenSSH_9.2\r\n") << false << State::Failed << 0
                              << QByteArray() << false;
    QTest::newRow("status out of range")
        << QByteArray("HTTP/1.1 999 Odd\r\n\r\n") << false << State::Failed << 0 << QByteArray() << false;
    QTest::newRow("length not a number") << ok + "Content-Length: many\r\n\r\n"
                                         << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("chunk size not a number") << ok + "Transfer-Encoding: chunked\r\n\r\nzz\r\n"
                                             << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("chunk longer than its size") << ok + "Transfer-Encoding: chunked\r\n\r\n2\r\nhello\r\n"
                                                << false << State::Failed << 200 << QByteArray("he") << false;
    QTest::newRow("cut in the body") << ok + "Content-Length: 5\r\n\r\nhel" << true << State::Failed << 200
                                     << QByteArray("hel") << false;
    QTest::newRow("cut before an answer")
        << QByteArray() << true << State::Failed << 0 << QByteArray() << false;
    QTest::newRow("endless header") << ok + "X: " + QByteArray(HttpResponseParser::MaxHeadBytes + 1, 'a')
                                    << false << State::Failed << 200 << QByteArray() << false;
    // Limits on lines: the same verdict in one piece as byte by byte.
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    QTest::newRow("chunk size line at its limit")
        << chunked + "2;" + QByteArray(1022, 'x') + "\r\nhi\r\n0\r\n\r\n"
        << false << State::Complete << 200 << QByteArray("hi") << false;
    QTest::newRow("chunk size line past its limit")
        << chunked + "2;" + QByteArray(1023, 'x') + "\r\nhi\r\n0\r\n\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("trailer past its limit")
        << chunked + "0\r\nX: " + QByteArray(HttpResponseParser::MaxHeadBytes, 'a') + "\r\n\r\n"
        << false << State::Failed << 200 << QByteArray() << false;
    QTest::newRow("endless status line") << QByteArray(HttpResponseParser::MaxHeadBytes + 2, 'H') << false
                                         << State::Failed << 0 << QByteArray() << false;
}

void TestHttpResponseParser::answers()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, connectionEnds);
    QFETCH(State, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, tooLarge);

    HttpResponseParser whole(10);
    whole.feed(bytes);
    HttpResponseParser bytewise(10);
    for (const char byte : bytes)
        bytewise.feed(QByteArrayView(&byte, 1));
    // And in two pieces, cut at every place (for the short answers).
    std::vector<std::unique_ptr<HttpResponseParser>> halves;
    for (qsizetype cut = 1; bytes.size() < 4096 && cut < bytes.size(); ++cut) {
        halves.push_back(std::make_unique<HttpResponseParser>(10));
        halves.back()->feed(QByteArrayView(bytes).first(cut));
        halves.back()->feed(QByteArrayView(bytes).sliced(cut));
    }
    std::vector<HttpResponseParser*> parsers{&whole, &bytewise};
    for (const auto& parser : halves)
        parsers.push_back(parser.get());
    for (HttpResponseParser* parser : parsers) {
        if (connectionEnds)
            parser->finish();
        QCOMPARE(parser->state(), state);
        QCOMPARE(parser->status(), status);
        if (state != State::Failed) // what a failed answer holds is not used
            QCOMPARE(parser->body(), body);
        QCOMPARE(parser->tooLarge(), tooLarge);
        QCOMPARE(parser->error().isEmpty(), state != State::Failed);
    }
}

void TestHttpResponseParser::headerNamesIgnoreCase()
{
    HttpResponseParser parser(100);
    parser.feed("HTTP/1.1 302 Found\r\nlocation:  /api/other.php \r\nContent-Length: 0\r\n\r\n");
    QCOMPARE(parser.state(), State::Complete);
    QCOMPARE(parser.reason(), QByteArray("Found"));
    QCOMPARE(parser.header("Location"), QByteArray("/api/other.php"));
    QCOMPARE(parser.header("Content-Type"), QByteArray());
}

QTEST_APPLESS_MAIN(TestHttpResponseParser)
#include "tst_httpresponseparser.moc"
