#pragma once

#include "DesktopContacts.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>
#include <memory>

namespace kestrel {

// Reads the desktop contacts on a thread of its own and hands them over on
// the thread that owns the loader, so that nothing their files do (a slow
// disk, a network folder that does not answer) holds up the windows: the
// tray icon and the capture port come up while they load. The notices are
// shown on the owner's thread too. Destroying the loader while it reads is
// safe: the reading then ends unheard.
class DesktopContactsLoader : public QObject
{
    Q_OBJECT
public:
    using Reader =
        std::function<DesktopContacts(const QString& source, const DesktopContacts::Notice& notice)>;

    // reader: DesktopContacts::LoadOutlookContacts unless given.
    explicit DesktopContactsLoader(DesktopContacts::Notice notice, Reader reader = {},
                                   QObject* parent = nullptr);
    ~DesktopContactsLoader() override;

    // Starts reading source. The contacts are read once a run: later calls
    // do nothing.
    void start(const QString& source);
    bool isLoaded() const { return m_loaded; }
    // No contacts until loaded() was emitted.
    const DesktopContacts& contacts() const { return m_contacts; }

Q_SIGNALS:
    // The contacts are in; files passed over for their size were told.
    void loaded();

private:
    struct Link;
    void deliver(DesktopContacts contacts);

    DesktopContacts::Notice m_notice;
    Reader m_reader;
    std::shared_ptr<Link> m_link;
    DesktopContacts m_contacts;
    QElapsedTimer m_started;
    bool m_loaded = false;
};

} // namespace kestrel
