// The send window on the offscreen platform, driven through its widgets,
// with a recording stand-in for the fax control and the scripted message
// box: the start-up order, typing and dropping, removing, hiding, the line
// selector and a submission to two destinations.

#include "ClientTexts.h"
#include "FrmSend.h"
#include "ListGrid.h"
#include "NumberFieldInput.h"
#include "RecordingControl.h"
#include "ScreenTwips.h"
#include "ScriptedMessageBox.h"
#include "ScriptedTagReader.h"
#include "TestFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::RecordingControl;
using kestrel::test::ScriptedMessageBox;
using kestrel::test::ScriptedTagReader;

class TestFrmSend : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void startUpInOrder_data();
    void startUpInOrder();
    void typingANumber();
    void numberComesInAsDigits_data();
    void numberComesInAsDigits();
    void numberCheckedWhenUsed_data();
    void numberCheckedWhenUsed();
    void droppedFiles_data();
    void droppedFiles();
    void removingRows();
    void hideButton();
    void withoutTray();
    void wholeWindowInTheCorner();
    void printedDocumentComesToFront();
    void lineSelector_data();
    void lineSelector();
    void sendToTwoDestinations();
    void reloadWaitsForTheSubmission();
    void putBackIsASendOfItsOwn_data();
    void putBackIsASendOfItsOwn();
    void sendButtonWhileTheApplianceIsAsked();
    void everyControlHasAName();
    void sendOptionsRow();
    void taggedPrintListsItsLetters();
    void removingALetter();

private:
    // A print of two letters: Rossi (2 pages) and Bianchi (1 page).
    void printTwoLetters();
    void makeWindow(const QByteArray& settings);
    QPushButton* button(const QString& name) const
    {
        m_window->ensureControls();
        return m_window->findChild<QPushButton*>(name);
    }
    void dropOnDocuments(const QList<QUrl>& urls);

    QTemporaryDir m_dir;
    std::unique_ptr<SettingsStore> m_settings;
    LineTable m_lines;
    ScriptedMessageBox m_box;
    QStringList m_log; // services and control calls, in order
    RecordingControl* m_control = nullptr;
    bool m_tray = true;
    QString m_page;
    QString m_chosenFile;
    std::function<void()> m_attiva; // what each control's Attiva does
    // Reads every print at once; the program's own reader when not set.
    bool m_scriptedReader = true;
    ScriptedTagReader* m_reader = nullptr;
    std::unique_ptr<Outbox> m_outbox; // outlives the window
    std::unique_ptr<FrmSend> m_window;
};

void TestFrmSend::init()
{
    m_box.clear();
    m_log.clear();
    m_tray = true;
    m_page.clear();
    m_attiva = nullptr;
    m_lines = LineTable();
    m_scriptedReader = true;
}

void TestFrmSend::cleanup()
{
    m_window.reset();
    m_outbox.reset();
}

void TestFrmSend::makeWindow(const QByteArray& settings)
{
    const QString folder = m_dir.filePath(QString::number(QRandomGenerator::global()->generate()));
    QDir().mkpath(folder);
    if (!settings.isEmpty())
        QVERIFY(testfiles::write(folder + u"/KZV.INI"_s, settings));
    m_settings = std::make_unique<SettingsStore>(folder);
    m_window.reset();
    m_outbox = std::make_unique<Outbox>(m_lines, m_box);
    m_reader = nullptr;
    if (m_scriptedReader) {
        auto reader = std::make_unique<ScriptedTagReader>();
        m_reader = reader.get();
        m_outbox->intake().setReader(std::move(reader));
    }
    FrmSend::Services s;
    s.settings = m_settings.get();
    s.lines = &m_lines;
    s.messageBox = &m_box;
    s.outbox = m_outbox.get();
    s.chooseFile = [this](QWidget*, const QString& filter) {
        m_log << u"chooseFile "_s + filter;
        return m_chosenFile;
    };
    s.setAlwaysOnTop = [this](QWidget*, bool on) {
        m_log << u"alwaysOnTop %1"_s.arg(on);
    };
    s.trayAvailable = [this] {
        return m_tray;
    };
    s.addTrayIcon = [this] {
        m_log << u"addTrayIcon"_s;
    };
    s.checkForUpdate = [this] {
        m_log << u"checkForUpdate"_s;
    };
    s.loadDesktopContacts = [this] {
        m_log << u"loadDesktopContacts"_s;
    };
    s.createControl = [this](CorvanefaxHost& host) -> Status {
        auto control = std::make_unique<RecordingControl>();
        m_control = control.get();
        m_control->onAttiva = [this] {
            if (m_attiva)
                m_attiva();
        };
        host.adopt(std::move(control), m_control);
        m_log << u"control"_s;
        return {};
    };
    s.fetchPage = [this](const QUrl& url, int) -> Expected<QString> {
        m_log << u"page "_s + url.path();
        if (m_page.isEmpty())
            return Error{u"no page"_s};
        return m_page;
    };
    m_window = std::make_unique<FrmSend>(s);
    connect(m_window.get(), &FrmSend::optionsRequested, this,
            [this](bool modal) { m_log << u"options %1"_s.arg(modal ? u"modal"_s : u"modeless"_s); });
}

