#include "TagValue.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestTagValue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tagValue_data()
    {
        QTest::addColumn<QString>("tag");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("element") << u"p1>"_s << u"<p1>ttyIAX0</p1>"_s << u"ttyIAX0"_s;
        QTest::newRow("first occurrence") << u"p1>"_s << u"<p1>a</p1><p1>b</p1>"_s << u"a"_s;
        QTest::newRow("no delimiter: rest of text") << u"n1>"_s << u"<n1>Linea 1 "_s << u"Linea 1 "_s;
        QTest::newRow("blanks kept") << u"n1>"_s << u"<n1> a </n1>"_s << u" a "_s;
        QTest::newRow("missing tag") << u"p2>"_s << u"<p1>a</p1>"_s << QString();
        QTest::newRow("case-sensitive") << u"p1>"_s << u"<P1>a</P1>"_s << QString();
        QTest::newRow("p1> is not in p11>") << u"p1>"_s << u"<p11>x</p11>"_s << QString();
        QTest::newRow("empty value") << u"p1>"_s << u"<p1></p1>"_s << QString();
        const QString padded = u"<p1>a</p1>"_s + QString(TagValueMaxText - 10, u' ');
        QTest::newRow("32767 characters") << u"p1>"_s << padded << u"a"_s;
        QTest::newRow("32768 characters") << u"p1>"_s << padded + u' ' << QString();
    }
    void tagValue()
    {
        QFETCH(QString, tag);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(TagValue(tag, u'<', text), expected);
    }
};

QTEST_GUILESS_MAIN(TestTagValue)
#include "tst_tagvalue.moc"
