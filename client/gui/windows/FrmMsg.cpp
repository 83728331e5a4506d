#include "FrmMsg.h"

#include "ClientTexts.h"
#include "ScreenTwips.h"

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
    setObjectName(u"FrmMsg"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(texts::noticeCaption(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));
    setFixedSize(ScreenTwips::size(this, WidthTwips, HeightTwips));

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
    connect(m_timer, &QTimer::timeout, this, &QWidget::close);
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
    window.setNotice(text);
    window.show();
}

void FrmMsg::setCloseInterval(int milliseconds)
{
    s_closeInterval = milliseconds;
}

void FrmMsg::setNotice(const QString& text)
{
    m_label->setText(text);
    m_label->setAccessibleName(text);
}

void FrmMsg::setTimerEnabled(bool enabled)
{
    if (enabled)
        m_timer->start();
    else
        m_timer->stop();
}

void FrmMsg::closeEvent(QCloseEvent* event)
{
    // Unloaded from now on, though deleted only later: the next notice
    // loads a new window rather than reviving this one.
    if (s_shared == this)
        s_shared.clear();
    QWidget::closeEvent(event);
}

} // namespace kestrel
