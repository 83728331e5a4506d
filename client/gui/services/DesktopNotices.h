#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>

#include <functional>

namespace kestrel {

// The notice when a fax ends, where the desktop shows its notices: through
// its notification service (org.freedesktop.Notifications on the session
// bus). A failed fax's notice offers "Reinvia". Where the desktop has no
// such service (no bus, nobody owning the name, a call that fails) the
// notice goes to the fallback instead: the tray icon's message, or the
// program's own notice window.
//
// Calls never wait for the bus: the service's answer comes back through the
// event loop, and a notice it refuses goes to the fallback then. A service
// that does not answer within AnswerLimitMs counts as refusing (the bus
// itself would wait 25 s).
class DesktopNotices : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* Service = "org.freedesktop.Notifications";
    static constexpr const char* Path = "/org/freedesktop/Notifications";
    static constexpr const char* Interface = "org.freedesktop.Notifications";
    // The action keys: a click on the notice itself, and "Reinvia".
    static constexpr const char* OpenKey = "default";
    static constexpr const char* ResendKey = "resend";
    // How long the service has to answer a notice.
    static constexpr int AnswerLimitMs = 3000;

    // Shows a notice where there is no notification service: the fax (the
    // history's index), its text and whether it offers "Reinvia".
    using Fallback = std::function<void(int fax, const QString& text, bool resend)>;

    DesktopNotices(QDBusConnection bus, Fallback fallback, QObject* parent = nullptr);

    void show(int fax, const QString& text, bool resend);

Q_SIGNALS:
    void resendRequested(int fax);
    // The user clicked the notice: the status window, on that fax.
    void openRequested(int fax);

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& key);
    void onClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    Fallback m_fallback;
    struct Shown
    {
        int fax;
        bool resend; // it offered "Reinvia"
    };
    QHash<uint, Shown> m_shown; // by the service's id of the notice
};

} // namespace kestrel
