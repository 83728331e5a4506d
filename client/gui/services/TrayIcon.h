#pragma once

#include <QIcon>
#include <QObject>
#include <QSystemTrayIcon>

#include <functional>

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

    // A message by the icon, for notices where the desktop has no
    // notification service; false when no icon shows to carry it.
    bool showMessage(const QString& title, const QString& text, bool warning);

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
    // The user clicked the last message.
    void messageClicked();

private:
    QSystemTrayIcon m_tray;
    Probe m_available;
};

} // namespace kestrel
