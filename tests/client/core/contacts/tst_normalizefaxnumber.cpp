#include "NormalizeFaxNumber.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_NormalizeFaxNumber : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void normalizes_data();
    void normalizes();
    void numberField_data();
    void numberField();
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

void tst_NormalizeFaxNumber::numberField_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<int>("cursor");
    QTest::addColumn<QString>("expected"); // null: refused
    QTest::addColumn<int>("expectedCursor");
    QTest::newRow("a digit typed") << u"061"_s << u"0612"_s << 4 << u"0612"_s << 4;
    QTest::newRow("pasted as people write it")
        << QString() << u"+39 02 1234 5678"_s << 16 << u"00390212345678"_s << 14;
    QTest::newRow("pasted inside, slash and all") << u"0612"_s << u"06/ 3-12"_s << 5 << u"06312"_s << 3;
    QTest::newRow("pasted without digits") << u"0612"_s << u"06abc12"_s << 5 << QString() << 5;
    QTest::newRow("no digits over a selection") << u"0612"_s << u"0-2"_s << 2 << QString() << 2;
}

void tst_NormalizeFaxNumber::numberField()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(int, cursor);
    QFETCH(QString, expected);
    QFETCH(int, expectedCursor);
    const std::optional<QString> text = kestrel::NumberFieldText(before, after, &cursor);
    QCOMPARE(text.value_or(QString()), expected);
    QCOMPARE(text.has_value(), !expected.isNull());
    QCOMPARE(cursor, expectedCursor);
}

QTEST_GUILESS_MAIN(tst_NormalizeFaxNumber)
#include "tst_normalizefaxnumber.moc"
