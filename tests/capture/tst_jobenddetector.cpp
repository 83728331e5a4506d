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
    // wholeWhenClosed: the spooler closed the connection in order; wholeWhenCut:
    // it was reset or fell silent.
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<bool>("wholeWhenClosed");
    QTest::addColumn<bool>("wholeWhenCut");

    QTest::newRow("marker at the end") << QList<QByteArray>{"%!PS\nshowpage\n%%EOF"} << true << true;
    QTest::newRow("CUPS trailer") << QList<QByteArray>{"%!PS\n%%EOF\n\x04"} << true << true;
    QTest::newRow("CR LF and Ctrl-D in own pieces")
        << QList<QByteArray>{"%!PS\n%%EOF", "\r\n", "\x04"} << true << true;
    QTest::newRow("PDF padded with blanks and NULs")
        << QList<QByteArray>{"%PDF-1.4\n%%EOF \r\n", QByteArray("\t\f\0\0", 4)} << true << true;
    QTest::newRow("split across pieces") << QList<QByteArray>{"%!PS\n%%E", "OF\n"} << true << true;
    QTest::newRow("one byte at a time") << QList<QByteArray>{"%", "%", "E", "O", "F", "\n"} << true << true;
    // What CUPS writes after the document for printer descriptions with job
    // control, each trailer in a piece of its own (the end of the document
    // came earlier).
    const QByteArray document = "%!PS-Adobe-3.0\nshowpage\n%%Trailer\n%%EOF\n";
    QTest::newRow("PJL: exit, ready message, EOJ, exit")
        << QList<QByteArray>{document, "\x1b%-12345X@PJL\n@PJL RDYMSG DISPLAY = \"\"\n@PJL EOJ\n\x1b%-12345X"}
        << true << true;
    QTest::newRow("PJL: EOJ naming the job, CR LF")
        << QList<QByteArray>{document, "\x1b%-12345X@PJL EOJ NAME = \"report %%EOF.ps\"\r\n\x1b%-12345X"}
        << true << true;
    QTest::newRow("PJL: lower case") << QList<QByteArray>{document, "\x1b%-12345X@pjl eoj\n"} << true << true;
    // A job control of another kind: only the close in order vouches for it.
    QTest::newRow("other job control, same piece")
        << QList<QByteArray>{"%!PS\nshowpage\n", "%%EOF\n%!OCE *JEC END\n"} << true << false;
    QTest::newRow("other job control, own piece")
        << QList<QByteArray>{"%!PS\nshowpage\n%%EOF\n", "%!OCE *JEC END\n"} << false << false;
    // Closed in order, a job whose last piece holds "%EOF" is whole.
    QTest::newRow("single percent") << QList<QByteArray>{"x%EOF\n"} << true << false;
    QTest::newRow("marker then more in same piece")
        << QList<QByteArray>{"%%EOF\nshowpage\n"} << true << false;
    QTest::newRow("marker early, data after")
        << QList<QByteArray>{"(%%EOF) def\n%%EOF\n\x04", "%!PS second document\n"} << false << false;
    QTest::newRow("PJL line, then data")
        << QList<QByteArray>{document, "\x1b%-12345X@PJL EOJ\n", "%!PS next\n"} << false << false;
    QTest::newRow("marker past the window")
        << QList<QByteArray>{"%%EOF" + QByteArray(JobEndDetector::Window, '\n') + "x"} << false << false;
    QTest::newRow("lower case") << QList<QByteArray>{"%!PS\n%%eof\n"} << false << false;
    QTest::newRow("trailer inside the marker") << QList<QByteArray>{"%%E\n", "OF"} << false << false;
    QTest::newRow("only trailers") << QList<QByteArray>{"\r\n", "\x04"} << false << false;
    QTest::newRow("nothing") << QList<QByteArray>{} << false << false;
}

void tst_JobEndDetector::verdict()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(bool, wholeWhenClosed);
    QFETCH(bool, wholeWhenCut);
    JobEndDetector detector;
    for (const QByteArray& piece : pieces)
        detector.feed(piece);
    QCOMPARE(detector.endsAsDocument(true), wholeWhenClosed);
    QCOMPARE(detector.endsAsDocument(false), wholeWhenCut);
}

void tst_JobEndDetector::resetForgetsThePreviousJob()
{
    JobEndDetector detector;
    detector.feed("%%E");
    detector.reset();
    detector.feed("OF");
    QVERIFY(!detector.endsAsDocument(true));
}

QTEST_GUILESS_MAIN(tst_JobEndDetector)
#include "tst_jobenddetector.moc"
