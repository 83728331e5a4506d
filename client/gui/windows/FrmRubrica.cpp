#include "FrmRubrica.h"

#include "AddressBookList.h"
#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "DesktopContacts.h"
#include "FrmAggiungi.h"
#include "ListGrid.h"
#include "MessageBox.h"
#include "TwipsForm.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The window's client area, in twips: the controls and a margin.
constexpr int WidthTwips = 6600;
constexpr int HeightTwips = 5760;
constexpr int MarkSide = 16;

// The desktop contacts' mark: a card with a person on it, drawn for the
// pixel density asked for.
QPixmap desktopMark(qreal pixelRatio)
{
    const int side = qRound(MarkSide * pixelRatio);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    pixmap.setDevicePixelRatio(pixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor ink(0x2b, 0x57, 0x9a);
    painter.setPen(QPen(ink, 1));
    painter.setBrush(QColor(0xe8, 0xf0, 0xfb));
    painter.drawRoundedRect(QRectF(0.5, 2.5, 15, 11), 2, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    painter.drawEllipse(QRectF(2.5, 4.5, 4, 4));
    painter.drawChord(QRectF(1.5, 9, 6, 8), 0, 180 * 16);
    painter.setPen(QPen(ink, 1));
    painter.drawLine(QPointF(9, 6), QPointF(13.5, 6));
    painter.drawLine(QPointF(9, 8.5), QPointF(13.5, 8.5));
    painter.drawLine(QPointF(9, 11), QPointF(12, 11));
    return pixmap;
}

QIcon desktopMarkIcon()
{
    QIcon icon;
    icon.addPixmap(desktopMark(1));
    icon.addPixmap(desktopMark(2));
    return icon;
}

QList<AddressBookRow> desktopRows(const DesktopContacts& contacts)
{
    QList<AddressBookRow> rows;
    const QList<DesktopContact> listed = contacts.listed();
    rows.reserve(listed.size());
    for (const DesktopContact& contact : listed)
        rows.append(AddressBookList::desktopRow(contact));
    return rows;
}

QList<AddressBookRow> databaseRows(const QList<ContactRow>& contacts)
{
    QList<AddressBookRow> rows;
    rows.reserve(contacts.size());
    for (const ContactRow& contact : contacts)
        rows.append(AddressBookList::databaseRow(contact));
    return rows;
}

} // namespace

FrmRubrica::FrmRubrica(Services services, GridRows& destinations, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(std::move(services)), m_destinations(destinations)
{
    WindowPlacement::name(this, u"FrmRubrica"_s, texts::book::AddressBookTitle);
    buildControls();
    if (ContactStore* store = m_services.store) {
        connect(store, &ContactStore::listed, this, &FrmRubrica::databaseRowsListed);
        connect(store, &ContactStore::changeFinished, this, &FrmRubrica::deletionFinished);
        // Changed here, by the editor, or elsewhere: a loaded list follows.
        connect(store, &ContactStore::contactsChanged, this, [this] {
            if (m_loaded)
                ListaNumeri();
        });
        // Gone: an open list turns read-only as it is, marks kept. Back: the
        // store says its contacts changed, and their listing says so.
        connect(store, &ContactStore::availabilityChanged, this, [this](bool reachable) {
            if (!reachable && m_loaded && m_listing == 0 && m_showsListing)
                showReadOnly(true);
            else if (reachable && !m_loaded)
                m_toldAway = false; // nobody is looking
        });
    }
}

FrmRubrica::~FrmRubrica() = default;

void FrmRubrica::buildControls()
{
    using namespace texts::book;
    const TwipsForm form(this);
    const auto place = [&form](QWidget* widget, int left, int top, int width, int height) {
        form.place(widget, left, top, width, height);
    };
    form.fixSize(WidthTwips, HeightTwips);

    m_msfgRubrica = named(new ListGrid(m_rows, this), u"msfgRubrica"_s, AddressBookTitle);
    place(m_msfgRubrica, 120, 120, 6360, 4575);
    // The mark shows in green: a selection highlight would hide it.
    m_msfgRubrica->setSelectionMode(QAbstractItemView::NoSelection);
    m_msfgRubrica->horizontalHeader()->setSectionsClickable(false);
    m_msfgRubrica->setPictureImage(AddressBookGrid::DesktopPicture, desktopMarkIcon());
    connect(m_msfgRubrica, &ListGrid::cellClicked, this, &FrmRubrica::gridClick);
    // The keyboard does what the mouse does: Space and Enter mark, Enter on
    // "Edit" edits, Delete deletes.
    m_msfgRubrica->setMarksByKeyboard(true);
    connect(m_msfgRubrica, &ListGrid::markRequested, this, [this](int row) { m_grid.toggleMark(row); });
    connect(m_msfgRubrica, &ListGrid::enterPressed, this, &FrmRubrica::gridEnter);
    connect(m_msfgRubrica, &ListGrid::deleteRequested, this, &FrmRubrica::gridDelete);

    m_cmdNewContact = named(new QPushButton(NewContact, this), u"cmdNewContact"_s, spoken(NewContact));
    m_cmdNewContact->setToolTip(NewContactTip);
    place(m_cmdNewContact, 120, 4680, 1935, 375);
    connect(m_cmdNewContact, &QPushButton::clicked, this, &FrmRubrica::cmdNewContactClick);

    m_cmdAddGrp = named(new QPushButton(AddGroup, this), u"cmdAddGrp"_s, spoken(AddGroup));
    m_cmdAddGrp->setToolTip(AddGroupTip);
    place(m_cmdAddGrp, 120, 5280, 2175, 345);
    connect(m_cmdAddGrp, &QPushButton::clicked, this, &FrmRubrica::cmdAddGrpClick);

    // The group number reads as the end of the button's caption.
    m_cmbSendGrp = named(new QComboBox(this), u"cmbSendGrp"_s, spoken(AddGroup));
    m_cmbSendGrp->addItems(groupLabels());
    place(m_cmbSendGrp, 2400, 5280, 615, 360);
    m_cmbSendGrp->installEventFilter(this);

    m_cmdAddSelect = named(new QPushButton(AddSelected, this), u"cmdAddSelect"_s, spoken(AddSelected));
    m_cmdAddSelect->setToolTip(AddSelectedTip);
    place(m_cmdAddSelect, 4320, 5280, 2175, 345);
    connect(m_cmdAddSelect, &QPushButton::clicked, this, &FrmRubrica::cmdAddSelectClick);

    m_picOL = named(new QLabel(this), u"PicOL"_s, DesktopMarkName);
    m_picOL->setPixmap(desktopMark(devicePixelRatioF()));
    m_picOL->hide();

    // Over the list's foot, while the store's contacts are read.
    m_lblLoading =
        named(new QLabel(LoadingContacts, m_msfgRubrica->viewport()), u"lblLoading"_s, LoadingContacts);
    m_lblLoading->setAutoFillBackground(true);
    m_lblLoading->hide();

    setTabOrder(m_msfgRubrica, m_cmdNewContact);
    setTabOrder(m_cmdNewContact, m_cmdAddGrp);
    setTabOrder(m_cmdAddGrp, m_cmbSendGrp);
    setTabOrder(m_cmbSendGrp, m_cmdAddSelect);
}

void FrmRubrica::load()
{
    if (m_services.setAlwaysOnTop)
        m_services.setAlwaysOnTop(this, true);
    m_cmbSendGrp->setCurrentIndex(0);
    m_grid.setUp();
    fitColumns();
    m_loaded = true;
    ListaNumeri();
}

void FrmRubrica::fitColumns()
{
    using Grid = AddressBookGrid;
    m_msfgRubrica->setColumnWidthsTwips(Grid::widthsTwips());
    // The design's widths assume its font: "Seleziona" read "elezion" and
    // two-digit groups "…". What a column can hold is known in advance: its
    // header, the group labels (or the desktop contacts' mark), the mark
    // "Invia" and "-".
    const QHeaderView* header = m_msfgRubrica->horizontalHeader();
    const QFontMetrics headerFont(header->font());
    const int headerMargins = 2 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const QFontMetrics cellFont(m_msfgRubrica->font());
    const int cellMargins =
        2 * (m_msfgRubrica->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_msfgRubrica) + 1);
    const auto widest = [&](const QStringList& texts) {
        int width = 0;
        for (const QString& text : texts)
            width = std::max(width, cellFont.horizontalAdvance(text));
        return width + cellMargins;
    };
    const auto held = [&](int column) {
        switch (column) {
        case Grid::Group:
            return std::max(widest(texts::book::groupLabels()), MarkSide + cellMargins);
        case Grid::Select:
            return widest({texts::book::Marked});
        case Grid::Edit:
            return widest({u"-"_s});
        default:
            return 0;
        }
    };
    int total = 0;
    for (int column = Grid::Number; column < Grid::ColumnCount; ++column) {
        const int needed =
            std::max(headerFont.horizontalAdvance(m_rows.text(0, column)) + headerMargins, held(column));
        if (m_msfgRubrica->columnWidth(column) < needed)
            m_msfgRubrica->setColumnWidth(column, needed);
        total += m_msfgRubrica->columnWidth(column);
    }
    // The description gives up the room that took, down to its header (a cut
    // description shows whole as the cell's tooltip); room is kept for the
    // scroll bar of a long list.
    const int room =
        m_msfgRubrica->maximumViewportSize().width() - m_msfgRubrica->verticalScrollBar()->sizeHint().width();
    const int description = m_msfgRubrica->columnWidth(Grid::Description);
    const int least = headerFont.horizontalAdvance(m_rows.text(0, Grid::Description)) + headerMargins;
    if (total > room)
        m_msfgRubrica->setColumnWidth(Grid::Description, std::max(least, description - (total - room)));
}

void FrmRubrica::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (m_loaded && (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange))
        fitColumns();
}

