#include "SendOptionsRow.h"

#include "ClientTexts.h"
#include "TwipsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// The next whole minute: the earliest time a fax for later can have.
QDateTime nextMinute()
{
    const QDateTime now = QDateTime::currentDateTime().addSecs(60);
    return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute()));
}

} // namespace

SendOptionsRow::SendOptionsRow(QWidget* parent) : QWidget(parent)
{
    using namespace texts::sendoptions;
    setObjectName(u"sendOptionsRow"_s);
    setAccessibleName(spoken(Toggle));
    m_toggle = named(new QToolButton(this), u"sendOptionsToggle"_s, spoken(Toggle));
    m_toggle->setText(Toggle);
    m_toggle->setToolTip(ToggleTip);
    m_toggle->setCheckable(true);
    m_toggle->setArrowType(Qt::RightArrow);
    m_toggle->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_toggle->setAutoRaise(true);
    m_toggle->setFocusPolicy(Qt::StrongFocus);

    m_group = named(new QWidget(this), u"sendOptionsGroup"_s, spoken(Toggle));
    m_sendLater = named(new QCheckBox(SendLater, m_group), u"sendLaterCheck"_s, spoken(SendLater));
    m_sendAt = named(new QDateTimeEdit(m_group), u"sendAtEdit"_s, SendAtField);
    m_sendAt->setDisplayFormat(u"dd/MM/yyyy HH:mm"_s);
    m_sendAt->setCalendarPopup(true);
    m_sendAt->setEnabled(false);
    m_killAfter = named(new QSpinBox(m_group), u"killAfterSpin"_s, spoken(KillAfter));
    m_killAfter->setRange(0, JobOptions::MostKillAfterHours);
    m_killAfter->setSpecialValueText(KillDefault);
    m_resolution = named(new QComboBox(m_group), u"resolutionCombo"_s, spoken(Resolution));
    m_resolution->addItems({Fine, Standard});
    m_tries = named(new QSpinBox(m_group), u"triesSpin"_s, spoken(Tries));
    m_tries->setRange(0, JobOptions::MostTries);
    m_tries->setSpecialValueText(ServerDefault);

    auto* form = new QFormLayout(m_group);
    form->setContentsMargins(12, 0, 0, 0);
    form->addRow(m_sendLater, m_sendAt);
    form->addRow(KillAfter, m_killAfter); // the label becomes the field's buddy
    form->addRow(Resolution, m_resolution);
    form->addRow(Tries, m_tries);
    m_group->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_toggle, 0, Qt::AlignLeft);
    layout->addWidget(m_group);

    connect(m_toggle, &QToolButton::toggled, this, &SendOptionsRow::setOpen);
    connect(m_sendLater, &QCheckBox::toggled, this, &SendOptionsRow::sendLaterToggled);
    reset({});
}

bool SendOptionsRow::isOpen() const
{
    return m_toggle->isChecked();
}

void SendOptionsRow::setOpen(bool open)
{
    m_toggle->setChecked(open);
    m_toggle->setArrowType(open ? Qt::DownArrow : Qt::RightArrow);
    if (m_group->isVisibleTo(this) == open)
        return;
    m_group->setVisible(open);
    Q_EMIT openChanged(open);
}

void SendOptionsRow::sendLaterToggled(bool on)
{
    m_sendAt->setEnabled(on);
    // A time already gone is of no use as a start.
    if (on && m_sendAt->dateTime() < QDateTime::currentDateTime())
        m_sendAt->setDateTime(nextMinute());
}

JobOptions SendOptionsRow::options() const
{
    JobOptions options;
    if (m_sendLater->isChecked())
        options.sendAt = m_sendAt->dateTime();
    if (m_killAfter->value() > 0)
        options.killAfterHours = m_killAfter->value();
    options.standardResolution = m_resolution->currentIndex() == 1;
    if (m_tries->value() > 0)
        options.maxTries = m_tries->value();
    return options;
}

void SendOptionsRow::reset(const JobOptions& defaults)
{
    m_sendLater->setChecked(false);
    m_sendAt->setDateTime(nextMinute());
    m_killAfter->setValue(defaults.killAfterHours.value_or(0));
    m_resolution->setCurrentIndex(defaults.standardResolution ? 1 : 0);
    m_tries->setValue(defaults.maxTries.value_or(0));
}

} // namespace kestrel
