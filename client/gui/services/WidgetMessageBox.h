#pragma once

#include "MessageBox.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWindow>

class QFontMetrics;
class QWidget;

namespace kestrel {

// The production message box: a modal QMessageBox. Texts come with CR, CR LF
// or LF line breaks; each shows as one line break.
//
// A box belongs to the window that caused it and stays above the program's
// always-on-top windows, so its buttons are never covered. A text too long
// for the screen is cut with a mark; the whole of it is under the box's
// details.
class WidgetMessageBox : public IMessageBox
{
public:
    // Watches which windows the user works in; needs the application.
    WidgetMessageBox();

    MsgAnswer show(const MessageBoxRequest& request) override;

    // The text as the box shows it.
    static QString displayText(const QString& text);

    // The window a box shows in front of: the open modal window, else the
    // active window, else the visible window the user worked in last, else
    // a visible always-on-top window, else any visible window; none when
    // the program shows none.
    QWidget* owner() const;

    // Where a box's text goes, in pixels: lines wrap at wrapWidth; a word
    // longer than that widens the text up to maxWidth.
    struct Room
    {
        int wrapWidth = 0;
        int maxWidth = 0;
        int height = 0;
    };

    // text as far as it fits in room, cut at a line's end where one is
    // near, and followed by the mark texts::TextContinues; text itself when
    // it fits.
    static QString fittingText(const QString& text, const QFontMetrics& metrics, const Room& room);

private:
    static constexpr qsizetype MaxRecentWindows = 16;

    QObject m_focusWatch;
    // The windows that had the focus, the latest first.
    QList<QPointer<QWindow>> m_recent;
};

} // namespace kestrel