void FrmRubrica::showWindow()
{
    if (!m_loaded)
        load();
    show();
    raise();
    activateWindow();
}

void FrmRubrica::hideWithEditor()
{
    hide();
    if (m_editor)
        m_editor->hide();
}

void FrmRubrica::ListaNumeri()
{
    m_grid.clear();
    OLStart();
    LoadDatabaseRows();
}

void FrmRubrica::OLStart()
{
    if (m_services.desktopContacts)
        m_grid.append(desktopRows(*m_services.desktopContacts));
}

void FrmRubrica::desktopContactsArrived()
{
    if (m_loaded && m_services.desktopContacts)
        m_grid.insertAtTop(desktopRows(*m_services.desktopContacts));
}

void FrmRubrica::LoadDatabaseRows()
{
    m_listed.clear();
    m_showsListing = false;
    if (!m_services.store)
        return;
    // A listing asked for earlier is not awaited any more: only the last
    // one's rows are shown.
    m_listing = m_services.store->list();
    showLoading(true);
}

void FrmRubrica::databaseRowsListed(int ticket, const Expected<QList<ContactRow>>& listed)
{
    if (ticket != m_listing)
        return;
    m_listing = 0;
    showLoading(false);
    if (!listed) {
        // A listing that failed shows its dialog; the list keeps the desktop
        // contacts alone.
        if (m_services.messageBox)
            ContactDatabase::showSqlErrorDialog(*m_services.messageBox, listed.error().message);
        return;
    }
    for (const ContactRow& contact : *listed)
        m_listed.insert(contact.rowid, contact);
    m_grid.append(databaseRows(*listed));
    m_showsListing = true;
    showReadOnly(m_services.store->isReadOnly());
}

