// The address book window on the offscreen platform, opened from a real
// send window: the list, the click rules, the marks, and the adds into the
// send window's destinations.

#include "AddressBookSetup.h"
#include "ClientTexts.h"

#include "ListGrid.h"
#include <QComboBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolTip>

using namespace Qt::StringLiterals;

using namespace kestrel;
using kestrel::test::AddressBookSetup;
namespace book = kestrel::texts::book;

class TestFrmRubrica : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { m.reset(); }
    void listsDesktopThenDatabaseContacts();
    void clicks_data();
    void clicks();
    void addsToTheSendWindow_data();
    void addsToTheSendWindow();
    void hidingKeepsMarksClosingDropsThem();
    void desktopContactsArriveInAnOpenList();
    void failedListingShowsTheSqlDialog();
    void keys_data();
    void keys();
    void everyButtonHasItsMnemonic();
    void cutCellsShowTheirTextAsTooltip_data();
    void cutCellsShowTheirTextAsTooltip();
    void everyControlHasAName();
    void headersAndCellsReadWhole_data();
    void headersAndCellsReadWhole();

private:
    std::unique_ptr<AddressBookSetup> m;
};

void TestFrmRubrica::init()
{
    m = std::make_unique<AddressBookSetup>();
    m->start();
}

void TestFrmRubrica::listsDesktopThenDatabaseContacts()
{
    QCOMPARE(m->log, (QStringList{u"on top frmSend 1"_s, u"notice "_s + book::LoadingDesktopContacts,
                                  u"notice closed"_s, u"on top FrmRubrica 1"_s}));
    QVERIFY(m->book->isVisible());
    const GridRows& rows = m->rows();
    QCOMPARE(rows.rowCells(0),
             (QStringList{QString(), u"Nr. Fax"_s, u"Descrizione"_s, u"Grp"_s, u"Seleziona"_s, u"Edit"_s}));
    // Desktop contacts first, in file order; then the database's, by group and name.
    QCOMPARE(rows.column(1),
             (QStringList{u"0039061234"_s, u"06999"_s, u"0611"_s, u"0622"_s, u"003902123"_s, u"0733"_s}));
    QCOMPARE(rows.column(2), (QStringList{u"Anna Rossi ACME"_s, u"Bruno Verdi Verdi"_s, u"Alfa"_s, u"Zeta"_s,
                                          u"Bianchi"_s, u"Dell'Orto"_s}));
    QCOMPARE(rows.column(3), (QStringList{u" "_s, u" "_s, u"1"_s, u"1"_s, u"2"_s, u"3"_s}));
    QCOMPARE(rows.column(5), (QStringList{{}, {}, u"-"_s, u"-"_s, u"-"_s, u"-"_s}));
    QCOMPARE(m->marks(), QStringList(6, QString()));
    for (int r = 1; r < rows.rows(); ++r)
        QCOMPARE(rows.picture(r, AddressBookGrid::Group), r <= 2 ? AddressBookGrid::DesktopPicture : 0);
    QVERIFY(!m->book->msfgRubrica()->pictureImage(AddressBookGrid::DesktopPicture).isNull());
    QCOMPARE(m->book->PicOL()->pixmap().deviceIndependentSize(), QSizeF(16, 16));
    QVERIFY(m->book->msfgRubrica()->isColumnHidden(0));
    QCOMPARE(m->book->cmbSendGrp()->currentText(), u"1"_s);
    QCOMPARE(m->book->cmbSendGrp()->count(), 20);
    QVERIFY(m->box.shown().isEmpty());
}

void TestFrmRubrica::clicks_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("toggles");
    QTest::addColumn<bool>("opensEditor");
    QTest::newRow("header") << 0 << 4 << false << false;
    QTest::newRow("desktop contact, number") << 1 << 1 << true << false;
    QTest::newRow("desktop contact, its mark picture") << 2 << 3 << true << false;
    QTest::newRow("database contact, description") << 3 << 2 << true << false;
    QTest::newRow("database contact, Seleziona") << 4 << 4 << true << false;
    QTest::newRow("database contact, hidden column") << 5 << 0 << true << false;
    QTest::newRow("desktop contact, Edit") << 1 << 5 << false << false;
    QTest::newRow("database contact, Edit") << 6 << 5 << false << true;
}

