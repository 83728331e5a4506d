#include "FileNameOf.h"

#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestFileNameOf : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileNameOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full path") << u"/tmp/kestrel_2401.ps"_s << u"kestrel_2401.ps"_s;
        QTest::newRow("no separator") << u"lettera.pdf"_s << u"lettera.pdf"_s;
        QTest::newRow("ends in separator") << u"/home/mario/"_s << QString();
        QTest::newRow("backslash is part of a name") << u"/tmp/a\\b.ps"_s << u"a\\b.ps"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void fileNameOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(FileNameOf(path), expected);
    }
};

QTEST_GUILESS_MAIN(TestFileNameOf)
#include "tst_filenameof.moc"