void FrmRubrica::showReadOnly(bool away)
{
    m_cmdNewContact->setEnabled(!away);
    // The shared book away: its last listing, said once while it lasts;
    // back, said once too.
    const bool told = std::exchange(m_toldAway, away);
    if (told == away || !m_services.messageBox)
        return;
    if (away) {
        m_services.messageBox->show(
            {texts::sharedbook::ShowingLastRead, texts::ProductName, MsgIcon::Exclamation, MsgButtons::Ok});
    } else {
        m_services.messageBox->show(
            {texts::sharedbook::BackReachable, texts::ProductName, MsgIcon::Information, MsgButtons::Ok});
    }
}

void FrmRubrica::showLoading(bool loading)
{
    if (!loading) {
        m_lblLoading->hide();
        return;
    }
    const QWidget* viewport = m_msfgRubrica->viewport();
    m_lblLoading->adjustSize();
    m_lblLoading->move(4, std::max(0, viewport->height() - m_lblLoading->height() - 4));
    m_lblLoading->show();
}

ContactRow FrmRubrica::listedContact(const ContactRow& shown) const
{
    return m_listed.value(shown.rowid, shown);
}

void FrmRubrica::gridClick(int row, int col)
{
    if (const std::optional<ContactRow> contact = m_grid.click(row, col))
        editorWindow().openEdited(listedContact(*contact));
}