void TestFrmRubrica::clicks()
{
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, toggles);
    QFETCH(bool, opensEditor);
    const auto click = [&] {
        if (row == 0)
            m->clickHeader(col);
        else if (col == 0)
            m->book->gridClick(row, col); // a hidden column takes no mouse click
        else
            m->clickCell(row, col);
    };
    const QStringList unmarked(6, QString());
    click();
    QStringList expected = unmarked;
    if (toggles)
        expected[row - 1] = u"Invia"_s;
    QCOMPARE(m->marks(), expected);
    if (toggles) {
        QCOMPARE(m->rows().background(row, AddressBookGrid::Select), 0x00FF00u);
        click();
        QCOMPARE(m->marks(), unmarked);
        QCOMPARE(m->rows().background(row, AddressBookGrid::Select), 0xFFFFFFu);
    }
    QCOMPARE(m->book->editor() && m->book->editor()->isVisible(), opensEditor);
    if (opensEditor)
        QCOMPARE(m->editor().inEdit(), u"0733"_s);
}

void TestFrmRubrica::addsToTheSendWindow_data()
{
    QTest::addColumn<QList<int>>("marked");
    QTest::addColumn<int>("group"); // 0: the selection button
    QTest::addColumn<QStringList>("added");
    QTest::newRow("marked, in list order")
        << QList<int>{5, 1} << 0 << QStringList{u"0039061234|Anna Rossi ACME"_s, u"003902123|Bianchi"_s};
    QTest::newRow("nothing marked") << QList<int>{} << 0 << QStringList();
    QTest::newRow("group 1, marks aside")
        << QList<int>{6} << 1 << QStringList{u"0611|Alfa"_s, u"0622|Zeta"_s};
    QTest::newRow("a group no row carries") << QList<int>{3} << 20 << QStringList();
}

void TestFrmRubrica::addsToTheSendWindow()
{
    QFETCH(QList<int>, marked);
    QFETCH(int, group);
    QFETCH(QStringList, added);
    // A number typed in the send window first: the adds come after it.
    QTest::keyClicks(m->send->txtFaxNumber(), u"0555"_s);
    QTest::keyClick(m->send->txtFaxNumber(), Qt::Key_Return);
    for (const int row : marked)
        m->clickCell(row, AddressBookGrid::Number);
    if (group > 0) {
        m->book->cmbSendGrp()->setCurrentIndex(group - 1);
        QTest::keyClicks(m->book->cmbSendGrp(), u"7x"_s); // typing chooses nothing
        QCOMPARE(m->book->cmbSendGrp()->currentText(), QString::number(group));
    }
    QTest::mouseClick(m->bookButton(group > 0 ? u"cmdAddGrp"_s : u"cmdAddSelect"_s), Qt::LeftButton);

    const GridRows& dest = m->send->destinations();
    QStringList destinations;
    for (int r = 1; r < dest.rows(); ++r)
        destinations << dest.text(r, 1) + u'|' + dest.text(r, 2);
    QCOMPARE(destinations, QStringList{u"0555|"_s} + added);
    QVERIFY(!m->book->isVisible());
    QVERIFY(!m->book->isLoaded());
}

void TestFrmRubrica::hidingKeepsMarksClosingDropsThem()
{
    m->clickCell(3, AddressBookGrid::Description);
    m->clickCell(6, AddressBookGrid::Edit);
    QVERIFY(m->editor().isVisible());
    // The send window put away with both lists empty takes both windows along.
    QTest::mouseClick(m->send->findChild<QPushButton*>(u"cmdDel"_s), Qt::LeftButton);
    QVERIFY(!m->book->isVisible());
    QVERIFY(!m->editor().isVisible());
    m->send->showInFront();
    m->openBook();
    QVERIFY(m->book->isVisible());
    QCOMPARE(m->marks().at(2), u"Invia"_s);
    QCOMPARE(m->editor().inEdit(), u"0733"_s); // hidden, not unloaded

    m->book->close();
    m->openBook();
    QCOMPARE(m->marks(), QStringList(6, QString()));
}