void TestFrmSend::startUpInOrder_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QStringList>("expected");
    const QStringList before{u"checkForUpdate"_s, u"alwaysOnTop 1"_s, u"addTrayIcon"_s,
                             u"loadDesktopContacts"_s};
    QTest::newRow("first start, no settings file") << QByteArray()
                                                   << before + QStringList{u"box"_s,
                                                                           u"options modeless"_s,
                                                                           u"control"_s,
                                                                           u"NomeStampante=kestrel"_s,
                                                                           u"IndirizzoIP=none"_s,
                                                                           u"NomeUtente=test"_s,
                                                                           u"PasswordUtente=brio"_s,
                                                                           u"XMLStatus=-1"_s,
                                                                           u"ChopOn=-1"_s,
                                                                           u"Attiva"_s,
                                                                           u"page /api/modemtxt.php"_s};
    QTest::newRow("complete settings, debug on, chop off")
        << QByteArray(
               "[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\nUSER=Ufficio\r\nPASS=x\r\nDEBUG=1\r\nCHOP=0\r\n")
        << before + QStringList{u"control"_s,
                                u"NomeStampante=kestrel"_s,
                                u"IndirizzoIP=fax.local"_s,
                                u"NomeUtente=Ufficio"_s,
                                u"PasswordUtente=x"_s,
                                u"XMLStatus=-1"_s,
                                u"DebugOn=-1"_s,
                                u"ChopOn=0"_s,
                                u"Attiva"_s,
                                u"page /api/modemtxt.php"_s};
}

void TestFrmSend::startUpInOrder()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, expected);
    makeWindow(settings);
    m_window->show();
    m_window->load();
    QStringList log = m_log;
    // The control's calls are in their own list; splice them in after "control".
    const qsizetype at = log.indexOf(u"control"_s);
    QVERIFY(at >= 0);
    QStringList controlCalls = m_control->calls;
    log = log.mid(0, at + 1) + controlCalls + log.mid(at + 1);
    if (!m_box.shown().isEmpty()) {
        QCOMPARE(m_box.shown().size(), 1);
        QCOMPARE(m_box.shown().at(0).text, texts::IncompleteConfiguration);
        log.insert(log.indexOf(u"options modeless"_s), u"box"_s);
    }
    QCOMPARE(log, expected);
    QVERIFY(!m_window->isVisible()); // put away in the tray
    QCOMPARE(m_window->destinations().rows(), 1);
    QCOMPARE(m_window->destinations().text(0, 1), u"Numero"_s);
    QCOMPARE(m_window->documents().text(0, 2), u"Nome File"_s);
    QVERIFY(m_window->msfgDocument()->isColumnHidden(1));
}

void TestFrmSend::typingANumber()
{
    makeWindow({});
    m_window->load();
    m_window->show();
    QLineEdit* box = m_window->txtFaxNumber();
    QTest::keyClicks(box, u"06 12+a-34"_s);
    QCOMPARE(box->text(), u"061234"_s);
    QTest::keyClick(box, Qt::Key_Backspace);
    QCOMPARE(box->text(), u"06123"_s);
    // Tab leaves the box as in any other field.
    QVERIFY(box->hasFocus() || !QApplication::focusWidget());
    QTest::keyClick(box, Qt::Key_Tab);
    QCOMPARE(box->text(), u"06123"_s);
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->text(), QString());
    QCOMPARE(m_window->destinations().column(1), QStringList{u"06123"_s});

    // An empty box adds nothing and says so.
    m_box.clear();
    QTest::mouseClick(button(u"cmdpiunum"_s), Qt::LeftButton);
    QCOMPARE(m_box.texts(), QStringList{texts::NoNumberTyped});
    QCOMPARE(m_window->destinations().rows(), 2);
}

