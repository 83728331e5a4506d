#include "FrmMsg.h"

#include "ClientTexts.h"
#include "TwipsForm.h"
#include "WindowPlacement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr int WidthTwips = 4680;
constexpr int HeightTwips = 1350;
// Light yellow: C0FFFF in blue-green-red order.
constexpr QRgb Background = 0xFFFFC0;

} // namespace

FrmMsg::FrmMsg(int closeInterval, QWidget* parent)
    : QWidget(parent, Qt::Window), m_label(new QLabel(this)), m_timer(new QTimer(this))
{
    WindowPlacement::name(
        this, u"FrmMsg"_s,
        texts::noticeCaption(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    setAttribute(Qt::WA_DeleteOnClose);
    TwipsForm(this).fixSize(WidthTwips, HeightTwips);

    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(Background));
    // Dark text on the yellow, whatever the desktop's colour scheme.
    colours.setColor(QPalette::WindowText, QColor(Qt::black));
    setPalette(colours);
    setAutoFillBackground(true);

    m_label->setObjectName(u"Label1"_s);
    m_label->setWordWrap(true);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_label);

    m_timer->setObjectName(u"Timer1"_s);
    m_timer->setSingleShot(true);
    m_timer->setInterval(closeInterval);
    connect(m_timer, &QTimer::timeout, this, &FrmMsg::next);
    m_timer->start();
}

FrmMsg& FrmMsg::load()
{
    if (!s_shared)
        s_shared = new FrmMsg(s_closeInterval);
    return *s_shared;
}

FrmMsg* FrmMsg::loaded()
{
    return s_shared;
}

void FrmMsg::ShowNotice(const QString& text)
{
    FrmMsg& window = load();
    window.enqueue(text);
    window.show();
}

void FrmMsg::setCloseInterval(int milliseconds)
{
    s_closeInterval = milliseconds;
}

void FrmMsg::enqueue(const QString& text)
{
    if (m_notices.isEmpty()) {
        setNotice(text);
        return;
    }
    if (m_notices.constLast().text != text)
        m_notices.append({text});
}

void FrmMsg::setNotice(const QString& text)
{
    if (m_notices.isEmpty())
        m_notices.append({text});
    else
        m_notices.first().text = text;
    m_label->setText(text);
    m_label->setAccessibleName(text);
}

QStringList FrmMsg::waitingNotices() const
{
    QStringList waiting;
    for (qsizetype i = 1; i < m_notices.size(); ++i)
        waiting << m_notices.at(i).text;
    return waiting;
}

void FrmMsg::setTimerEnabled(bool enabled)
{
    if (m_notices.size() > 1) {
        // The latest notice waits: its turn comes with its timer so set.
        m_notices.last().held = !enabled;
        return;
    }
    if (!m_notices.isEmpty())
        m_notices.first().held = !enabled;
    if (enabled)
        m_timer->start();
    else
        m_timer->stop();
}

void FrmMsg::next()
{
    if (m_notices.size() <= 1) {
        close();
        return;
    }
    m_notices.removeFirst();
    showFirst();
}

void FrmMsg::showFirst()
{
    const Notice notice = m_notices.constFirst();
    setNotice(notice.text);
    if (notice.held)
        m_timer->stop();
    else
        m_timer->start();
}

void FrmMsg::closeEvent(QCloseEvent* event)
{
    const auto held = [](const Notice& notice) {
        return notice.held;
    };
    if (!m_notices.isEmpty() && !m_notices.constFirst().held &&
        std::any_of(m_notices.cbegin() + 1, m_notices.cend(), held)) {
        m_notices.erase(std::remove_if(m_notices.begin() + 1, m_notices.end(), held), m_notices.end());
        event->ignore();
        return;
    }
    QStringList rest;
    for (qsizetype i = 1; i < m_notices.size(); ++i) {
        if (!m_notices.at(i).held)
            rest << m_notices.at(i).text;
    }
    m_notices.clear();
    // Unloaded from now on, though deleted only later: the next notice
    // loads a new window rather than reviving this one.
    if (s_shared == this)
        s_shared.clear();
    QWidget::closeEvent(event);
    for (const QString& text : std::as_const(rest))
        ShowNotice(text);
}

} // namespace kestrel
