// The contact editor on the offscreen platform, opened from the address
// book of a real send window: edit, delete and new-contact round trips
// through the database and the rebuilt list, the key filters, the refusal
// of an empty number, a failed replacement, and text of any kind kept as
// typed.

#include "AddressBookSetup.h"
#include "ClientTexts.h"
#include "ListGrid.h"
#include "NumberFieldInput.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::AddressBookSetup;
using kestrel::test::SampleRows;

class TestFrmAggiungi : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { m.reset(); }
    void editChangesTheNumber();
    void editOrDeleteTouchesOnlyThatContact_data();
    void editOrDeleteTouchesOnlyThatContact();
    void saveNeedsANumber_data();
    void saveNeedsANumber();
    void newContactWhileEditing();
    void keyboard_data();
    void keyboard();
    void numberComesInAsDigits_data();
    void numberComesInAsDigits();
    void numberStoredAsOtherProgramsWriteIt();
    void contactChangedMeanwhile_data();
    void contactChangedMeanwhile();
    void numberCheckedWhenSaved();
    void failedSaveKeepsTheEditor_data();
    void failedSaveKeepsTheEditor();
    void textBeyondTheLineEditLimitKeptWhole();
    void textKeptAsTyped_data();
    void textKeptAsTyped();

private:
    void newContact() const { QTest::mouseClick(m->bookButton(u"cmdNewContact"_s), Qt::LeftButton); }
    // The save or delete button, and the store's answer.
    void save() const
    {
        QTest::mouseClick(m->editor().cmdAddContact(), Qt::LeftButton);
        m->settle();
    }
    void remove() const
    {
        QTest::mouseClick(m->editor().cmdDel(), Qt::LeftButton);
        m->settle();
    }

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
    QVERIFY(m->editor().isVisible());
    QCOMPARE(m->editorFields(), (QStringList{u"0733"_s, u"Dell'Orto"_s, u"3"_s, u"0733"_s, u"Modifica"_s}));
    QCOMPARE(m->editor().txtNFax()->selectedText(), u"0733"_s);
    QCOMPARE(m->log.last(), u"on top frmAggiungi 1"_s);

    QTest::keyClicks(m->editor().txtNFax(), u"0744"_s); // replaces the selected number
    save();
    QList<ContactRow> expected = SampleRows;
    expected[2].number = u"0744"_s;
    QCOMPARE(m->stored().size(), expected.size());
    for (const ContactRow& row : expected)
        QVERIFY(m->stored().contains(row));
    QCOMPARE(m->rows().column(AddressBookGrid::Number).last(), u"0744"_s);
    QCOMPARE(m->marks(), QStringList(6, QString()));
    QVERIFY(!m->editor().isVisible());

    // Closed is unloaded: the next opening starts afresh.
    newContact();
    QCOMPARE(m->editorFields(), (QStringList{QString(), QString(), u"1"_s, QString(), u"Aggiungi"_s}));
    QVERIFY(m->box.shown().isEmpty());
}

void TestFrmAggiungi::editOrDeleteTouchesOnlyThatContact_data()
{
    QTest::addColumn<bool>("deleting");
    QTest::newRow("Elimina") << true;
    QTest::newRow("Modifica") << false;
}