void TestFrmSend::numberComesInAsDigits_data()
{
    using kestrel::test::Arrival;
    QTest::addColumn<Arrival>("way");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept"); // null: refused
    QTest::newRow("pasted") << Arrival::Paste << u"+39 02 1234 5678"_s << u"00390212345678"_s;
    QTest::newRow("dropped") << Arrival::Drop << u"tel. 06/12"_s << u"0612"_s;
    QTest::newRow("composed, no digits") << Arrival::InputMethod << u"abc"_s << QString();
}

void TestFrmSend::numberComesInAsDigits()
{
    QFETCH(kestrel::test::Arrival, way);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    makeWindow({});
    m_window->load();
    m_window->show();
    m_box.clear();
    kestrel::test::bringText(m_window->txtFaxNumber(), way, text);
    QCOMPARE(m_window->txtFaxNumber()->text(), kept.isNull() ? QString() : kept);
    if (kept.isNull()) {
        QTRY_COMPARE(m_box.texts(), QStringList{texts::NoNumberTyped});
        return;
    }
    QTest::keyClick(m_window->txtFaxNumber(), Qt::Key_Return);
    QCOMPARE(m_window->destinations().column(1), QStringList{kept});
}

void TestFrmSend::dropOnDocuments(const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QWidget* target = m_window->msfgDocument()->viewport();
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

void TestFrmSend::droppedFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<bool>("refused");
    QTest::newRow("pdf") << QStringList{u"/home/u/a.pdf"_s} << QStringList{u"/home/u/a.pdf"_s} << false;
    QTest::newRow("ps") << QStringList{u"/home/u/b.ps"_s} << QStringList{u"/home/u/b.ps"_s} << false;
    QTest::newRow("upper-case PDF") << QStringList{u"/home/u/C.PDF"_s} << QStringList() << true;
    QTest::newRow("only the first of several")
        << QStringList{u"/home/u/a.pdf"_s, u"/home/u/b.ps"_s} << QStringList{u"/home/u/a.pdf"_s} << false;
}

void TestFrmSend::droppedFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, listed);
    QFETCH(bool, refused);
    makeWindow({});
    m_window->load();
    m_window->show();
    m_box.clear();
    QList<QUrl> urls;
    for (const QString& file : files)
        urls << QUrl::fromLocalFile(file);
    dropOnDocuments(urls);
    QCOMPARE(m_window->documents().column(1), listed);
    if (refused) {
        QCOMPARE(m_box.texts(), QStringList{texts::NotADocument});
        QCOMPARE(m_box.shown().at(0).icon, MsgIcon::Critical);
        QCOMPARE(m_box.shown().at(0).title, texts::ProductName);
    } else {
        QVERIFY(m_box.shown().isEmpty());
        QCOMPARE(m_window->documents().text(1, 2), listed.at(0).section(u'/', -1));
    }
}

void TestFrmSend::removingRows()
{
    makeWindow({});
    m_window->load();
    m_window->show();
    GridRows& dest = m_window->destinations();
    dest.appendRow({QString(), u"0612345"_s, u"Mario"_s});
    m_chosenFile = u"/home/u/lettera.pdf"_s;
    QTest::mouseClick(button(u"cmdpiudoc"_s), Qt::LeftButton);
    QCOMPARE(m_log.constLast(), u"chooseFile "_s + texts::SendDocumentFilter);
    QCOMPARE(m_window->documents().column(2), QStringList{u"lettera.pdf"_s});

    // No keeps the row; Yes on the only row leaves the header alone.
    m_box.clear();
    m_box.setNextAnswers({MsgAnswer::No, MsgAnswer::Yes, MsgAnswer::Yes});
    m_window->removeRow(m_window->msfgDocument(), 1);
    QCOMPARE(m_window->documents().rows(), 2);
    m_window->removeRow(m_window->msfgDocument(), 1);
    QCOMPARE(m_window->documents().rows(), 1);
    m_window->removeRow(m_window->msfgDest(), 1);
    QCOMPARE(dest.rows(), 1);
    QCOMPARE(m_box.texts(), (QStringList{u"Rimuovere il documento lettera.pdf dalla lista?"_s,
                                         u"Rimuovere il documento lettera.pdf dalla lista?"_s,
                                         u"Rimuovere il destinatario Mario (0612345) dalla lista?"_s}));
    QCOMPARE(m_box.shown().at(2).title, u"Elimina Documento"_s);
    // Nothing to remove: no question.
    m_window->removeRow(m_window->msfgDest(), 1);
    QCOMPARE(m_box.shown().size(), 3);

    // Delete on either list asks the same question.
    dest.appendRow({QString(), u"0698765"_s, u"Anna"_s});
    m_window->msfgDest()->setCurrentIndex(m_window->msfgDest()->model()->index(0, 1));
    m_box.setNextAnswers({MsgAnswer::Yes});
    QTest::keyClick(m_window->msfgDest(), Qt::Key_Delete);
    QCOMPARE(m_box.texts().constLast(), u"Rimuovere il destinatario Anna (0698765) dalla lista?"_s);
    QCOMPARE(dest.rows(), 1);
    m_control->printed(u"/tmp/x.ps"_s);
    m_window->msfgDocument()->setCurrentIndex(m_window->msfgDocument()->model()->index(0, 2));
    m_box.setNextAnswers({MsgAnswer::Yes});
    QTest::keyClick(m_window->msfgDocument(), Qt::Key_Delete);
    QCOMPARE(m_box.texts().constLast(), u"Rimuovere il documento x.ps dalla lista?"_s);
    QCOMPARE(m_window->documents().rows(), 1);
}

