#include "Dialog.h"

#include "ClientTexts.h"
#include "MessageBox.h"
#include "ScreenTwips.h"
#include "Shell.h"
#include "TwipsForm.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

constexpr int WidthTwips = 2295;
// The design's four entries of 405 twips each, and "Stato dei fax".
constexpr int HeightTwips = 2025;
constexpr int StepTwips = 50;

// Entries that look like a menu's: the pointed one and the focused one
// stand out in the selection colours.
const QString EntryStyle = u"QLabel { padding-left: 10px; padding-right: 10px; }"
                           "QLabel:hover, QLabel:focus {"
                           " background: palette(highlight); color: palette(highlighted-text); }"_s;

} // namespace

Dialog::Dialog(IMessageBox& messages, Shell& shell, Intervals intervals, QWidget* parent)
    : QFrame(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_messages(messages),
      m_shell(shell), m_slideTimer(new QTimer(this)), m_closeTimer(new QTimer(this)), m_slide(0, 0, 1)
{
    setObjectName(u"Dialog"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    TwipsForm(this).fixSize(WidthTwips, HeightTwips);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    // Top to bottom as the menu has always listed them.
    addEntry(u"lbl2"_s, texts::MenuSendFax, &Dialog::chooseSendWindow);
    addEntry(u"statusEntry"_s, texts::history::MenuEntry, &Dialog::chooseStatusWindow);
    addEntry(u"lbl3"_s, texts::MenuSetup, &Dialog::chooseSetup);
    addEntry(u"lbl4"_s, texts::MenuQuit, &Dialog::askToQuit);
    addEntry(u"Label1"_s, texts::MenuFeedback, &Dialog::openFeedbackPage);

    // Flush with the right edge, just below the free area; up from there.
    const QRect area = ScreenTwips::availableArea(this);
    const int below = area.y() + area.height();
    m_slide = MenuSlide(below, below - height(), ScreenTwips::pixels(this, StepTwips));
    move(area.x() + area.width() - width(), m_slide.top());

    m_slideTimer->setObjectName(u"t1"_s);
    m_slideTimer->setInterval(intervals.slide);
    connect(m_slideTimer, &QTimer::timeout, this, &Dialog::slideStep);
    m_slideTimer->start();

    m_closeTimer->setObjectName(u"t2"_s);
    m_closeTimer->setSingleShot(true);
    m_closeTimer->setInterval(intervals.close);
    connect(m_closeTimer, &QTimer::timeout, this, &Dialog::unload);
    m_closeTimer->start();
}

void Dialog::addEntry(const QString& objectName, const QString& text, Action action)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(objectName);
    label->setAccessibleName(text);
    label->setCursor(Qt::PointingHandCursor);
    label->setFocusPolicy(Qt::StrongFocus);
    label->setAttribute(Qt::WA_Hover);
    label->setStyleSheet(EntryStyle);
    label->installEventFilter(this);
    layout()->addWidget(label);
    m_entries.append({label, action});
}

qsizetype Dialog::entryIndex(const QObject* watched) const
{
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).label == watched)
            return i;
    }
    return -1;
}

bool Dialog::eventFilter(QObject* watched, QEvent* event)
{
    const qsizetype index = entryIndex(watched);
    if (index < 0)
        return QFrame::eventFilter(watched, event);
    const Entry& entry = m_entries.at(index);
    if (event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A click is a release over the entry that was pressed.
        if (mouse->button() == Qt::LeftButton && entry.label->rect().contains(mouse->position().toPoint())) {
            (this->*entry.action)();
            return true;
        }
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            (this->*entry.action)();
            return true;
        }
        if (key == Qt::Key_Down || key == Qt::Key_Up) {
            const qsizetype count = m_entries.size();
            const qsizetype next = (index + (key == Qt::Key_Down ? 1 : count - 1)) % count;
            m_entries.at(next).label->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void Dialog::chooseSendWindow()
{
    Q_EMIT sendWindowRequested();
    unload();
}

void Dialog::chooseStatusWindow()
{
    Q_EMIT statusWindowRequested();
    unload();
}

void Dialog::chooseSetup()
{
    Q_EMIT setupRequested();
    unload();
}

void Dialog::slideStep()
{
    if (m_slide.tick())
        move(x(), m_slide.top());
    else
        m_slideTimer->stop();
}

void Dialog::unload()
{
    // While the question is open the box's own event loop runs: deleting the
    // menu then would pull it out from under the answer. It hides now and
    // goes once the answer is in.
    if (m_asking) {
        m_expired = true;
        hide();
        return;
    }
    m_slideTimer->stop();
    m_closeTimer->stop();
    close();
}

void Dialog::askToQuit()
{
    if (m_asking)
        return;
    m_asking = true;
    const MsgAnswer answer = m_messages.show(texts::quitBox());
    m_asking = false;
    if (answer == MsgAnswer::Yes)
        Q_EMIT quitRequested();
    if (m_expired)
        unload();
}

void Dialog::openFeedbackPage()
{
    // Nothing to tell the user when no browser opens it; the menu stays.
    (void)m_shell.OpenDocument(texts::feedbackPageUrl());
}

} // namespace kestrel
