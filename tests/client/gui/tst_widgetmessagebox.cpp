// The production message box shows the texts the windows hand it, with CR,
// CR LF and LF each as one line break; in front of the window that caused
// it, and never taller than the screen.

#include "ClientTexts.h"
#include "QtTranslation.h"
#include "WidgetMessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

using namespace kestrel;

namespace {

// Calls look with the next message box once it is on the screen, from
// inside the box's own event loop; then presses its first button unless
// look has closed it.
void whenBoxShows(const std::function<void(QMessageBox&)>& look)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, look] {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        timer->deleteLater();
        timer->stop();
        look(*box);
        if (box && box->isVisible())
            box->buttons().constFirst()->click();
    });
    timer->start();
}

// A window as the send window is: always on top.
std::unique_ptr<QWidget> onTopWindow()
{
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    window->resize(300, 200);
    window->show();
    return window;
}

} // namespace

class TestWidgetMessageBox : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lineBreaks_data();
    void lineBreaks();
    void inFrontOfItsWindow_data();
    void inFrontOfItsWindow();
    void ownerClosedWhileOpen();
    void tallTextCut_data();
    void tallTextCut();
    void qtWordsInItalian();
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

// The box belongs to the window that caused it, active or not (a print job
// brings the send window up while the user works in another program), and
// sits above always-on-top windows.
void TestWidgetMessageBox::inFrontOfItsWindow_data()
{
    QTest::addColumn<bool>("active");
    QTest::newRow("active window") << true;
    QTest::newRow("no active window: the one used last") << false;
}

void TestWidgetMessageBox::inFrontOfItsWindow()
{
    QFETCH(bool, active);
    WidgetMessageBox service;
    const auto addressBook = onTopWindow();
    QVERIFY(QTest::qWaitForWindowActive(addressBook.get()));
    const auto send = onTopWindow();
    QVERIFY(QTest::qWaitForWindowActive(send.get()));
    if (!active) {
        // A passing window of the program took the focus, then went.
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        other.hide();
        QTRY_VERIFY(!QApplication::activeWindow());
    }
    QWidget* parent = nullptr;
    bool onTop = false;
    whenBoxShows([&](QMessageBox& box) {
        parent = box.parentWidget();
        onTop = box.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    });
    QCOMPARE(service.show({u"Salvato"_s, QString(), MsgIcon::Information, MsgButtons::Ok}), MsgAnswer::Ok);
    QCOMPARE(parent, send.get());
    QVERIFY(onTop);
}

// The tray menu closes itself while its question is open: the box goes
// with it and counts as answered "No".
void TestWidgetMessageBox::ownerClosedWhileOpen()
{
    WidgetMessageBox service;
    auto* menu = onTopWindow().release();
    QVERIFY(QTest::qWaitForWindowActive(menu));
    whenBoxShows([menu](QMessageBox&) { delete menu; });
    QCOMPARE(service.show({texts::QuitQuestion, texts::ProductName, MsgIcon::None, MsgButtons::YesNo}),
             MsgAnswer::No);
}

void TestWidgetMessageBox::tallTextCut_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("cut");
    QString lines;
    for (int i = 1; i <= 400; ++i)
        lines += u"riga %1 del comando\r\n"_s.arg(i);
    QTest::newRow("400 lines") << lines << true;
    QTest::newRow("one long SQL line")
        << u"SELECT numero, descrizione FROM anagrafica "_s.repeated(2000) << true;
    QTest::newRow("one word of 50,000 letters") << QString(50000, u'x') << true;
    QTest::newRow("short") << texts::NoDestination << false;
}

void TestWidgetMessageBox::tallTextCut()
{
    QFETCH(QString, text);
    QFETCH(bool, cut);
    WidgetMessageBox service;
    QRect frame;
    QRect withDetails;
    QRect area;
    QString shown;
    QString details;
    whenBoxShows([&](QMessageBox& box) {
        frame = box.frameGeometry();
        area = box.screen()->availableGeometry();
        shown = box.text();
        details = box.detailedText();
        // The button that opens the details is none of the answers.
        const QList<QAbstractButton*> buttons = box.buttons();
        for (QAbstractButton* button : buttons) {
            if (box.buttonRole(button) == QMessageBox::ActionRole)
                button->click();
        }
        QApplication::processEvents();
        withDetails = box.frameGeometry();
    });
    service.show({text, texts::book::SqlErrorTitle, MsgIcon::Critical, MsgButtons::Ok});
    // Qt keeps the width within the screen itself.
    for (const QRect& box : {frame, withDetails}) {
        QVERIFY2(box.top() >= area.top() && box.bottom() <= area.bottom(),
                 qPrintable(u"%1 pixels tall, %2 on the screen"_s.arg(box.height()).arg(area.height())));
    }
    const QString full = WidgetMessageBox::displayText(text);
    if (cut) {
        QVERIFY(shown.endsWith(u'\n' + texts::TextContinues));
        QVERIFY(full.startsWith(shown.chopped(texts::TextContinues.size() + 1)));
        QCOMPARE(details, full);
    } else {
        QCOMPARE(shown, full);
        QVERIFY(details.isEmpty());
    }
}

// The standard buttons speak the program's language; without Qt's
// translation they stay English.
void TestWidgetMessageBox::qtWordsInItalian()
{
    const auto yes = [] {
        return QDialogButtonBox(QDialogButtonBox::Yes).button(QDialogButtonBox::Yes)->text();
    };
    QTemporaryDir empty;
    QVERIFY(!QtTranslation::install(QtTranslation::programLocale(), empty.path()));
    QCOMPARE(yes(), u"&Yes"_s);
    const std::unique_ptr<QTranslator> installed(QtTranslation::install());
    QVERIFY2(installed, "Qt's Italian translation is missing (Debian: qt6-translations-l10n)");
    QCOMPARE(yes(), u"&Sì"_s);
}

QTEST_MAIN(TestWidgetMessageBox)
#include "tst_widgetmessagebox.moc"