void TestFrmSend::hideButton()
{
    makeWindow({});
    m_window->load();
    QSignalSpy companions(m_window.get(), &FrmSend::companionsHidden);
    m_window->show();
    QTest::keyClicks(m_window->txtFaxNumber(), u"123"_s);
    QTest::keyClick(m_window->txtFaxNumber(), Qt::Key_Enter);
    // One list is enough for the question; No changes nothing.
    m_box.clear();
    m_box.setNextAnswers({MsgAnswer::No});
    QTest::mouseClick(button(u"cmdDel"_s), Qt::LeftButton);
    QCOMPARE(m_box.texts(), QStringList{texts::CancelQuestion});
    QCOMPARE(m_box.shown().at(0).title, u"Annulla FAX"_s);
    QVERIFY(m_window->isVisible());
    m_box.setNextAnswers({MsgAnswer::Yes});
    QTest::mouseClick(button(u"cmdDel"_s), Qt::LeftButton);
    QCOMPARE(m_window->destinations().rows(), 1);
    QVERIFY(!m_window->isVisible());
    QCOMPARE(companions.size(), 0);
    // Both lists empty: hidden with its companions, no question.
    m_window->show();
    m_box.clear();
    QTest::mouseClick(button(u"cmdDel"_s), Qt::LeftButton);
    QVERIFY(m_box.shown().isEmpty());
    QVERIFY(!m_window->isVisible());
    QCOMPARE(companions.size(), 1);
}

// Put in the corner at the start, before its controls (the options row
// among them) were made: all of it stays on the screen once shown.
void TestFrmSend::wholeWindowInTheCorner()
{
    m_tray = false;
    makeWindow({});
    m_window->load();
    m_window->showNormal();
    const QRect area = ScreenTwips::availableArea(m_window.get());
    QVERIFY2(area.contains(m_window->frameGeometry()), "the window reaches past the screen's free area");
    QCOMPARE(m_window->frameGeometry().bottomRight(), area.bottomRight());
    // The options opened and closed again: it grows and shrinks upwards.
    auto* toggle = m_window->findChild<QToolButton*>(u"sendOptionsToggle"_s);
    for (const bool open : {true, false}) {
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->isChecked(), open);
        QCOMPARE(m_window->frameGeometry().bottomRight(), area.bottomRight());
    }
}

void TestFrmSend::withoutTray()
{
    m_tray = false;
    makeWindow({});
    m_window->show();
    m_window->load();
    // Nothing to find it by: minimised, never hidden.
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->isMinimized());
    m_window->showNormal();
    QTest::mouseClick(button(u"cmdDel"_s), Qt::LeftButton);
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->isMinimized());

    // The tray menu's "Setup" and "Esci" are on the window itself.
    QSignalSpy setup(m_window.get(), &FrmSend::setupRequested);
    QSignalSpy quit(m_window.get(), &FrmSend::quitRequested);
    QTest::mouseClick(button(u"setupButton"_s), Qt::LeftButton);
    QCOMPARE(setup.size(), 1);
    m_box.clear();
    m_box.setNextAnswers({MsgAnswer::No, MsgAnswer::Yes});
    QTest::mouseClick(button(u"quitButton"_s), Qt::LeftButton);
    QCOMPARE(quit.size(), 0);
    QTest::mouseClick(button(u"quitButton"_s), Qt::LeftButton);
    QCOMPARE(quit.size(), 1);
    QCOMPARE(m_box.texts(), (QStringList{texts::QuitQuestion, texts::QuitQuestion}));
    QVERIFY(m_window->geometry().height() >
            m_window->findChild<QPushButton*>(u"quitButton"_s)->geometry().bottom());
}

