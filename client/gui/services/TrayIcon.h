#pragma once

#include "OneShotTimer.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>
#include <optional>

namespace kestrel {

// The one owner of the notification-area icon. It turns the icon's
// activations into the codes of the tray callback and those into signals
// that the program connects: a left click stands for the mouse passing over
// the icon (code 0; the trays here report no hovering), the context click
// for the right button (code 15360); every other activation is ignored.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using Probe = std::function<bool()>;

    // available answers whether the desktop has a notification area; by
    // default QSystemTrayIcon::isSystemTrayAvailable.
    explicit TrayIcon(QObject* parent = nullptr, Probe available = {});

    // Whether the desktop shows notification-area icons at all. Without one
    // the program minimises its windows instead of hiding them.
    bool isAvailable() const;

    // Shows the icon with its tip. Adding it again changes nothing visible.
    // Hiding the send window afterwards is the send window's part.
    void AddTrayIcon();

    // Removes the icon and adds it again, as AddTrayIcon does: a lost or
    // stale icon comes back. No window is shown or hidden.
    void reAddTrayIcon();

    bool isShown() const { return m_tray.isVisible(); }
    QString tip() const { return m_tray.toolTip(); }

    // How long a message by the icon shows before the next one takes its
    // place.
    static constexpr int MessageMs = 10000;

    // A message by the icon, for notices where the desktop has no
    // notification service; false when no icon shows to carry it. Messages
    // take turns: one that comes while another shows waits until that one
    // has had its time or was clicked, so none hides another. tag comes
    // back with a click on the message.
    bool showMessage(const QString& title, const QString& text, bool warning, int tag = -1);
    // The text of the message showing; empty when none is.
    QString shownMessage() const { return m_shown ? m_shown->text : QString(); }
    qsizetype waitingMessages() const { return m_waiting.size(); }
    // Times the messages (tests run it by hand); the icon's own by default.
    void setMessageTimer(OneShotTimer* timer);

    // The code of the tray callback that an activation stands for; -1 for
    // those that stand for none.
    static int callbackCode(QSystemTrayIcon::ActivationReason reason);

    // The program's icon: a page with a fax header, drawn at the sizes trays
    // and window frames ask for.
    static QIcon programIcon();

public Q_SLOTS:
    // The tray callback.
    void trayCallback(int code);
    void onActivated(QSystemTrayIcon::ActivationReason reason);

Q_SIGNALS:
    // Code 0: show the pop-up menu unless it is visible.
    void menuRequested();
    // The user clicked the message showing, which was given tag.
    void messageClicked(int tag);

private:
    struct Message
    {
        QString title;
        QString text;
        bool warning = false;
        int tag = -1;
    };
    // The message showing is done with: the next one, if any, shows.
    void showNextMessage();
    void onMessageClicked();

    QSystemTrayIcon m_tray;
    Probe m_available;
    QList<Message> m_waiting;
    std::optional<Message> m_shown;
    QtOneShotTimer m_ownTimer;
    OneShotTimer* m_timer = &m_ownTimer;
};

} // namespace kestrel