void TestFrmRubrica::desktopContactsArriveInAnOpenList()
{
    DesktopContacts arriving; // still being read when the list is made
    FrmRubrica book({m->store.get(), &arriving, &m->box, {}}, m->send->destinations());
    book.showWindow();
    QCOMPARE(book.rows().rows(), 1); // the store's contacts are on their way
    QVERIFY(book.lblLoading()->isVisible());
    QCOMPARE(book.lblLoading()->text(), book::LoadingContacts);
    QTRY_VERIFY(!book.isListing());
    QVERIFY(!book.lblLoading()->isVisible());
    book.gridClick(2, AddressBookGrid::Number); // Zeta
    arriving.take(1, ContactItem{ContactItem::ContactClass, u"06 1234"_s, u"Anna"_s, u"Rossi"_s, {}});
    book.desktopContactsArrived();
    QCOMPARE(book.rows().column(AddressBookGrid::Number),
             (QStringList{u"061234"_s, u"0611"_s, u"0622"_s, u"003902123"_s, u"0733"_s}));
    QCOMPARE(book.rows().picture(1, AddressBookGrid::Group), AddressBookGrid::DesktopPicture);
    QCOMPARE(book.rows().column(AddressBookGrid::Select),
             (QStringList{QString(), QString(), u"Invia"_s, QString(), QString()}));
    QCOMPARE(book.rows().background(3, AddressBookGrid::Select), AddressBookGrid::MarkedRgb);
}

// The file gone while the list is open: the window shows the SQL error
// dialog itself, once, and keeps the desktop contacts.
void TestFrmRubrica::failedListingShowsTheSqlDialog()
{
    QVERIFY(QFile::remove(m->database->databasePath()));
    m->box.setNextAnswers({MsgAnswer::No});
    m->book->ListaNumeri();
    QVERIFY(m->box.shown().isEmpty()); // not while the window asks
    m->settle();
    QCOMPARE(m->box.shown().size(), 1);
    QCOMPARE(m->box.shown().first().title, book::SqlErrorTitle);
    QVERIFY(m->box.shown().first().text.endsWith(book::SqlErrorQuestion));
    QCOMPARE(m->rows().column(AddressBookGrid::Number), (QStringList{u"0039061234"_s, u"06999"_s}));
    QVERIFY(!m->book->lblLoading()->isVisible());
}

void TestFrmRubrica::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("col");
    QTest::addColumn<bool>("toggles");
    QTest::addColumn<bool>("opensEditor");
    QTest::addColumn<int>("deleteAnswer"); // 0: no question
    const int space = Qt::Key_Space;
    const int enter = Qt::Key_Return;
    const int del = Qt::Key_Delete;
    const int yes = int(MsgAnswer::Yes);
    const int no = int(MsgAnswer::No);
    QTest::newRow("Space, desktop contact") << space << 1 << 1 << true << false << 0;
    QTest::newRow("Enter, description") << enter << 3 << 2 << true << false << 0;
    QTest::newRow("Enter on Edit, database contact") << enter << 6 << 5 << false << true << 0;
    QTest::newRow("Enter on Edit, desktop contact") << enter << 2 << 5 << false << false << 0;
    QTest::newRow("Delete, database contact, Yes") << del << 6 << 2 << false << false << yes;
    QTest::newRow("Delete, database contact, No") << del << 6 << 2 << false << false << no;
    QTest::newRow("Delete, desktop contact") << del << 1 << 2 << false << false << 0;
}

void TestFrmRubrica::keys()
{
    QFETCH(int, key);
    QFETCH(int, row);
    QFETCH(int, col);
    QFETCH(bool, toggles);
    QFETCH(bool, opensEditor);
    QFETCH(int, deleteAnswer);
    ListGrid* grid = m->book->msfgRubrica();
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(row - 1, col));
    if (deleteAnswer)
        m->box.setNextAnswers({MsgAnswer(deleteAnswer)});
    QTest::keyClick(grid, Qt::Key(key));
    m->settle();

    QStringList marks(6, QString());
    if (toggles)
        marks[row - 1] = u"Invia"_s;
    const bool deleted = deleteAnswer == int(MsgAnswer::Yes);
    QCOMPARE(m->marks(), deleted ? QStringList(5, QString()) : marks);
    QCOMPARE(m->book->editor() && m->book->editor()->isVisible(), opensEditor);
    if (opensEditor)
        QCOMPARE(m->editor().inEdit(), u"0733"_s);
    QCOMPARE(m->box.texts(), deleteAnswer
                                 ? QStringList{book::deleteContactQuestion(u"Dell'Orto"_s, u"0733"_s)}
                                 : QStringList());
    if (deleteAnswer)
        QCOMPARE(m->box.shown().first().title, book::DeleteContactTitle);
    QCOMPARE(m->stored().size(), 4 - int(deleted));
    QCOMPARE(m->listedRow(u"0733"_s) > 0, !deleted);
}

