#include "FrmOption.h"

#include "ClientTexts.h"
#include "ContactStore.h"
#include "FileChooser.h"
#include "JobOptions.h"
#include "MessageBox.h"
#include "OptionsController.h"
#include "PasswordKeeper.h"
#include "SettingsKeys.h"
#include "WindowPlacement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    button->setAccessibleName(text);
    // Return in a text box must not press "Sfoglia", the first button.
    button->setAutoDefault(false);
    return button;
}

QCheckBox* makeCheckBox(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(objectName);
    box->setAccessibleName(text);
    return box;
}

} // namespace

FrmOption::FrmOption(OptionsController& options, IMessageBox& messages, FileChooser& files,
                     const ContactStore* contacts, QWidget* parent, PasswordKeeper* passwords)
    : QDialog(parent), m_options(options), m_messages(messages), m_files(files), m_contacts(contacts),
      m_passwords(passwords)
{
    WindowPlacement::name(this, u"frmOption"_s, texts::ProductName);

    auto* form = new QFormLayout;
    addTextRow(form, u"txtIP"_s, texts::OptionIp);
    addTextRow(form, u"txtUtente"_s, texts::OptionUser);
    QLineEdit* password = addTextRow(form, u"txtPassword"_s, texts::OptionPassword);
    password->setEchoMode(QLineEdit::Password);
    // A star for every character, as the window has always shown, not the
    // style's bullet.
    password->setStyleSheet(u"lineedit-password-character: 42;"_s);
    m_keyringNotice = new QLabel(texts::keyring::Unavailable, this);
    m_keyringNotice->setObjectName(u"lblPortachiavi"_s);
    m_keyringNotice->setWordWrap(true);
    m_keyringNotice->hide();
    form->addRow(QString(), m_keyringNotice);
    addTextRow(form, u"txtMail"_s, texts::OptionMail);
    addTextRow(form, u"txtPrefisso"_s, texts::OptionPrefix);

    auto* maxDials = new QComboBox(this);
    maxDials->setObjectName(u"cmbMaxDials"_s);
    // A number can be typed too; it is stored as typed.
    maxDials->setEditable(true);
    maxDials->setInsertPolicy(QComboBox::NoInsert);
    maxDials->addItems(OptionsController::maxDialsItems());
    maxDials->setAccessibleName(texts::OptionMaxDials);
    form->addRow(texts::OptionMaxDials, maxDials);

    m_cover = new QLineEdit(this);
    m_cover->setObjectName(u"txtCopertina"_s);
    m_cover->setAccessibleName(texts::OptionCover);
    m_browse = makeButton(this, u"cmdSfoglia"_s, texts::OptionBrowse);
    auto* coverRow = new QHBoxLayout;
    coverRow->addWidget(m_cover, 1);
    coverRow->addWidget(m_browse);
    auto* coverLabel = new QLabel(texts::OptionCover, this);
    coverLabel->setBuddy(m_cover);
    form->addRow(coverLabel, coverRow);

    // Where the address book's contacts are: read, selectable, not edited.
    if (m_contacts) {
        m_store = addTextRow(form, u"txtRubrica"_s, texts::sharedbook::OptionStore);
        m_store->setReadOnly(true);
    }

    QCheckBox* debug = makeCheckBox(this, u"ChkDebug"_s, texts::OptionDebug);
    QCheckBox* chop = makeCheckBox(this, u"ChkChop"_s, texts::OptionChop);
    QCheckBox* groupSend = makeCheckBox(this, u"groupSendCheck"_s, texts::OptionGroupSend);
    form->addRow(QString(), debug);
    form->addRow(QString(), chop);
    form->addRow(QString(), groupSend);

    // The send options every fax starts with; 0 leaves the count to the
    // fax server (three hours for the kill time).
    const auto addCount = [this, form](const QString& objectName, const QString& label, int most,
                                       const QString& none) {
        auto* spin = new QSpinBox(this);
        spin->setObjectName(objectName);
        spin->setAccessibleName(label);
        spin->setRange(0, most);
        spin->setSpecialValueText(none);
        form->addRow(label, spin);
    };
    addCount(u"spinKillAfter"_s, texts::sendoptions::OptionKillAfter, JobOptions::MostKillAfterHours,
             texts::sendoptions::KillDefault);
    addCount(u"spinTries"_s, texts::sendoptions::OptionTries, JobOptions::MostTries,
             texts::sendoptions::ServerDefault);
    form->addRow(QString(), makeCheckBox(this, u"chkStandard"_s, texts::sendoptions::OptionStandard));
    // Prints whose pages name their destinations.
    form->addRow(QString(), makeCheckBox(this, u"chkTagSend"_s, texts::letters::OptionSendAtOnce));
    form->addRow(QString(), makeCheckBox(this, u"chkTagSkipFirst"_s, texts::letters::OptionSkipFirstPages));

    m_save = makeButton(this, u"cmdSalva"_s, texts::OptionSave);
    m_cancel = makeButton(this, u"cmdAnulla"_s, texts::OptionCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_cover->setMinimumWidth(fontMetrics().averageCharWidth() * 36);

    connect(m_browse, &QPushButton::clicked, this, &FrmOption::chooseCover);
    connect(m_save, &QPushButton::clicked, this, &FrmOption::save);
    connect(m_cancel, &QPushButton::clicked, this, &FrmOption::cancel);
    if (m_passwords) {
        connect(m_passwords, &PasswordKeeper::placeChanged, this, &FrmOption::showPasswordPlace);
        showPasswordPlace();
    }
}

void FrmOption::showPasswordPlace()
{
    m_keyringNotice->setVisible(m_passwords->place() == PasswordKeeper::Place::File);
    m_keyringNotice->setToolTip(m_passwords->reason()); // the keyring's own words
}

QLineEdit* FrmOption::addTextRow(QFormLayout* form, const QString& objectName, const QString& label)
{
    auto* field = new QLineEdit(this);
    field->setObjectName(objectName);
    field->setAccessibleName(label);
    form->addRow(label, field); // the label becomes the field's buddy
    return field;
}

void FrmOption::showModeless()
{
    if (!isVisible())
        load();
    show();
    raise();
    activateWindow();
}

void FrmOption::execModal()
{
    if (isVisible()) {
        if (testAttribute(Qt::WA_ShowModal))
            return; // modal already: the caller waits behind it
        hide();     // shown again below, modal, with the fields as they are
    } else {
        load();
    }
    exec();
}

void FrmOption::load()
{
    setFields(m_options.load());
    if (m_store) {
        m_store->setText(m_contacts->inUse());
        m_store->setCursorPosition(0);
    }
    Q_EMIT sendWindowHideRequested();
}

// Each field is the widget the key table names: a text box, the combo box
// or a check box.
void FrmOption::setFields(const OptionFields& fields)
{
    for (const settings::Key& key : settings::keys()) {
        if (key.field.isEmpty())
            continue;
        QWidget* field = findChild<QWidget*>(key.field);
        if (auto* text = qobject_cast<QLineEdit*>(field))
            text->setText(fields.text(key.name));
        else if (auto* combo = qobject_cast<QComboBox*>(field))
            combo->setCurrentText(fields.text(key.name));
        else if (auto* check = qobject_cast<QCheckBox*>(field))
            check->setChecked(fields.flag(key.name));
        else if (auto* spin = qobject_cast<QSpinBox*>(field))
            spin->setValue(fields.text(key.name).toInt());
    }
}

OptionFields FrmOption::fields() const
{
    OptionFields fields;
    for (const settings::Key& key : settings::keys()) {
        if (key.field.isEmpty())
            continue;
        const QWidget* field = findChild<QWidget*>(key.field);
        if (const auto* text = qobject_cast<const QLineEdit*>(field))
            fields.setText(key.name, text->text());
        else if (const auto* combo = qobject_cast<const QComboBox*>(field))
            fields.setText(key.name, combo->currentText());
        else if (const auto* check = qobject_cast<const QCheckBox*>(field))
            fields.setFlag(key.name, check->isChecked());
        else if (const auto* spin = qobject_cast<const QSpinBox*>(field))
            fields.setText(key.name, QString::number(spin->value()));
    }
    return fields;
}

void FrmOption::save()
{
    Status written;
    const OptionsAction action = m_options.save(fields(), &written);
    // Closing as if all was well would leave the user believing the
    // settings were stored; the window stays open with what was typed.
    if (!written) {
        m_messages.show(texts::settingsNotSavedBox(written.error().message));
        return;
    }
    if (m_passwords)
        m_passwords->saved(fields().text(settings::Pass));
    switch (action) {
    case OptionsAction::ReloadSendWindowAndClose:
        Q_EMIT sendWindowReloadRequested();
        accept();
        break;
    case OptionsAction::Close:
        accept();
        break;
    case OptionsAction::KeepOpenWithMessage:
        m_messages.show(texts::incompleteConfigurationBox());
        break;
    }
}

void FrmOption::cancel()
{
    Q_EMIT sendWindowShowRequested();
    reject();
}

void FrmOption::chooseCover()
{
    if (const std::optional<QString> chosen = m_files.chooseFileToOpen(this, texts::DocumentFilter))
        m_cover->setText(*chosen);
}

} // namespace kestrel
