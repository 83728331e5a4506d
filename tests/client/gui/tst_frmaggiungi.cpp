// The contact editor on the offscreen platform, opened from the address
// book of a real send window: edit, delete and new-contact round trips
// through the database and the rebuilt list, the key filters, the refusal
// of an empty number, a failed replacement, and text of any kind kept as
// typed.

#include "AddressBookSetup.h"
#include "ContactMessages.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::AddressBookSetup;
using kestrel::test::SampleRows;
namespace texts = kestrel::contactmessages;

namespace kestrel {
char* toString(const ContactRow& row)
{
    return QTest::toString(u"{"_s + row.number + u" | "_s + row.description + u" | "_s + row.group + u'}');
}
} // namespace kestrel

class TestFrmAggiungi : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { m.reset(); }
    void editChangesTheNumber();
    void deleteRemovesEveryRowOfTheNumber();
    void saveNeedsANumber_data();
    void saveNeedsANumber();
    void newContactWhileEditing();
    void keyboard_data();
    void keyboard();
    void failedReplacementKeepsTheRow();
    void textKeptAsTyped_data();
    void textKeptAsTyped();

private:
    void newContact() const { QTest::mouseClick(m->bookButton(u"cmdNewContact"_s), Qt::LeftButton); }
    void save() const { QTest::mouseClick(m->editor().cmdAddContact(), Qt::LeftButton); }

    std::unique_ptr<AddressBookSetup> m;
};

void TestFrmAggiungi::init()
{
    m = std::make_unique<AddressBookSetup>();
    m->start();
}

void TestFrmAggiungi::editChangesTheNumber()
{
    m->clickCell(1, AddressBookGrid::Number); // a mark, lost at the rebuild
    m->clickCell(6, AddressBookGrid::Edit);
    FrmAggiungi& editor = m->editor();
    QVERIFY(editor.isVisible());
    QCOMPARE(editor.txtNFax()->text(), u"0733"_s);
    QCOMPARE(editor.txtNFax()->selectedText(), u"0733"_s);
    QCOMPARE(editor.txtDesc()->text(), u"Dell'Orto"_s);
    QCOMPARE(editor.cmbGruppo()->currentText(), u"3"_s);
    QCOMPARE(editor.InEdit()->text(), u"0733"_s);
    QCOMPARE(editor.cmdAddContact()->text(), u"Modifica"_s);
    QCOMPARE(m->log.last(), u"on top frmAggiungi 1"_s);

    QTest::keyClicks(editor.txtNFax(), u"0744"_s); // replaces the selected number
    save();
    QCOMPARE(m->stored(), (QList<ContactRow>{{u"0611"_s, u"Alfa"_s, u"1"_s},
                                             {u"0622"_s, u"Zeta"_s, u"1"_s},
                                             {u"+39 02 123"_s, u"Bianchi"_s, u"2"_s},
                                             {u"0744"_s, u"Dell'Orto"_s, u"3"_s}}));
    QCOMPARE(m->rows().column(AddressBookGrid::Number).last(), u"0744"_s);
    QCOMPARE(m->marks(), QStringList(6, QString()));
    QVERIFY(!editor.isVisible());

    // Closed is unloaded: the next opening starts afresh.
    newContact();
    QCOMPARE(editor.txtNFax()->text(), QString());
    QCOMPARE(editor.txtDesc()->text(), QString());
    QCOMPARE(editor.cmbGruppo()->currentText(), u"1"_s);
    QCOMPARE(editor.inEdit(), QString());
    QCOMPARE(editor.cmdAddContact()->text(), u"Aggiungi"_s);
    QVERIFY(m->box.shown().isEmpty());
}

