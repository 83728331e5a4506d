#pragma once

#include "MenuSlide.h"

#include <QFrame>
#include <QList>

class QLabel;
class QTimer;

namespace kestrel {

class IMessageBox;
class Shell;

// The pop-up menu of the notification-area icon: a small frameless window
// that slides up from below the bottom-right corner of the screen with the
// entries "Invia FAX", "Stato dei fax", "Setup", "Esci" and "FeedBack", and
// unloads itself 10 seconds after it was loaded, whatever the user does. The
// entries act on a click, or on Return or Space when they have the focus
// (Tab and the arrow keys move between them). TrayMenu keeps it to one
// instance.
class Dialog : public QFrame
{
    Q_OBJECT

public:
    struct Intervals
    {
        int slide = 5;     // t1: one step up per tick
        int close = 10000; // t2: the menu's life
    };

    // Loading places the menu just below the free area of the screen and
    // starts both timers. It deletes itself when it closes.
    Dialog(IMessageBox& messages, Shell& shell, Intervals intervals, QWidget* parent = nullptr);
    Dialog(IMessageBox& messages, Shell& shell, QWidget* parent = nullptr)
        : Dialog(messages, shell, Intervals{}, parent)
    {}

Q_SIGNALS:
    // "Invia FAX": show the send window. The menu unloads afterwards.
    void sendWindowRequested();
    // "Stato dei fax": show the status window. The menu unloads afterwards.
    void statusWindowRequested();
    // "Setup": show the send window, then the options window, both
    // modeless. The menu unloads afterwards.
    void setupRequested();
    // "Esci" answered Yes: end the program at once.
    void quitRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Action = void (Dialog::*)();
    struct Entry
    {
        QLabel* label;
        Action action;
    };

    void addEntry(const QString& objectName, const QString& text, Action action);
    qsizetype entryIndex(const QObject* watched) const;
    void chooseSendWindow();
    void chooseStatusWindow();
    void chooseSetup();
    void askToQuit();
    void openFeedbackPage();
    void slideStep();
    void unload();

    IMessageBox& m_messages;
    Shell& m_shell;
    QTimer* m_slideTimer;
    QTimer* m_closeTimer;
    MenuSlide m_slide;
    QList<Entry> m_entries;
    bool m_asking = false;  // the "Esci" question is open
    bool m_expired = false; // t2 fired while it was
};

} // namespace kestrel
