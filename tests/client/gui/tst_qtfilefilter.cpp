#include "QtFileFilter.h"

#include "ClientTexts.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>

using namespace kestrel;
using namespace Qt::StringLiterals;

class TestQtFileFilter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void convert_data()
    {
        QTest::addColumn<QString>("classic");
        QTest::addColumn<QString>("qt");
        QTest::newRow("documents") << texts::DocumentFilter << u"Documento PDF - PS (*.pdf *.ps)"_s;
        QTest::newRow("two entries, no last bar")
            << u"Testo|*.txt|Documenti (PDF)|*.pdf"_s << u"Testo (*.txt);;Documenti (PDF) (*.pdf)"_s;
        QTest::newRow("*.* is every file") << u"Tutti (*.*)|*.*|"_s << u"Tutti (*)"_s;
        QTest::newRow("incomplete entries left out") << u"Vuoto||Testo|*.txt|Altro"_s << u"Testo (*.txt)"_s;
        QTest::newRow("empty") << QString() << QString();
    }
    void convert()
    {
        QFETCH(QString, classic);
        QFETCH(QString, qt);
        QCOMPARE(qtFileFilter(classic), qt);
        // Qt's own dialog reads the patterns out of it.
        if (classic == texts::DocumentFilter) {
            QFileDialog dialog;
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setNameFilter(qt);
            QCOMPARE(dialog.findChild<QFileSystemModel*>()->nameFilters(),
                     (QStringList{u"*.pdf"_s, u"*.ps"_s}));
        }
    }
};

QTEST_MAIN(TestQtFileFilter)
#include "tst_qtfilefilter.moc"
