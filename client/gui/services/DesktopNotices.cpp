#include "DesktopNotices.h"

#include "ClientTexts.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

using namespace Qt::StringLiterals;

namespace kestrel {
namespace {

const QString ServiceName = QString::fromLatin1(DesktopNotices::Service);
const QString PathName = QString::fromLatin1(DesktopNotices::Path);
const QString InterfaceName = QString::fromLatin1(DesktopNotices::Interface);

} // namespace

DesktopNotices::DesktopNotices(QDBusConnection bus, Fallback fallback, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_fallback(std::move(fallback))
{
    if (!m_bus.isConnected())
        return;
    m_bus.connect(ServiceName, PathName, InterfaceName, u"ActionInvoked"_s, this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(ServiceName, PathName, InterfaceName, u"NotificationClosed"_s, this,
                  SLOT(onClosed(uint, uint)));
}

void DesktopNotices::show(int fax, const QString& text, bool resend)
{
    if (!m_bus.isConnected()) {
        m_fallback(fax, text, resend);
        return;
    }
    QStringList actions{QString::fromLatin1(OpenKey), texts::history::WindowTitle};
    if (resend)
        actions << QString::fromLatin1(ResendKey) << texts::history::ResendAction;
    const QString program = QCoreApplication::applicationName();
    const QVariantMap hints{{u"desktop-entry"_s, program}, {u"urgency"_s, QVariant::fromValue(uchar(1))}};
    QDBusMessage call = QDBusMessage::createMethodCall(ServiceName, PathName, InterfaceName, u"Notify"_s);
    // Sender, no notice to replace, icon, summary, body, actions, hints, the
    // service's own time on screen.
    call << program << 0u << program << text << QString() << actions << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, AnswerLimitMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, fax, text, resend](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError())
                    m_fallback(fax, text, resend);
                else
                    m_shown.insert(reply.value(), {fax, resend});
            });
}

void DesktopNotices::onActionInvoked(uint id, const QString& key)
{
    const auto shown = m_shown.constFind(id);
    if (shown == m_shown.cend())
        return; // another program's notice
    const Shown notice = *shown;
    if (key == QLatin1StringView(ResendKey) && notice.resend)
        Q_EMIT resendRequested(notice.fax);
    else if (key == QLatin1StringView(OpenKey))
        Q_EMIT openRequested(notice.fax);
}

void DesktopNotices::onClosed(uint id, uint)
{
    m_shown.remove(id);
}

} // namespace kestrel
