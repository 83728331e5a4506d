#include "WidgetMessageBox.h"

#include "ClientTexts.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetrics>
#include <QMessageBox>
#include <QScreen>

#include <algorithm>
#include <climits>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

// Height a box needs beside its text: title bar, margins, the button row
// and the details panel once the user opens it.
constexpr int BoxChromeHeight = 260;
constexpr int WrapWidth = 500;
constexpr int IconWidth = 100;

// Moves a box back up onto the screen when it grows past the bottom, as
// it does when the user opens its details.
class KeepOnScreen : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* box = qobject_cast<QWidget*>(watched);
        if (box && box->screen() && (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
            const QRect area = box->screen()->availableGeometry();
            const QRect frame = box->frameGeometry();
            if (frame.bottom() > area.bottom())
                box->move(box->x(), std::max(area.top(), box->y() - (frame.bottom() - area.bottom())));
        }
        return false;
    }
};

bool isOrdinaryWindow(const QWidget* widget)
{
    const Qt::WindowType type = widget->windowType();
    return widget->isWindow() && widget->isVisible() && type != Qt::Popup && type != Qt::ToolTip &&
           type != Qt::Desktop && type != Qt::SplashScreen && !qobject_cast<const QMessageBox*>(widget);
}

// As the box's label lays it out: wrapped at blanks, a word too long for
// a line kept whole.
bool fits(const QString& text, const QFontMetrics& metrics, const WidgetMessageBox::Room& room)
{
    const QRect needed = metrics.boundingRect(QRect(0, 0, room.wrapWidth, INT_MAX), Qt::TextWordWrap, text);
    return needed.height() <= room.height && needed.width() <= room.maxWidth;
}

// The room of a box's text on the screen. Qt's message box wraps its text
// at no less than WrapWidth (or half the screen) and grows no wider than
// the screen (or, on a wide one, 1000 pixels); its icon and margins take
// up to IconWidth of that. Measuring at what remains errs towards more
// lines.
WidgetMessageBox::Room roomOn(const QRect& area, int lineSpacing)
{
    const int widest = area.width() <= 1024 ? area.width() : std::min(area.width() - 480, 1000);
    return {std::max(std::min(WrapWidth, area.width() / 2) - IconWidth, IconWidth),
            std::max(widest - IconWidth, IconWidth), std::max(area.height() - BoxChromeHeight, lineSpacing)};
}

QMessageBox::StandardButtons buttonsOf(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        break;
    case MsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon iconOf(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None:
        break;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    case MsgIcon::Question:
        return QMessageBox::Question;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Information:
        return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

// The answer of a box that went away with its window: the one that lets
// nothing happen.
MsgAnswer answerOfVanishedBox(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok:
        break;
    case MsgButtons::OkCancel:
    case MsgButtons::YesNoCancel:
        return MsgAnswer::Cancel;
    case MsgButtons::YesNo:
        return MsgAnswer::No;
    }
    return MsgAnswer::Ok;
}

MsgAnswer answerOf(int button)
{
    switch (button) {
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    default:
        return MsgAnswer::Ok;
    }
}

} // namespace

WidgetMessageBox::WidgetMessageBox()
{
    QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &m_focusWatch, [this](QWindow* window) {
        m_recent.removeIf([window](const QPointer<QWindow>& seen) { return !seen || seen == window; });
        if (window)
            m_recent.prepend(window);
        if (m_recent.size() > MaxRecentWindows)
            m_recent.removeLast();
    });
}

QString WidgetMessageBox::displayText(const QString& text)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    shown.replace(u'\r', u'\n');
    return shown;
}

QWidget* WidgetMessageBox::owner() const
{
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    QWidgetList windows = QApplication::topLevelWidgets();
    windows.removeIf([](const QWidget* window) { return !isOrdinaryWindow(window); });
    for (const QPointer<QWindow>& recent : m_recent) {
        for (QWidget* window : std::as_const(windows)) {
            if (recent && window->windowHandle() == recent)
                return window;
        }
    }
    for (QWidget* window : std::as_const(windows)) {
        if (window->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            return window;
    }
    return windows.value(0);
}

QString WidgetMessageBox::fittingText(const QString& text, const QFontMetrics& metrics, const Room& room)
{
    // No line holds more characters than pixels: a bound that spares
    // measuring all of a very long text.
    const qsizetype lines = std::max(1, room.height / std::max(1, metrics.lineSpacing()));
    const qsizetype longest = lines * (room.maxWidth + 1);
    if (text.size() <= longest && fits(text, metrics, room))
        return text;
    const QString mark = u'\n' + texts::TextContinues;
    qsizetype low = 0;
    qsizetype high = std::min(text.size(), longest);
    while (low < high) {
        const qsizetype middle = (low + high + 1) / 2;
        if (fits(text.left(middle) + mark, metrics, room))
            low = middle;
        else
            high = middle - 1;
    }
    if (low > 0) {
        if (const qsizetype lineEnd = text.lastIndexOf(u'\n', low - 1); lineEnd > low / 2)
            low = lineEnd;
    }
    if (low > 0 && text.at(low - 1).isHighSurrogate())
        --low;
    return text.left(low) + mark;
}

MsgAnswer WidgetMessageBox::show(const MessageBoxRequest& request)
{
    // On the heap: the owner may close, and delete it, while it is open.
    QPointer<QMessageBox> box = new QMessageBox(owner());
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->installEventFilter(new KeepOnScreen(box));
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(request.title.isEmpty() ? QApplication::applicationName() : request.title);
    box->setIcon(iconOf(request.icon));
    box->setStandardButtons(buttonsOf(request.buttons));

    const QString text = displayText(request.text);
    QString shown = text;
    if (const QScreen* screen = box->screen()) {
        const QFontMetrics metrics(box->font());
        shown = fittingText(text, metrics, roomOn(screen->availableGeometry(), metrics.lineSpacing()));
    }
    box->setText(shown);
    if (shown != text)
        box->setDetailedText(text);

    const int button = box->exec();
    if (!box)
        return answerOfVanishedBox(request.buttons);
    delete box;
    return answerOf(button);
}

} // namespace kestrel