// With the program's own reader: a print without tags is listed as ever,
// once read.
void TestFrmSend::printedDocumentComesToFront()
{
    m_scriptedReader = false;
    makeWindow({});
    m_window->load();
    QVERIFY(!m_window->isVisible());
    m_control->printed(u"/tmp/kestrel-202612081200001.ps"_s);
    QTRY_VERIFY(m_window->isVisible());
    QCOMPARE(m_window->documents().column(2), QStringList{u"kestrel-202612081200001.ps"_s});
}

void TestFrmSend::lineSelector_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<bool>("visible");
    QTest::newRow("two lines") << u"<p1>ttyS0</p1><n1>Linea Uno</n1><p2>ttyS1</p2><n2>Linea Due</n2>"_s
                               << QStringList{u"Linea Uno"_s, u"Linea Due"_s} << true;
    QTest::newRow("one line") << u"<p1>ttyS0</p1><n1>Linea Uno</n1>"_s << QStringList{u"Linea Uno"_s}
                              << false;
    QTest::newRow("no page") << QString() << QStringList() << false;
}

void TestFrmSend::lineSelector()
{
    QFETCH(QString, page);
    QFETCH(QStringList, items);
    QFETCH(bool, visible);
    m_page = page;
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_window->load();
    // The hidden start makes no controls; the first show makes them with
    // what the load chose.
    QVERIFY(!m_window->findChild<QComboBox*>());
    m_window->show();
    QComboBox* combo = m_window->ComboOut();
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(combo->currentText(), QString()); // none chosen
    QCOMPARE(combo->isVisible(), visible);
    QCOMPARE(m_window->lblModem()->isVisible(), visible);
}

void TestFrmSend::numberCheckedWhenUsed_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept"); // null: refused
    QTest::newRow("add, no digits") << u"cmdpiunum"_s << u"n.d."_s << QString();
    QTest::newRow("send, no digits") << u"cmdsend"_s << u"n.d."_s << QString();
    QTest::newRow("add, digits among other text") << u"cmdpiunum"_s << u"+39 06/12"_s << u"00390612"_s;
}

// Text put in past the box's filter (the accessibility interface) is
// checked when the number is used: refused without digits, else its digits.
void TestFrmSend::numberCheckedWhenUsed()
{
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_window->load();
    m_window->show();
    m_control->printed(u"/tmp/d.ps"_s);
    m_box.clear();
    QVERIFY(kestrel::test::setTextAccessibly(m_window->txtFaxNumber(), text));
    if (kept.isNull())
        QCOMPARE(m_window->txtFaxNumber()->text(), text); // the filter was passed
    QTest::mouseClick(this->button(button), Qt::LeftButton);
    if (kept.isNull()) {
        QCOMPARE(m_box.texts(), QStringList{texts::NoNumberTyped});
        QCOMPARE(m_window->destinations().rows(), 1);
        QVERIFY(m_control->sent.isEmpty());
        QCOMPARE(m_window->documents().rows(), 2);
        return;
    }
    QCOMPARE(m_window->destinations().column(1), QStringList{kept});
    QVERIFY(m_box.texts().isEmpty());
}

