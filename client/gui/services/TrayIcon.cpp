#include "TrayIcon.h"

#include "ClientTexts.h"
#include "TrayCallback.h"

#include <QHash>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kestrel {
namespace {

QPixmap pageGlyph(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 16.0;
    const qreal pen = qMax<qreal>(1.0, unit * 0.8);

    // A sheet with a folded corner...
    const QRectF sheet(unit * 2.5, unit * 1, unit * 11, unit * 14);
    const qreal fold = unit * 3.5;
    QPainterPath outline;
    outline.moveTo(sheet.topLeft());
    outline.lineTo(sheet.right() - fold, sheet.top());
    outline.lineTo(sheet.right(), sheet.top() + fold);
    outline.lineTo(sheet.bottomRight());
    outline.lineTo(sheet.bottomLeft());
    outline.closeSubpath();
    painter.setPen(QPen(QColor(0x30, 0x3a, 0x48), pen));
    painter.setBrush(Qt::white);
    painter.drawPath(outline);

    // ...a coloured header band, as a received fax has...
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x6f, 0xc5));
    painter.drawRect(
        QRectF(sheet.left() + pen, sheet.top() + unit * 3.5, sheet.width() - 2 * pen, unit * 2.5));

    // ...and lines of text.
    painter.setPen(QPen(QColor(0x30, 0x3a, 0x48), pen, Qt::SolidLine, Qt::FlatCap));
    for (int line = 0; line < 3; ++line) {
        const qreal y = sheet.top() + unit * (8 + line * 2.2);
        const qreal right = sheet.right() - unit * (line == 2 ? 4.5 : 2);
        painter.drawLine(QPointF(sheet.left() + unit * 2, y), QPointF(right, y));
    }
    return pixmap;
}

// Draws the glyph at a size when it is first asked for: a start-up that
// shows only the tray icon draws only the tray's size.
class GlyphEngine final : public QIconEngine
{
public:
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMax(1, qMin(size.width(), size.height()));
        auto drawn = m_drawn.constFind(side);
        if (drawn == m_drawn.cend())
            drawn = m_drawn.insert(side, pageGlyph(side));
        return *drawn;
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap glyph = pixmap(rect.size() * scale, mode, state);
        glyph.setDevicePixelRatio(scale);
        const QSize drawn = glyph.deviceIndependentSize().toSize();
        painter->drawPixmap(QRect(rect.topLeft() + QPoint((rect.width() - drawn.width()) / 2,
                                                          (rect.height() - drawn.height()) / 2),
                                  drawn),
                            glyph);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const int side : {16, 22, 24, 32, 48, 64})
            sizes.append(QSize(side, side));
        return sizes;
    }

    QIconEngine* clone() const override { return new GlyphEngine(*this); }
    QString key() const override { return QStringLiteral("kestrel-page-glyph"); }

private:
    QHash<int, QPixmap> m_drawn;
};

} // namespace

TrayIcon::TrayIcon(QObject* parent, Probe available)
    : QObject(parent), m_tray(this), m_available(std::move(available))
{
    if (!m_available)
        m_available = &QSystemTrayIcon::isSystemTrayAvailable;
    connect(&m_tray, &QSystemTrayIcon::activated, this, &TrayIcon::onActivated);
    connect(&m_tray, &QSystemTrayIcon::messageClicked, this, &TrayIcon::onMessageClicked);
}

bool TrayIcon::showMessage(const QString& title, const QString& text, bool warning, int tag)
{
    if (!isAvailable() || !m_tray.isVisible())
        return false;
    // The icon has room for one message: a second one now would replace
    // the first before anybody read it.
    m_waiting.append({title, text, warning, tag});
    if (!m_shown)
        showNextMessage();
    return true;
}

void TrayIcon::setMessageTimer(OneShotTimer* timer)
{
    m_timer->stop();
    m_timer = timer ? timer : &m_ownTimer;
    if (m_shown)
        m_timer->start(MessageMs, [this] { showNextMessage(); });
}

void TrayIcon::showNextMessage()
{
    m_shown.reset();
    if (m_waiting.isEmpty())
        return;
    m_shown = m_waiting.takeFirst();
    m_tray.showMessage(m_shown->title, m_shown->text,
                       m_shown->warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, MessageMs);
    m_timer->start(MessageMs, [this] { showNextMessage(); });
}

void TrayIcon::onMessageClicked()
{
    // A click closes the message: the next one needs not wait for its time.
    const int tag = m_shown ? m_shown->tag : -1;
    m_timer->stop();
    showNextMessage();
    Q_EMIT messageClicked(tag);
}

bool TrayIcon::isAvailable() const
{
    return m_available();
}

void TrayIcon::AddTrayIcon()
{
    m_tray.setIcon(programIcon());
    m_tray.setToolTip(texts::trayTip());
    m_tray.show();
}

void TrayIcon::reAddTrayIcon()
{
    m_tray.hide();
    AddTrayIcon();
}

int TrayIcon::callbackCode(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayCallback::codeOf(TrayCallback::MouseMove);
    case QSystemTrayIcon::Context:
        return TrayCallback::codeOf(TrayCallback::RightButtonDown);
    case QSystemTrayIcon::DoubleClick:
        return TrayCallback::codeOf(TrayCallback::LeftButtonDoubleClick);
    case QSystemTrayIcon::MiddleClick:
        return TrayCallback::codeOf(TrayCallback::MiddleButtonDown);
    case QSystemTrayIcon::Unknown:
        break;
    }
    return -1;
}

void TrayIcon::onActivated(QSystemTrayIcon::ActivationReason reason)
{
    trayCallback(callbackCode(reason));
}

void TrayIcon::trayCallback(int code)
{
    switch (TrayCallback::actionOf(code)) {
    case TrayCallback::Action::ShowMenu:
        Q_EMIT menuRequested();
        break;
    case TrayCallback::Action::RecreateIcon:
        reAddTrayIcon();
        break;
    case TrayCallback::Action::Ignore:
        break;
    }
}

QIcon TrayIcon::programIcon()
{
    return QIcon(new GlyphEngine);
}

} // namespace kestrel
