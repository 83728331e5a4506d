// Splitting the command connection's bytes into replies.

#include "ReplySplitter.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

namespace {

QList<Reply> feedAll(ReplySplitter& splitter, const QList<QByteArray>& pieces)
{
    QList<Reply> replies;
    for (const QByteArray& piece : pieces) {
        splitter.feed(piece);
        while (splitter.hasReply())
            replies << splitter.takeReply();
    }
    return replies;
}

QList<int> codes(const QList<Reply>& replies)
{
    QList<int> result;
    for (const Reply& reply : replies)
        result << reply.code;
    return result;
}

} // namespace

class TestReplySplitter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void mergedBatch();
    void byteByByte();
    void multiLine();
    void warningsBeforeGreeting();
    void bareLineFeedAndGarbage();
    void overlongLine();
    void endlessMultiLineReply();
};

void TestReplySplitter::mergedBatch()
{
    ReplySplitter splitter;
    const auto replies =
        feedAll(splitter, {"213 FROMUSER set to \"x\".\r\n200 Type set to Image.\r\n213 SENDTIME set "
                           "to NOW.\r\n250 CWD command successful.\r\n227 Entering passive mode "
                           "(127,0,0,1,213,173)\r\n150 Open"});
    QCOMPARE(codes(replies), (QList<int>{213, 200, 213, 250, 227}));
    QCOMPARE(replies.at(4).text, u"227 Entering passive mode (127,0,0,1,213,173)"_s);
    // The partial line waits for the rest.
    QVERIFY(!splitter.hasReply());
    splitter.feed("ing new data connection for /tmp/3-1.ps.\r\n");
    QVERIFY(splitter.hasReply());
    QCOMPARE(splitter.takeReply().text, u"150 Opening new data connection for /tmp/3-1.ps."_s);
}

void TestReplySplitter::byteByByte()
{
    const QByteArray stream =
        "220 vm server (HylaFAX (tm) Version 6.0.7) ready.\r\n331 Password required for u.\r\n";
    QList<QByteArray> pieces;
    for (char c : stream)
        pieces << QByteArray(1, c);
    ReplySplitter splitter;
    const auto replies = feedAll(splitter, pieces);
    QCOMPARE(codes(replies), (QList<int>{220, 331}));
    QCOMPARE(replies.at(0).codeText(), u"220"_s);
    QCOMPARE(replies.at(1).text, u"331 Password required for u."_s);
}

void TestReplySplitter::multiLine()
{
    ReplySplitter splitter;
    // A line inside the reply that starts like another code does not end it.
    const auto replies =
        feedAll(splitter, {"213-Job parameters\r\n 200 fake\r\n213-more\r", "\n213 End.\r\n230 ok\r\n"});
    QCOMPARE(codes(replies), (QList<int>{213, 230}));
    QCOMPARE(replies.at(0).text, u"213-Job parameters\r\n 200 fake\r\n213-more\r\n213 End."_s);
}

void TestReplySplitter::warningsBeforeGreeting()
{
    ReplySplitter splitter;
    const auto replies =
        feedAll(splitter, {"130 Warning, client address 127.0.0.1 is not listed for host name lookups.\r\n",
                           "130 Warning, again.\r\n220 server ready.\r\n"});
    QCOMPARE(codes(replies), (QList<int>{130, 130, 220}));
    QVERIFY(replies.at(0).isPreliminary());
    QVERIFY(!replies.at(2).isPreliminary());
}

void TestReplySplitter::bareLineFeedAndGarbage()
{
    ReplySplitter splitter;
    const auto replies =
        feedAll(splitter, {"220 ready\n", "hello\r\n", "55\r\n", "530 Login incorrect.\r\n"});
    QCOMPARE(codes(replies), (QList<int>{220, -1, -1, 530}));
    QVERIFY(replies.at(3).isRefusal());
}

void TestReplySplitter::overlongLine()
{
    ReplySplitter splitter;
    QVERIFY(splitter.feed(QByteArray(ReplySplitter::MaxReply, 'x')));
    QVERIFY(!splitter.feed("yy"));
    QVERIFY(!splitter.feed("200 ok\r\n")); // nothing more until reset
    QVERIFY(!splitter.hasReply());
    splitter.reset();
    QVERIFY(splitter.feed("200 ok\r\n"));
    QCOMPARE(splitter.takeReply().code, 200);
}

void TestReplySplitter::endlessMultiLineReply()
{
    // Short lines that never close the reply: the reply as a whole is
    // bounded, not only its unfinished line.
    ReplySplitter splitter;
    QVERIFY(splitter.feed("220-welcome\r\n"));
    const QByteArray lines = QByteArray("220-more of the same\r\n").repeated(1000);
    qsizetype fed = 0;
    bool refused = false;
    while (fed < 4 * ReplySplitter::MaxReply && !refused) {
        refused = !splitter.feed(lines);
        fed += lines.size();
    }
    QVERIFY(refused);
    QVERIFY(fed < 2 * ReplySplitter::MaxReply);
    QVERIFY(!splitter.hasReply());
}

QTEST_GUILESS_MAIN(TestReplySplitter)
#include "tst_replysplitter.moc"