void TestFrmAggiungi::editOrDeleteTouchesOnlyThatContact()
{
    QFETCH(bool, deleting);
    // A second contact under Alfa's number, listed before it (by name).
    newContact();
    QTest::keyClicks(m->editor().txtNFax(), u"0611"_s);
    save();
    QCOMPARE(m->rows().column(AddressBookGrid::Number).count(u"0611"_s), 2);

    m->clickCell(m->listedRow(u"0611"_s), AddressBookGrid::Edit);
    if (deleting) {
        remove();
    } else {
        QTest::keyClicks(m->editor().txtNFax(), u"0612"_s);
        save();
    }
    QList<ContactRow> expected = SampleRows;
    if (!deleting)
        expected << ContactRow{u"0612"_s, QString(), u"1"_s};
    QCOMPARE(m->stored().size(), expected.size());
    for (const ContactRow& row : expected)
        QVERIFY(m->stored().contains(row));
    QCOMPARE(m->rows().column(AddressBookGrid::Number).count(u"0611"_s), 1);
    QVERIFY(!m->editor().isVisible());
    QVERIFY(m->box.shown().isEmpty());
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
    if (byEnter) {
        QTest::keyClick(m->editor().txtDesc(), Qt::Key_Return);
        m->settle();
    } else {
        save();
    }
    const bool refused = number.isEmpty();
    QCOMPARE(m->box.texts(), refused ? QStringList{texts::book::NumberRequired} : QStringList());
    if (refused)
        QVERIFY(m->box.shown().first().title.isEmpty());
    QCOMPARE(m->stored().contains(ContactRow{number, u"Nuovo"_s, u"1"_s}), !refused);
    QCOMPARE(m->listedRow(number) > 0, !refused);
    QCOMPARE(m->editor().isVisible(), refused);
}

void TestFrmAggiungi::newContactWhileEditing()
{
    m->clickCell(3, AddressBookGrid::Edit); // Alfa
    newContact();
    QCOMPARE(m->editorFields(), (QStringList{u"0611"_s, u"Alfa"_s, u"1"_s, QString(), u"Modifica"_s}));
    QTest::keyClicks(m->editor().txtDesc(), u" due"_s);
    save();
    QVERIFY(m->stored().contains(ContactRow{u"0611"_s, u"Alfa"_s, u"1"_s}));
    QVERIFY(m->stored().contains(ContactRow{u"0611"_s, u"Alfa due"_s, u"1"_s}));
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
    QLineEdit* number = m->editor().txtNFax();
    QTRY_COMPARE(QApplication::focusWidget(), number);
    QTest::keyClicks(number, typed);
    QCOMPARE(number->text(), kept);
    QTest::keyClick(number, Qt::Key_Return); // dropped: nothing saved
    QVERIFY(m->editor().isVisible());
    QTest::keyClick(number, Qt::Key_Backspace);
    QCOMPARE(number->text(), kept.chopped(1));

    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, (QStringList{u"txtDesc"_s, u"cmbGruppo"_s, u"cmdAddContact"_s, u"cmdDel"_s}));
    QCOMPARE(m->stored().size(), SampleRows.size());
}

void TestFrmAggiungi::numberComesInAsDigits_data()
{
    using kestrel::test::Arrival;
    QTest::addColumn<Arrival>("way");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("kept"); // null: refused
    QTest::newRow("pasted") << Arrival::Paste << u"+39 02 1234 5678"_s << u"00390212345678"_s;
    QTest::newRow("dropped") << Arrival::Drop << u"(06) 12-34"_s << u"061234"_s;
    QTest::newRow("composed") << Arrival::InputMethod << u"06 12"_s << u"0612"_s;
    QTest::newRow("pasted, no digits") << Arrival::Paste << u"n.d."_s << QString();
    QTest::newRow("dropped, no digits") << Arrival::Drop << u"fax: -"_s << QString();
}

void TestFrmAggiungi::numberComesInAsDigits()
{
    QFETCH(kestrel::test::Arrival, way);
    QFETCH(QString, text);
    QFETCH(QString, kept);
    newContact();
    kestrel::test::bringText(m->editor().txtNFax(), way, text);
    QCOMPARE(m->editor().txtNFax()->text(), kept.isNull() ? QString() : kept);
    if (kept.isNull()) {
        QTRY_COMPARE(m->box.texts(), QStringList{texts::book::NumberRequired});
        return;
    }
    save();
    QVERIFY(m->stored().contains(ContactRow{kept, QString(), u"1"_s}));
    QTest::qWait(0);
    QVERIFY(m->box.shown().isEmpty());
}