void TestFrmAggiungi::deleteRemovesEveryRowOfTheNumber()
{
    newContact();
    QTest::keyClicks(m->editor().txtNFax(), u"0611"_s);
    QTest::keyClicks(m->editor().txtDesc(), u"Alfa bis"_s);
    save();
    QCOMPARE(m->rows().column(AddressBookGrid::Number).count(u"0611"_s), 2);

    m->clickCell(m->listedRow(u"0611"_s), AddressBookGrid::Edit);
    QTest::mouseClick(m->editor().cmdDel(), Qt::LeftButton);
    QCOMPARE(m->rows().column(AddressBookGrid::Number).count(u"0611"_s), 0);
    QCOMPARE(m->stored().size(), SampleRows.size() - 1);
    QVERIFY(!m->editor().isVisible());
    QCOMPARE(m->editor().txtNFax()->text(), QString());
    QCOMPARE(m->editor().inEdit(), QString());
}

void TestFrmAggiungi::saveNeedsANumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("byEnter"); // Enter in the description, else the button
    QTest::newRow("button, no number") << QString() << false;
    QTest::newRow("Enter, no number") << QString() << true;
    QTest::newRow("Enter, a number") << u"0900"_s << true;
}

void TestFrmAggiungi::saveNeedsANumber()
{
    QFETCH(QString, number);
    QFETCH(bool, byEnter);
    newContact();
    QTest::keyClicks(m->editor().txtNFax(), number);
    QTest::keyClicks(m->editor().txtDesc(), u"Nuovo"_s);
    if (byEnter)
        QTest::keyClick(m->editor().txtDesc(), Qt::Key_Return);
    else
        save();
    if (number.isEmpty()) {
        QCOMPARE(m->box.shown().size(), 1);
        const MessageBoxRequest& box = m->box.shown().first();
        QCOMPARE(box.text, texts::NumberRequired);
        QCOMPARE(box.title, QString());
        QCOMPARE(box.icon, MsgIcon::None);
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QCOMPARE(m->stored().size(), SampleRows.size());
        QVERIFY(m->editor().isVisible());
    } else {
        QVERIFY(m->box.shown().isEmpty());
        QVERIFY(m->stored().contains(ContactRow{number, u"Nuovo"_s, u"1"_s}));
        QVERIFY(m->listedRow(number) > 0);
        QVERIFY(!m->editor().isVisible());
    }
}

void TestFrmAggiungi::newContactWhileEditing()
{
    m->clickCell(3, AddressBookGrid::Edit); // Alfa
    newContact();
    FrmAggiungi& editor = m->editor();
    QCOMPARE(editor.inEdit(), QString());
    QCOMPARE(editor.txtNFax()->text(), u"0611"_s);
    QCOMPARE(editor.txtDesc()->text(), u"Alfa"_s);
    QCOMPARE(editor.cmdAddContact()->text(), u"Modifica"_s);
    QTest::keyClicks(editor.txtDesc(), u" due"_s);
    save();
    const QList<ContactRow> stored = m->stored();
    QVERIFY(stored.contains(ContactRow{u"0611"_s, u"Alfa"_s, u"1"_s}));
    QVERIFY(stored.contains(ContactRow{u"0611"_s, u"Alfa due"_s, u"1"_s}));
    QCOMPARE(stored.size(), SampleRows.size() + 1);
}

void TestFrmAggiungi::keyboard_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("digits") << u"0612345"_s << u"0612345"_s;
    QTest::newRow("letters, blanks, signs among them") << u"+39 06-a1/b."_s << u"39061"_s;
}

void TestFrmAggiungi::keyboard()
{
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    newContact();
    FrmAggiungi& editor = m->editor();
    QTRY_COMPARE(QApplication::focusWidget(), editor.txtNFax());
    QTest::keyClicks(editor.txtNFax(), typed);
    QCOMPARE(editor.txtNFax()->text(), kept);
    QTest::keyClick(editor.txtNFax(), Qt::Key_Return); // dropped: nothing saved
    QVERIFY(editor.isVisible());
    QTest::keyClick(editor.txtNFax(), Qt::Key_Backspace);
    QCOMPARE(editor.txtNFax()->text(), kept.chopped(1));

    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{u"txtDesc"_s, u"cmbGruppo"_s, u"cmdAddContact"_s, u"cmdDel"_s}));
    QCOMPARE(m->stored().size(), SampleRows.size());
}

