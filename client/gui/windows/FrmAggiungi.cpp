#include "FrmAggiungi.h"

#include "ClientTexts.h"
#include "ContactDatabase.h"
#include "FaxNumberValidator.h"
#include "MessageBox.h"
#include "NormalizeFaxNumber.h"
#include "TwipsForm.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The window's client area, in twips: the controls and a margin.
constexpr int WidthTwips = 4080;
constexpr int HeightTwips = 2400;

bool isEnter(const QKeyEvent* key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

// The number box takes digits and Backspace; any other character typed,
// Enter included, is dropped. Keys that type no character (Tab, cursor
// moves, Delete) and shortcuts (copy, paste, select all) are left alone.
bool dropsNumberKey(const QKeyEvent* key)
{
    if (isEnter(key))
        return true;
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return false;
    return !(text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'9');
}

} // namespace

FrmAggiungi::FrmAggiungi(Services services, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(std::move(services))
{
    WindowPlacement::name(this, u"frmAggiungi"_s, texts::book::EditorTitle);
    buildControls();
    if (m_services.store)
        connect(m_services.store, &ContactStore::changeFinished, this, &FrmAggiungi::changeAnswered);
}

void FrmAggiungi::buildControls()
{
    using namespace texts::book;
    const TwipsForm form(this);
    const auto place = [&form](QWidget* widget, int left, int top, int width, int height) {
        form.place(widget, left, top, width, height);
    };
    form.fixSize(WidthTwips, HeightTwips);

    m_lblFaxNum = named(new QLabel(EditorNumber, this), u"lblFaxNum"_s, EditorNumber);
    place(m_lblFaxNum, 120, 240, 1095, 255);
    m_txtNFax = named(new QLineEdit(this), u"txtNFax"_s, EditorNumber);
    place(m_txtNFax, 1320, 240, 2535, 375);
    m_lblFaxNum->setBuddy(m_txtNFax);
    m_txtNFax->installEventFilter(this);
    // Typed characters other than digits are dropped by the filter; text
    // that comes in any other way is made digits, or refused with the
    // message of a missing number (after the line edit is done with it).
    m_txtNFax->setValidator(new FaxNumberValidator(m_txtNFax));
    connect(
        m_txtNFax, &QLineEdit::inputRejected, this,
        [this] {
            m_services.messageBox->show(
                {texts::book::NumberRequired, QString(), MsgIcon::None, MsgButtons::Ok});
        },
        Qt::QueuedConnection);

    m_lblDesc = named(new QLabel(EditorDescription, this), u"lblDesc"_s, EditorDescription);
    place(m_lblDesc, 120, 720, 1095, 255);
    m_txtDesc = named(new QLineEdit(this), u"txtDesc"_s, EditorDescription);
    place(m_txtDesc, 1320, 720, 2535, 375);
    m_lblDesc->setBuddy(m_txtDesc);
    m_txtDesc->installEventFilter(this);

    m_lblGroup = named(new QLabel(EditorGroup, this), u"lblGroup"_s, EditorGroup);
    place(m_lblGroup, 120, 1200, 855, 255);
    m_cmbGruppo = named(new QComboBox(this), u"cmbGruppo"_s, EditorGroup);
    m_cmbGruppo->setEditable(true);
    // A typed group is used as it is, not added to the list.
    m_cmbGruppo->setInsertPolicy(QComboBox::NoInsert);
    m_cmbGruppo->addItems(groupLabels());
    place(m_cmbGruppo, 1320, 1200, 615, 360);
    // The store keeps any length: no field cuts what the user typed or what
    // an edited contact holds.
    for (QLineEdit* field : {m_txtNFax, m_txtDesc, m_cmbGruppo->lineEdit()})
        field->setMaxLength(std::numeric_limits<int>::max());
    m_lblGroup->setBuddy(m_cmbGruppo);

    m_cmdAddContact = named(new QPushButton(SaveNew, this), u"cmdAddContact"_s, spoken(SaveNew));
    m_cmdAddContact->setToolTip(SaveTip);
    place(m_cmdAddContact, 3000, 1800, 855, 375);
    connect(m_cmdAddContact, &QPushButton::clicked, this, &FrmAggiungi::cmdAddContactClick);

    m_cmdDel = named(new QPushButton(Delete, this), u"cmdDel"_s, spoken(Delete));
    place(m_cmdDel, 120, 1800, 735, 375);
    connect(m_cmdDel, &QPushButton::clicked, this, &FrmAggiungi::cmdDelClick);

    m_inEdit = named(new QLabel(this), u"InEdit"_s, EditorNumber);
    m_inEdit->hide();

    setTabOrder(m_txtNFax, m_txtDesc);
    setTabOrder(m_txtDesc, m_cmbGruppo);
    setTabOrder(m_cmbGruppo, m_cmdAddContact);
    setTabOrder(m_cmdAddContact, m_cmdDel);
}

void FrmAggiungi::load()
{
    if (m_services.setAlwaysOnTop)
        m_services.setAlwaysOnTop(this, true);
    m_inEdit->clear();
    m_edited = ContactRow();
    m_txtNFax->clear();
    m_txtDesc->clear();
    m_cmbGruppo->setCurrentIndex(0);
    m_cmbGruppo->setEditText(texts::book::DefaultGroup);
    m_cmdAddContact->setText(texts::book::SaveNew);
    m_cmdAddContact->setAccessibleName(spoken(texts::book::SaveNew));
    m_loaded = true;
}

QString FrmAggiungi::inEdit() const
{
    return m_inEdit->text();
}

void FrmAggiungi::openNew()
{
    if (m_pending != 0) {
        showAndFocusNumber();
        return;
    }
    if (!m_loaded)
        load();
    m_inEdit->clear();
    m_edited = ContactRow();
    showAndFocusNumber();
}

void FrmAggiungi::openEdited(const ContactRow& listed)
{
    // A change awaited keeps the contact it was made to.
    if (m_pending != 0) {
        showAndFocusNumber();
        return;
    }
    if (!m_loaded)
        load();
    m_txtDesc->setText(listed.description);
    m_cmbGruppo->setCurrentText(listed.group);
    // Listed numbers may carry "/" (stored by other programs).
    m_txtNFax->setText(FaxNumberDigits(listed.number));
    m_inEdit->setText(m_txtNFax->text());
    m_edited = listed;
    m_cmdAddContact->setText(texts::book::SaveEdited);
    m_cmdAddContact->setAccessibleName(spoken(texts::book::SaveEdited));
    showAndFocusNumber();
    m_txtNFax->selectAll();
}

void FrmAggiungi::showAndFocusNumber()
{
    show();
    raise();
    activateWindow();
    m_txtNFax->setFocus();
}

void FrmAggiungi::cmdAddContactClick()
{
    if (m_pending != 0 || !m_services.store)
        return;
    // The box's filter does not see every way in (the accessibility
    // interface sets text past it): the number is its digits, or missing.
    const ContactRow row{FaxNumberDigits(m_txtNFax->text()), m_txtDesc->text(), m_cmbGruppo->currentText()};
    if (row.number.isEmpty()) {
        m_services.messageBox->show({texts::book::NumberRequired, QString(), MsgIcon::None, MsgButtons::Ok});
        return;
    }
    // A replacement is one transaction: a failure changes nothing. A failed
    // save shows its one dialog: what was typed stays, to save again.
    await(m_edited.rowid == 0 ? m_services.store->add(row) : m_services.store->change(m_edited, row), false);
}

void FrmAggiungi::cmdDelClick()
{
    if (m_pending != 0 || !m_services.store)
        return;
    // A new contact is stored nowhere: there is nothing to delete.
    if (m_edited.rowid == 0) {
        clearFields();
        finishChange({ContactStore::Outcome::Done, {}, std::nullopt});
        return;
    }
    await(m_services.store->remove(m_edited), true);
}

void FrmAggiungi::await(int ticket, bool deleting)
{
    m_pending = ticket;
    m_deleting = deleting;
    m_cmdAddContact->setEnabled(false);
    m_cmdDel->setEnabled(false);
}

void FrmAggiungi::changeAnswered(int ticket, const ContactStore::ChangeResult& result)
{
    if (ticket == 0 || ticket != m_pending)
        return;
    m_pending = 0;
    m_cmdAddContact->setEnabled(true);
    m_cmdDel->setEnabled(true);
    if (m_deleting && result.outcome == ContactStore::Outcome::Done)
        clearFields();
    finishChange(result);
}

void FrmAggiungi::clearFields()
{
    m_inEdit->clear();
    m_txtNFax->clear();
    m_txtDesc->clear();
    m_cmbGruppo->setEditText(texts::book::DefaultGroup);
}

void FrmAggiungi::finishChange(const ContactStore::ChangeResult& result)
{
    using Outcome = ContactStore::Outcome;
    switch (result.outcome) {
    case Outcome::Done:
        break;
    case Outcome::Failed:
        // Its dialog says why; the fields stay, to try again.
        ContactDatabase::showSqlErrorDialog(*m_services.messageBox, result.message);
        return;
    case Outcome::ReadOnly:
        m_services.messageBox->show(
            {result.message, texts::book::EditorTitle, MsgIcon::Exclamation, MsgButtons::Ok});
        return;
    case Outcome::RowChanged:
        // Another program changed the contact since it was listed: this
        // editor holds a contact that is no longer stored as it shows.
        m_services.messageBox->show({texts::book::contactChanged(m_edited.description, m_inEdit->text()),
                                     texts::book::EditorTitle, MsgIcon::Exclamation, MsgButtons::Ok});
        break;
    }
    m_edited = ContactRow();
    Q_EMIT contactsChanged();
    close();
}

void FrmAggiungi::closeEvent(QCloseEvent* event)
{
    m_loaded = false;
    QWidget::closeEvent(event);
}

bool FrmAggiungi::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (watched == m_txtNFax)
        return dropsNumberKey(key);
    if (watched == m_txtDesc && isEnter(key)) {
        cmdAddContactClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kestrel