void TestFrmAggiungi::numberStoredAsOtherProgramsWriteIt()
{
    // Bianchi is stored as "+39 02 123" and listed as 003902123.
    m->clickCell(m->listedRow(u"003902123"_s), AddressBookGrid::Edit);
    remove();
    QVERIFY(!m->stored().contains(ContactRow{u"+39 02 123"_s, u"Bianchi"_s, u"2"_s}));
    QCOMPARE(m->stored().size(), SampleRows.size() - 1);
    QCOMPARE(m->listedRow(u"003902123"_s), 0);
}

void TestFrmAggiungi::contactChangedMeanwhile_data()
{
    QTest::addColumn<QString>("action");
    QTest::newRow("Elimina") << u"delete"_s;
    QTest::newRow("Modifica") << u"save"_s;
    QTest::newRow("Delete on the list's row") << u"list"_s;
}

// Another program deletes the contact being edited (or listed) and adds
// one, which SQLite stores at the same rowid: neither the editor's buttons
// nor the list's Delete touch the new contact; the user is told, the list
// is read again.
void TestFrmAggiungi::contactChangedMeanwhile()
{
    QFETCH(QString, action);
    if (action != u"list"_s)
        m->clickCell(3, AddressBookGrid::Edit); // Alfa, stored last
    QVERIFY(m->database->ExecuteSql(u"DELETE FROM anagrafica WHERE nome='Alfa'"_s));
    QVERIFY(m->database->ExecuteSql(u"INSERT INTO anagrafica values('0655','Nuovo','1')"_s));
    QStringList told{texts::book::contactChanged(u"Alfa"_s, u"0611"_s)};
    if (action == u"delete"_s) {
        remove();
    } else if (action == u"save"_s) {
        QTest::keyClicks(m->editor().txtNFax(), u"0612"_s);
        save();
    } else {
        ListGrid* grid = m->book->msfgRubrica();
        grid->setFocus();
        grid->setCurrentIndex(grid->model()->index(3 - 1, AddressBookGrid::Number));
        m->box.setNextAnswers({MsgAnswer::Yes});
        QTest::keyClick(grid, Qt::Key_Delete);
        m->settle();
        told.prepend(texts::book::deleteContactQuestion(u"Alfa"_s, u"0611"_s));
    }
    QCOMPARE(m->box.texts(), told);
    QVERIFY(m->listedRow(u"0655"_s) > 0);
    QCOMPARE(m->listedRow(u"0611"_s), 0);
    QVERIFY(!m->book->editor() || !m->editor().isVisible());
}

// Text put in past the box's filter (the accessibility interface) is
// checked at the save.
void TestFrmAggiungi::numberCheckedWhenSaved()
{
    newContact();
    QVERIFY(kestrel::test::setTextAccessibly(m->editor().txtNFax(), u"n.d."_s));
    QCOMPARE(m->editor().txtNFax()->text(), u"n.d."_s);
    QTest::keyClicks(m->editor().txtDesc(), u"Nuovo"_s);
    save();
    QCOMPARE(m->box.texts(), QStringList{texts::book::NumberRequired});
    QCOMPARE(m->stored().size(), SampleRows.size());
    QVERIFY(m->editor().isVisible());
}

void TestFrmAggiungi::failedSaveKeepsTheEditor_data()
{
    QTest::addColumn<bool>("locked"); // else refused by the database
    QTest::newRow("refused") << false;
    QTest::newRow("locked past the wait") << true;
}

