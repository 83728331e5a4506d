// The production message box shows the texts the windows hand it, with CR,
// CR LF and LF each as one line break.

#include "ClientTexts.h"
#include "WidgetMessageBox.h"

#include <QTest>

using namespace Qt::StringLiterals;

using namespace kestrel;

class TestWidgetMessageBox : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lineBreaks_data();
    void lineBreaks();
};

void TestWidgetMessageBox::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("CR") << u"a\rb"_s << u"a\nb"_s;
    QTest::newRow("CR LF") << u"a\r\nb"_s << u"a\nb"_s;
    QTest::newRow("LF") << u"a\nb"_s << u"a\nb"_s;
    QTest::newRow("the summary, three lines")
        << texts::submissionSummary(u"ufficio@example.org"_s, u" 7 8"_s)
        << u"FAX Inoltrato al server \nIndirizzo di conferma:ufficio@example.org\nNumero di Protocollo FAX:  7 8"_s;
    QTest::newRow("no destination, two lines")
        << texts::NoDestination << u"Nessun destinatario inserito\nNon sarà inviato alcun fax"_s;
}

void TestWidgetMessageBox::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(WidgetMessageBox::displayText(text), shown);
}

QTEST_MAIN(TestWidgetMessageBox)
#include "tst_widgetmessagebox.moc"