void TestFrmAggiungi::failedReplacementKeepsTheRow()
{
    QVERIFY(m->runSql(u"CREATE TRIGGER refuse BEFORE INSERT ON anagrafica WHEN NEW.nome = 'rifiuta' "
                      "BEGIN SELECT RAISE(ABORT, 'rifiutato'); END"_s));
    m->clickCell(4, AddressBookGrid::Edit); // Zeta, 0622
    QTest::keyClicks(m->editor().txtNFax(), u"0623"_s);
    m->editor().txtDesc()->setText(u"rifiuta"_s);
    m->box.setNextAnswers({MsgAnswer::No});
    save();
    QCOMPARE(m->box.shown().size(), 1);
    QCOMPARE(m->box.shown().first().title, texts::SqlErrorTitle);
    QVERIFY2(m->box.shown().first().text.contains(
                 u"Comando = INSERT INTO anagrafica values('0623','rifiuta','1')"_s),
             qPrintable(m->box.shown().first().text));
    QVERIFY(m->stored().contains(ContactRow{u"0622"_s, u"Zeta"_s, u"1"_s}));
    QCOMPARE(m->stored().size(), SampleRows.size());
    QVERIFY(m->listedRow(u"0622"_s) > 0);
    QVERIFY(!m->editor().isVisible());
}

void TestFrmAggiungi::textKeptAsTyped_data()
{
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("group");
    QTest::newRow("apostrophes and quotes") << u"Dell'Orto & \"Figli\" ''"_s << u"Clienti'"_s;
    QTest::newRow("a statement") << u"'); DROP TABLE anagrafica;--"_s << u"1'); --"_s;
    QTest::newRow("backslashes") << u"C:\\fax\\n \\' \\\\"_s << u"\\"_s;
    QTest::newRow("other scripts") << u"Ωμέγα Ελλάς 東京 Привет 😀"_s << u"Группа"_s;
}

void TestFrmAggiungi::textKeptAsTyped()
{
    QFETCH(QString, description);
    QFETCH(QString, group);
    newContact();
    FrmAggiungi& editor = m->editor();
    QTest::keyClicks(editor.txtNFax(), u"0999"_s);
    kestrel::test::typeText(editor.txtDesc(), description);
    editor.cmbGruppo()->lineEdit()->clear();
    kestrel::test::typeText(editor.cmbGruppo()->lineEdit(), group);
    save();
    const ContactRow typed{u"0999"_s, description, group};
    QVERIFY(m->stored().contains(typed));
    QCOMPARE(m->stored().size(), SampleRows.size() + 1);

    // Listed, edited unchanged and sent as typed.
    const int row = m->listedRow(u"0999"_s);
    QCOMPARE(m->rows().text(row, AddressBookGrid::Description), description);
    QCOMPARE(m->rows().text(row, AddressBookGrid::Group), group);
    m->clickCell(row, AddressBookGrid::Edit);
    QCOMPARE(editor.txtDesc()->text(), description);
    QCOMPARE(editor.cmbGruppo()->currentText(), group);
    save();
    QVERIFY(m->stored().contains(typed));
    QCOMPARE(m->stored().size(), SampleRows.size() + 1);
    m->clickCell(m->listedRow(u"0999"_s), AddressBookGrid::Select);
    QTest::mouseClick(m->bookButton(u"cmdAddSelect"_s), Qt::LeftButton);
    QCOMPARE(m->send->destinations().rowCells(1), (QStringList{QString(), u"0999"_s, description}));
    QVERIFY(m->box.shown().isEmpty());
}

QTEST_MAIN(TestFrmAggiungi)
#include "tst_frmaggiungi.moc"