void TestFrmAggiungi::failedSaveKeepsTheEditor()
{
    QFETCH(bool, locked);
    QVERIFY(m->database->ExecuteSql(u"CREATE TRIGGER refuse BEFORE INSERT ON anagrafica "
                                    "WHEN NEW.nome = 'rifiuta' BEGIN SELECT RAISE(ABORT, 'no'); END"_s));
    m->store->setBusyTimeout(100);
    m->clickCell(4, AddressBookGrid::Edit); // Zeta, 0622
    QTest::keyClicks(m->editor().txtNFax(), u"0623"_s);
    m->editor().txtDesc()->setText(locked ? u"Zeta nuova"_s : u"rifiuta"_s);
    {
        // Another program holds the database while the user saves.
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"other"_s);
        other.setDatabaseName(m->database->databasePath());
        QVERIFY(other.open());
        if (locked)
            QVERIFY(QSqlQuery(other).exec(u"BEGIN EXCLUSIVE"_s));
        m->box.setNextAnswers({MsgAnswer::No});
        QTest::mouseClick(m->editor().cmdAddContact(), Qt::LeftButton);
        // Until the answer, the buttons wait and Enter saves nothing more.
        QVERIFY(!m->editor().cmdAddContact()->isEnabled());
        QVERIFY(!m->editor().cmdDel()->isEnabled());
        QTest::keyClick(m->editor().txtDesc(), Qt::Key_Return);
        m->settle();
        QVERIFY(m->editor().cmdAddContact()->isEnabled());
        QVERIFY(m->editor().cmdDel()->isEnabled());
        other.close();
    }
    QSqlDatabase::removeDatabase(u"other"_s);
    QCOMPARE(m->box.shown().size(), 1);
    QCOMPARE(m->box.shown().first().title, texts::book::SqlErrorTitle);
    QVERIFY(m->stored().contains(ContactRow{u"0622"_s, u"Zeta"_s, u"1"_s}));
    QCOMPARE(m->stored().size(), SampleRows.size());
    QVERIFY(m->editor().isVisible());
    QCOMPARE(m->editor().txtNFax()->text(), u"0623"_s); // as typed

    // Once the database takes it, the same save goes through.
    QVERIFY(m->database->ExecuteSql(u"DROP TRIGGER refuse"_s));
    save();
    QVERIFY(m->stored().contains(ContactRow{u"0623"_s, m->editor().txtDesc()->text(), u"1"_s}));
    QVERIFY(!m->stored().contains(ContactRow{u"0622"_s, u"Zeta"_s, u"1"_s}));
    QVERIFY(!m->editor().isVisible());
    QCOMPARE(m->box.shown().size(), 1);
}

void TestFrmAggiungi::textBeyondTheLineEditLimitKeptWhole()
{
    const QString description = u"Descrizione lunga "_s.repeated(3000); // 54,000 characters
    QVERIFY(m->database->insertContact(ContactRow{u"0444"_s, description, u"9"_s}));
    m->book->ListaNumeri();
    m->settle();
    m->clickCell(m->listedRow(u"0444"_s), AddressBookGrid::Edit);
    QCOMPARE(m->editor().txtDesc()->text(), description);
    save();
    QVERIFY(m->stored().contains(ContactRow{u"0444"_s, description, u"9"_s}));
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
    QTest::keyClicks(m->editor().txtNFax(), u"0999"_s);
    kestrel::test::typeText(m->editor().txtDesc(), description);
    m->editor().cmbGruppo()->lineEdit()->clear();
    kestrel::test::typeText(m->editor().cmbGruppo()->lineEdit(), group);
    save();
    const ContactRow typed{u"0999"_s, description, group};
    QVERIFY(m->stored().contains(typed));

    // Listed, saved again unchanged, and sent as typed.
    const int row = m->listedRow(u"0999"_s);
    QCOMPARE(m->rows().rowCells(row).mid(1, 3), (QStringList{u"0999"_s, description, group}));
    m->clickCell(row, AddressBookGrid::Edit);
    QCOMPARE(m->editorFields().mid(0, 3), (QStringList{u"0999"_s, description, group}));
    save();
    QVERIFY(m->stored().contains(typed));
    QCOMPARE(m->stored().size(), SampleRows.size() + 1);
    m->clickCell(m->listedRow(u"0999"_s), AddressBookGrid::Select);
    QTest::mouseClick(m->bookButton(u"cmdAddSelect"_s), Qt::LeftButton);
    QCOMPARE(m->send->destinations().rowCells(1).mid(0, 3), (QStringList{QString(), u"0999"_s, description}));
    QVERIFY(m->box.shown().isEmpty());
}

QTEST_MAIN(TestFrmAggiungi)
#include "tst_frmaggiungi.moc"