void TestFrmSend::sendToTwoDestinations()
{
    m_page = u"<p1>ttyS0</p1><n1>Linea Uno</n1><p2>ttyS1</p2><n2>Linea Due</n2>"_s;
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\nPREFIX=0\r\n");
    m_window->load();
    m_control->printed(u"/tmp/d.ps"_s);
    m_window->destinations().appendRow({QString(), u"111"_s, QString()});
    m_window->ComboOut()->setCurrentIndex(1);
    // A typed number not yet added goes too.
    QTest::keyClicks(m_window->txtFaxNumber(), u"222"_s);
    QTest::mouseClick(button(u"cmdsend"_s), Qt::LeftButton);
    // Both in one session: the documents go up once, one job each.
    QCOMPARE(m_control->sent.size(), 1);
    QCOMPARE(m_control->sent.at(0).number, u"0111:0222"_s);
    QCOMPARE(m_control->sent.at(0).modem, u"ttyS1"_s);
    QVERIFY(!button(u"cmdsend"_s)->isEnabled());                 // no second submission meanwhile
    QCOMPARE(m_window->focusWidget(), m_window->txtFaxNumber()); // ready for the next number
    QCOMPARE(m_window->documents().rows(), 1);
    m_control->submit(u"41"_s);
    QCOMPARE(m_window->destinations().column(1), QStringList{u"222"_s});
    m_box.clear();
    m_control->submit(u"42"_s);
    QCOMPARE(m_box.shown().size(), 1);
    QVERIFY(m_box.shown().at(0).text.endsWith(u"Numero di Protocollo FAX:  41 42"_s));
    QVERIFY(button(u"cmdsend"_s)->isEnabled());
    QVERIFY(!m_window->isVisible());
}

// "Invia FAX" while the appliance is away: the button says at once that the
// appliance is being asked and takes no second press until the answer.
void TestFrmSend::sendButtonWhileTheApplianceIsAsked()
{
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_attiva = [this] {
        m_control->message(ApplianceOffline.toString());
    };
    m_window->load();
    m_window->show();
    m_control->printed(u"/tmp/d.ps"_s);
    m_window->destinations().appendRow({QString(), u"111"_s, QString()});
    QPushButton* send = button(u"cmdsend"_s);
    bool enabledInTheWait = true;
    QString captionInTheWait;
    bool pressedAgain = false;
    m_attiva = [&] {
        enabledInTheWait = send->isEnabled();
        captionInTheWait = send->text();
        // A second press meanwhile asks nothing more.
        if (!std::exchange(pressedAgain, true))
            m_window->cmdsendClick();
        m_control->message(ApplianceOffline.toString());
    };
    m_box.clear();
    QTest::mouseClick(send, Qt::LeftButton);
    QVERIFY(!enabledInTheWait);
    QCOMPARE(captionInTheWait, texts::CheckingButton);
    QCOMPARE(m_control->methods(), (QStringList{u"Attiva"_s, u"Attiva"_s}));
    QCOMPARE(m_box.texts(), QStringList{texts::ApplianceAway});
    QVERIFY(send->isEnabled());
    QCOMPARE(send->text(), texts::SendButton);
}

void TestFrmSend::reloadWaitsForTheSubmission()
{
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_window->load();
    RecordingControl* first = m_control;
    first->printed(u"/tmp/a.ps"_s);
    m_window->destinations().appendRow({QString(), u"111"_s, QString()});
    m_window->destinations().appendRow({QString(), u"222"_s, QString()});
    QTest::mouseClick(button(u"cmdsend"_s), Qt::LeftButton);
    QSignalSpy notices(m_window.get(), &FrmSend::noticeRequested);
    // New settings while the fax is on its way: the control that carries it
    // stays until the last destination has its job; the user is told once.
    m_window->reload();
    m_window->reload();
    QCOMPARE(m_log.count(u"control"_s), 1);
    QCOMPARE(notices.size(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), texts::ReloadAfterSubmission);
    first->submit(u"41"_s);
    QCOMPARE(first->sent.constLast().number, u"111:222"_s);
    first->submit(u"42"_s);
    first->printed(u"/tmp/c.ps"_s);
    QTRY_COMPARE(m_log.count(u"control"_s), 2);
    QVERIFY(m_control->calls.contains(u"Attiva"_s));
    // The reload keeps the lists.
    QCOMPARE(m_window->documents().column(1), QStringList{u"/tmp/c.ps"_s});
    QVERIFY(button(u"cmdsend"_s)->isEnabled());
}

void TestFrmSend::putBackIsASendOfItsOwn_data()
{
    QTest::addColumn<QString>("held");
    QTest::addColumn<QList<MsgAnswer>>("answers");
    QTest::addColumn<bool>("putBack");
    QTest::addColumn<QString>("told");
    QTest::newRow("an empty window") << u"nothing"_s << QList<MsgAnswer>() << true << QString();
    QTest::newRow("another fax, kept")
        << u"other"_s << QList<MsgAnswer>{MsgAnswer::No} << false << texts::history::ResendReplaceQuestion;
    QTest::newRow("a document alone, replaced")
        << u"document"_s << QList<MsgAnswer>{MsgAnswer::Yes} << true << texts::history::ResendReplaceQuestion;
    QTest::newRow("a number typed, replaced")
        << u"typed"_s << QList<MsgAnswer>{MsgAnswer::Yes} << true << texts::history::ResendReplaceQuestion;
    QTest::newRow("a submission on its way")
        << u"sending"_s << QList<MsgAnswer>() << false << texts::history::ResendWhileSending;
}