void TestFrmRubrica::everyButtonHasItsMnemonic()
{
    QTest::mouseClick(m->bookButton(u"cmdNewContact"_s), Qt::LeftButton);
    for (QWidget* window : QList<QWidget*>{m->book.get(), m->book->editor()}) {
        QList<QKeySequence> mnemonics;
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            const QKeySequence mnemonic = QKeySequence::mnemonic(button->text());
            QVERIFY2(!mnemonic.isEmpty(), qPrintable(button->objectName()));
            QVERIFY2(!mnemonics.contains(mnemonic), qPrintable(button->objectName()));
            mnemonics << mnemonic;
        }
    }
}

void TestFrmRubrica::cutCellsShowTheirTextAsTooltip_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("cut");
    QTest::newRow("a number of 20 digits") << u"00390212345678901234"_s << true;
    QTest::newRow("a short number") << u"0612"_s << false;
}

void TestFrmRubrica::cutCellsShowTheirTextAsTooltip()
{
    QFETCH(QString, number);
    QFETCH(bool, cut);
    QVERIFY(m->database->insertContact({number, u"Lungo"_s, u"9"_s}));
    m->book->ListaNumeri();
    m->settle();
    ListGrid* grid = m->book->msfgRubrica();
    const QModelIndex cell = grid->model()->index(m->listedRow(number) - 1, AddressBookGrid::Number);
    grid->scrollTo(cell);
    const QPoint at = grid->visualRect(cell).center();
    QHelpEvent hover(QEvent::ToolTip, at, grid->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid->viewport(), &hover);
    QCOMPARE(QToolTip::isVisible(), cut);
    if (cut)
        QCOMPARE(QToolTip::text(), number);
    QToolTip::hideText();
}

void TestFrmRubrica::everyControlHasAName()
{
    QTest::mouseClick(m->bookButton(u"cmdNewContact"_s), Qt::LeftButton);
    for (QWidget* window : QList<QWidget*>{m->book.get(), m->book->editor()}) {
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets << window;
        for (QWidget* widget : std::as_const(widgets)) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith(u"qt_"_s))
                continue; // a part of a Qt widget, not one of the window's controls
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
        }
    }
    for (const QString& name : {u"msfgRubrica"_s, u"cmdNewContact"_s, u"cmdAddGrp"_s, u"cmbSendGrp"_s,
                                u"cmdAddSelect"_s, u"PicOL"_s})
        QVERIFY2(m->book->findChild<QWidget*>(name), qPrintable(name));
}

// Each header reads whole ("Seleziona" read "elezion"), and so do the
// groups (they showed "…"), the marks and "-", in the grid's own font and
// style, also in a larger font; no column is pushed out of sight.
void TestFrmRubrica::headersAndCellsReadWhole_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("widest");
    QTest::addColumn<qreal>("scale");
    for (const qreal scale : {1.0, 1.6}) {
        const QByteArray font = scale > 1 ? ", larger font" : "";
        const auto row = [&](const char* name) -> QTestData& {
            return QTest::newRow(QByteArray(QByteArray(name) + font).constData());
        };
        row("Grp") << int(AddressBookGrid::Group) << QString(book::GroupHeader) << scale;
        row("group 20") << int(AddressBookGrid::Group) << u"20"_s << scale;
        row("Seleziona") << int(AddressBookGrid::Select) << QString(book::SelectHeader) << scale;
        row("a mark") << int(AddressBookGrid::Select) << QString(book::Marked) << scale;
        row("Edit") << int(AddressBookGrid::Edit) << QString(book::EditHeader) << scale;
    }
}

void TestFrmRubrica::headersAndCellsReadWhole()
{
    QFETCH(int, column);
    QFETCH(QString, widest);
    QFETCH(qreal, scale);
    QFont font = m->book->font();
    font.setPointSizeF(font.pointSizeF() * scale);
    m->book->setFont(font);
    ListGrid* grid = m->book->msfgRubrica();
    QHeaderView* header = grid->horizontalHeader();
    const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const int cellMargin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    const bool inHeader = widest == m->rows().text(0, column);
    const int needed = inHeader ? QFontMetrics(header->font()).horizontalAdvance(widest) + 2 * headerMargin
                                : grid->fontMetrics().horizontalAdvance(widest) + 2 * cellMargin;
    QVERIFY2(grid->columnWidth(column) >= needed,
             qPrintable(u"%1 < %2"_s.arg(grid->columnWidth(column)).arg(needed)));
    int total = 0;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        total += grid->isColumnHidden(c) ? 0 : grid->columnWidth(c);
    QVERIFY(total <= grid->viewport()->width());
}

QTEST_MAIN(TestFrmRubrica)
#include "tst_frmrubrica.moc"
