#pragma once

#include "Dialog.h"

#include <QObject>
#include <QPointer>

namespace kestrel {

class IMessageBox;
class Shell;

// Keeps the pop-up menu Dialog to one instance: the tray callback's code 0
// loads and shows it, unless it is visible already, in which case its slide
// and its close timer go on undisturbed. The signals of whichever menu is
// loaded arrive here, so the program connects them once.
class TrayMenu : public QObject
{
    Q_OBJECT

public:
    TrayMenu(IMessageBox& messages, Shell& shell, QObject* parent = nullptr);
    ~TrayMenu() override;

    // For tests: the timers of menus loaded from now on.
    void setIntervals(Dialog::Intervals intervals) { m_intervals = intervals; }

    // The loaded menu, or nullptr.
    Dialog* dialog() const { return m_dialog; }

public Q_SLOTS:
    void open();

Q_SIGNALS:
    void sendWindowRequested();
    void statusWindowRequested();
    void setupRequested();
    void quitRequested();

private:
    IMessageBox& m_messages;
    Shell& m_shell;
    Dialog::Intervals m_intervals;
    QPointer<Dialog> m_dialog;
};

} // namespace kestrel