// "Reinvia" on two faxes one after the other must not give each recipient
// the other's document: the lists hold one fax or the other, never both.
void TestFrmSend::putBackIsASendOfItsOwn()
{
    QFETCH(QString, held);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(bool, putBack);
    QFETCH(QString, told);
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_window->load();
    if (held == u"typed"_s)
        QTest::keyClicks(m_window->txtFaxNumber(), u"333"_s);
    else if (held != u"nothing"_s)
        m_control->printed(u"/tmp/other.ps"_s);
    if (held == u"other"_s || held == u"sending"_s)
        m_window->destinations().appendRow({QString(), u"111"_s, QString()});
    if (held == u"sending"_s)
        QTest::mouseClick(button(u"cmdsend"_s), Qt::LeftButton);
    const QStringList numbers = m_window->destinations().column(1);
    const QStringList documents = m_window->documents().column(1);
    m_box.clear();
    m_box.setNextAnswers(answers);
    QCOMPARE(m_window->putBack(u"222"_s, u"Studio Rossi"_s, {u"/tmp/mine.ps"_s}), putBack);
    QCOMPARE(m_box.texts(), told.isEmpty() ? QStringList() : QStringList{told});
    QCOMPARE(m_window->destinations().column(1), putBack ? QStringList{u"222"_s} : numbers);
    QCOMPARE(m_window->documents().column(1), putBack ? QStringList{u"/tmp/mine.ps"_s} : documents);
    // A number typed before does not go with the fax put back.
    if (putBack)
        QVERIFY(m_window->txtFaxNumber()->text().isEmpty());
}

void TestFrmSend::everyControlHasAName()
{
    makeWindow({});
    m_window->load();
    m_window->ensureControls();
    for (QWidget* widget : m_window->findChildren<QWidget*>()) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"_s))
            continue; // a part of a Qt widget, not one of the window's controls
        QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
    }
    for (const QString& name : {u"txtFaxNumber"_s, u"cmdpiunum"_s, u"msfgDest"_s, u"cmdrubrica"_s,
                                u"msfgDocument"_s, u"cmdpiudoc"_s, u"ComboOut"_s, u"cmdsend"_s, u"cmdDel"_s})
        QVERIFY2(m_window->findChild<QWidget*>(name), qPrintable(name));
}

// "Opzioni di invio" as a user meets it: opened from the keyboard, the
// defaults of the settings file in it, a time gone refused with nothing
// sent, the options chosen sent, and the next fax back to the defaults.
void TestFrmSend::sendOptionsRow()
{
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\nKILLAFTER=6\r\nSTANDARD=1\r\n");
    m_window->load();
    m_window->showInFront();
    QWidget* group = m_window->findChild<QWidget*>(u"sendOptionsGroup"_s);
    auto* toggle = m_window->findChild<QToolButton*>(u"sendOptionsToggle"_s);
    auto* later = m_window->findChild<QCheckBox*>(u"sendLaterCheck"_s);
    auto* sendAt = m_window->findChild<QDateTimeEdit*>(u"sendAtEdit"_s);
    auto* kill = m_window->findChild<QSpinBox*>(u"killAfterSpin"_s);
    auto* resolution = m_window->findChild<QComboBox*>(u"resolutionCombo"_s);
    auto* tries = m_window->findChild<QSpinBox*>(u"triesSpin"_s);
    QVERIFY(group && toggle && later && sendAt && kill && resolution && tries);
    QVERIFY(!group->isVisible());
    const int closedHeight = m_window->height();

    toggle->setFocus();
    QTest::keyClick(toggle, Qt::Key_Space);
    QVERIFY(group->isVisible());
    QVERIFY(m_window->height() > closedHeight);
    QVERIFY(m_window->rect().contains(tries->mapTo(m_window.get(), tries->rect().bottomRight())));
    QCOMPARE(kill->value(), 6);
    QCOMPARE(resolution->currentText(), texts::sendoptions::Standard);
    QCOMPARE(tries->text(), texts::sendoptions::ServerDefault);
    QVERIFY(!sendAt->isEnabled());

    m_control->printed(u"/tmp/d.ps"_s);
    m_window->destinations().appendRow({QString(), u"111"_s, QString()});
    QTest::mouseClick(later, Qt::LeftButton, {}, QPoint(4, later->height() / 2));
    QVERIFY(sendAt->isEnabled());
    sendAt->setDateTime(QDateTime::currentDateTime().addDays(-1));
    m_box.clear();
    QTest::mouseClick(button(u"cmdsend"_s), Qt::LeftButton);
    QCOMPARE(m_box.texts(), QStringList{texts::sendoptions::SendTimePast});
    QVERIFY(m_control->sent.isEmpty());

    const QDateTime tomorrow(QDate::currentDate().addDays(1), QTime(9, 30));
    sendAt->setDateTime(tomorrow);
    tries->setFocus();
    QTest::keyClick(tries, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(tries, u"4"_s);
    resolution->setFocus();
    QTest::keyClick(resolution, Qt::Key_Up); // back to fine
    QTest::mouseClick(button(u"cmdsend"_s), Qt::LeftButton);
    QCOMPARE(m_control->sent.size(), 1);
    QCOMPARE(m_control->sent.at(0).options, (JobOptions{tomorrow, 6, false, 4}));
    m_control->submit(u"41"_s);
    QVERIFY(!later->isChecked());
    QCOMPARE(tries->value(), 0);
    QCOMPARE(resolution->currentText(), texts::sendoptions::Standard);

    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!group->isVisibleTo(m_window.get()));
    QCOMPARE(m_window->height(), closedHeight);
}

