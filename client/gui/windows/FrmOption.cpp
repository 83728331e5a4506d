#include "FrmOption.h"

#include "ClientTexts.h"
#include "FileChooser.h"
#include "MessageBox.h"
#include "OptionsController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

FrmOption::FrmOption(OptionsController& options, IMessageBox& messages, FileChooser& files, QWidget* parent)
    : QDialog(parent), m_options(options), m_messages(messages), m_files(files)
{
    setObjectName(u"frmOption"_s);
    setWindowTitle(texts::ProductName);

    auto* form = new QFormLayout;
    m_ip = addTextRow(form, u"txtIP"_s, texts::OptionIp);
    m_user = addTextRow(form, u"txtUtente"_s, texts::OptionUser);
    m_password = addTextRow(form, u"txtPassword"_s, texts::OptionPassword);
    m_password->setEchoMode(QLineEdit::Password);
    // A star for every character, as the window has always shown, not the
    // style's bullet.
    m_password->setStyleSheet(u"lineedit-password-character: 42;"_s);
    m_mail = addTextRow(form, u"txtMail"_s, texts::OptionMail);
    m_prefix = addTextRow(form, u"txtPrefisso"_s, texts::OptionPrefix);

    m_maxDials = new QComboBox(this);
    m_maxDials->setObjectName(u"cmbMaxDials"_s);
    // A number can be typed too; it is stored as typed.
    m_maxDials->setEditable(true);
    m_maxDials->setInsertPolicy(QComboBox::NoInsert);
    m_maxDials->addItems(OptionsController::maxDialsItems());
    m_maxDials->setAccessibleName(texts::OptionMaxDials);
    form->addRow(texts::OptionMaxDials, m_maxDials);

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

    m_debug = makeCheckBox(this, u"ChkDebug"_s, texts::OptionDebug);
    m_chop = makeCheckBox(this, u"ChkChop"_s, texts::OptionChop);
    form->addRow(QString(), m_debug);
    form->addRow(QString(), m_chop);

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
    Q_EMIT sendWindowHideRequested();
}

void FrmOption::setFields(const OptionFields& fields)
{
    m_ip->setText(fields.ip);
    m_user->setText(fields.user);
    m_password->setText(fields.password);
    m_mail->setText(fields.mail);
    m_prefix->setText(fields.prefix);
    m_maxDials->setCurrentText(fields.maxDials);
    m_cover->setText(fields.cover);
    m_debug->setChecked(fields.debug);
    m_chop->setChecked(fields.chop);
}

OptionFields FrmOption::fields() const
{
    OptionFields fields;
    fields.ip = m_ip->text();
    fields.user = m_user->text();
    fields.password = m_password->text();
    fields.mail = m_mail->text();
    fields.prefix = m_prefix->text();
    fields.maxDials = m_maxDials->currentText();
    fields.cover = m_cover->text();
    fields.debug = m_debug->isChecked();
    fields.chop = m_chop->isChecked();
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