void FrmRubrica::gridEnter(int row, int col)
{
    if (col == AddressBookGrid::Edit)
        gridClick(row, col);
    else
        m_grid.toggleMark(row);
}

void FrmRubrica::gridDelete(int row)
{
    const std::optional<ContactRow> contact = m_grid.databaseContact(row);
    if (!contact || !m_services.messageBox)
        return;
    using namespace texts::book;
    const MessageBoxRequest question{deleteContactQuestion(contact->description, contact->number),
                                     DeleteContactTitle, MsgIcon::None, MsgButtons::YesNo};
    if (m_services.messageBox->show(question) != MsgAnswer::Yes || !m_services.store)
        return;
    m_deletions.insert(m_services.store->remove(listedContact(*contact)), *contact);
}

void FrmRubrica::deletionFinished(int ticket, const ContactStore::ChangeResult& result)
{
    const std::optional<ContactRow> contact =
        m_deletions.contains(ticket) ? std::optional<ContactRow>(m_deletions.take(ticket)) : std::nullopt;
    if (!contact || !m_services.messageBox)
        return;
    using namespace texts::book;
    using Outcome = ContactStore::Outcome;
    switch (result.outcome) {
    case Outcome::Done:
        return; // the store's contactsChanged lists again
    case Outcome::Failed:
        // The list stays as it is.
        ContactDatabase::showSqlErrorDialog(*m_services.messageBox, result.message);
        return;
    case Outcome::ReadOnly:
        m_services.messageBox->show(
            {result.message, DeleteContactTitle, MsgIcon::Exclamation, MsgButtons::Ok});
        return;
    case Outcome::RowChanged:
        // The row is not the contact listed any more: another program
        // changed it, or its rowid went to another contact. Nothing was
        // deleted.
        m_services.messageBox->show({contactChanged(contact->description, contact->number),
                                     DeleteContactTitle, MsgIcon::Exclamation, MsgButtons::Ok});
        break;
    }
    if (m_loaded)
        ListaNumeri();
}

void FrmRubrica::cmdAddSelectClick()
{
    m_destinations.appendRows(m_grid.markedDestinations());
    close();
}

void FrmRubrica::cmdAddGrpClick()
{
    m_destinations.appendRows(m_grid.groupDestinations(m_cmbSendGrp->currentText()));
    close();
}

void FrmRubrica::cmdNewContactClick()
{
    editorWindow().openNew();
}

FrmAggiungi& FrmRubrica::editorWindow()
{
    if (!m_editor) {
        m_editor = std::make_unique<FrmAggiungi>(
            FrmAggiungi::Services{m_services.store, m_services.messageBox, m_services.setAlwaysOnTop});
        // A closed address book lists afresh when it is next shown.
        connect(m_editor.get(), &FrmAggiungi::contactsChanged, this, [this] {
            if (m_loaded)
                ListaNumeri();
        });
    }
    return *m_editor;
}

void FrmRubrica::closeEvent(QCloseEvent* event)
{
    // Closing unloads: the rows and their marks go, and a listing on its way
    // is not shown.
    m_loaded = false;
    m_listing = 0;
    showLoading(false);
    m_grid.clear();
    QWidget::closeEvent(event);
}

bool FrmRubrica::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_cmbSendGrp || event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    // A group is chosen from the list only: typed characters are dropped.
    // Tab, the arrow keys and Space, which opens the list, still work.
    const QString text = static_cast<QKeyEvent*>(event)->text();
    return !text.isEmpty() && text.at(0).isPrint() && text != u" "_s;
}

} // namespace kestrel