void TestFrmSend::printTwoLetters()
{
    m_reader->scripts = {
        ScriptedTagReader::tagged({{u"0123456789"_s, u"Rossi"_s, 2}, {u"022222"_s, u"Bianchi"_s, 1}})};
    m_control->printed(u"/tmp/lettere.ps"_s);
}

// One destination per letter, named, with its pages in a column of their
// own; the print itself is no document to send.
void TestFrmSend::taggedPrintListsItsLetters()
{
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_window->load();
    QVERIFY(m_window->msfgDest()->isColumnHidden(DestinationColumn::Pages));
    printTwoLetters();
    QVERIFY(m_window->isVisible());
    GridRows& dest = m_window->destinations();
    QCOMPARE(dest.column(DestinationColumn::Number), (QStringList{u"0123456789"_s, u"022222"_s}));
    QCOMPARE(dest.column(DestinationColumn::Description), (QStringList{u"Rossi"_s, u"Bianchi"_s}));
    QCOMPARE(dest.column(DestinationColumn::Pages), (QStringList{u"2"_s, u"1"_s}));
    QCOMPARE(dest.text(0, DestinationColumn::Pages), u"Pagine"_s);
    QVERIFY(!m_window->msfgDest()->isColumnHidden(DestinationColumn::Pages));
    QVERIFY(m_window->msfgDest()->isColumnHidden(DestinationColumn::Letter));
    QCOMPARE(m_window->documents().rows(), 1);
    // Gone with the letters, the column too.
    dest.setRows(1);
    QVERIFY(m_window->msfgDest()->isColumnHidden(DestinationColumn::Pages));
}

// A letter removed before the press is not sent; the other goes with
// "Invia FAX", with its own document only.
void TestFrmSend::removingALetter()
{
    makeWindow("[MAIN]\r\nIP=fax.local\r\nMAIL=a@b.it\r\n");
    m_window->load();
    printTwoLetters();
    m_box.clear();
    m_box.setNextAnswers({MsgAnswer::Yes});
    m_window->removeRow(m_window->msfgDest(), 1);
    QCOMPARE(m_box.texts(), QStringList{texts::removeDestination(u"Rossi"_s, u"0123456789"_s)});
    QCOMPARE(m_window->destinations().column(DestinationColumn::Description), QStringList{u"Bianchi"_s});
    const QString letter = m_window->destinations().text(1, DestinationColumn::Letter);
    QTest::mouseClick(button(u"cmdsend"_s), Qt::LeftButton);
    QCOMPARE(m_control->sent.size(), 1);
    QCOMPARE(m_control->sent.at(0).number, u"022222"_s);
    QCOMPARE(m_control->sent.at(0).files, letter + u',');
}

QTEST_MAIN(TestFrmSend)
#include "tst_frmsend.moc"
