#include "JobEndDetector.h"

#include <QTest>

using kestrel::JobEndDetector;

class tst_JobEndDetector : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void verdict_data();
    void verdict();
    void resetForgetsThePreviousJob();
};

void tst_JobEndDetector::verdict_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("endsWithEof");

    QTest::newRow("marker at the end") << QList<QByteArray>{"%!PS\nshowpage\n%%EOF"} << true;
    QTest::newRow("CUPS trailer") << QList<QByteArray>{"%!PS\n%%EOF\n\x04"} << true;
    QTest::newRow("CR LF and Ctrl-D in own pieces")
        << QList<QByteArray>{"%!PS\n%%EOF", "\r\n", "\x04"} << true;
    QTest::newRow("PDF padded with blanks and NULs")
        << QList<QByteArray>{"%PDF-1.4\n%%EOF \r\n", QByteArray("\t\f\0\0", 4)} << true;
    QTest::newRow("split across pieces") << QList<QByteArray>{"%!PS\n%%E", "OF\n"} << true;
    QTest::newRow("one byte at a time") << QList<QByteArray>{"%", "%", "E", "O", "F", "\n"} << true;
    QTest::newRow("marker early, data after")
        << QList<QByteArray>{"(%%EOF) def\n%%EOF\n\x04", "%!PS second document\n"} << false;
    QTest::newRow("marker then more in same piece") << QList<QByteArray>{"%%EOF\nshowpage\n"} << false;
    QTest::newRow("lower case") << QList<QByteArray>{"%!PS\n%%eof\n"} << false;
    QTest::newRow("single percent") << QList<QByteArray>{"x%EOF\n"} << false;
    QTest::newRow("trailer inside the marker") << QList<QByteArray>{"%%E\n", "OF"} << false;
    QTest::newRow("only trailers") << QList<QByteArray>{"\r\n", "\x04"} << false;
    QTest::newRow("nothing") << QList<QByteArray>{} << false;
}

void tst_JobEndDetector::verdict()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, endsWithEof);
    JobEndDetector detector;
    for (const QByteArray& piece : pieces)
        detector.feed(piece);
    QCOMPARE(detector.endsWithEofMarker(), endsWithEof);
}

void tst_JobEndDetector::resetForgetsThePreviousJob()
{
    JobEndDetector detector;
    detector.feed("%%E");
    detector.reset();
    detector.feed("OF");
    QVERIFY(!detector.endsWithEofMarker());
}

QTEST_GUILESS_MAIN(tst_JobEndDetector)
#include "tst_jobenddetector.moc"
