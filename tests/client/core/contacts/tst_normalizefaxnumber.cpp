#include "NormalizeFaxNumber.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_NormalizeFaxNumber : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void normalizes_data();
    void normalizes();
};

void tst_NormalizeFaxNumber::normalizes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("international, brackets, dash") << u"+39 (02) 123-4567"_s << u"0039021234567"_s;
    QTest::newRow("slash kept") << u"02/1234"_s << u"02/1234"_s;
    QTest::newRow("no digits") << u"n.d. -"_s << QString();
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("plus inside") << u"0+1"_s << u"0001"_s;
    QTest::newRow("blanks and tabs") << u"  02\t12 34  "_s << u"021234"_s;
    QTest::newRow("dot and colon are outside the range") << u"02.12:34"_s << u"021234"_s;
    QTest::newRow("other scripts' digits removed") << u"٠٢12"_s << u"12"_s;
}

void tst_NormalizeFaxNumber::normalizes()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(kestrel::NormalizeFaxNumber(text), expected);
}

QTEST_GUILESS_MAIN(tst_NormalizeFaxNumber)
#include "tst_normalizefaxnumber.moc"
