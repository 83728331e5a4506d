#include "DesktopContactsLoader.h"

#include "ClientTexts.h"

#include <QMetaObject>

#include <mutex>
#include <thread>

namespace kestrel {

// What the reading thread knows of the loader: it may post work to it as
// long as it exists. The loader's destructor takes the mutex, so it never
// goes while a post to it is under way; work already posted goes with it.
struct DesktopContactsLoader::Link
{
    std::mutex mutex;
    DesktopContactsLoader* owner = nullptr;

    void post(std::function<void(DesktopContactsLoader&)> work)
    {
        const std::lock_guard lock(mutex);
        if (DesktopContactsLoader* const target = owner)
            QMetaObject::invokeMethod(
                target, [target, work = std::move(work)] { work(*target); }, Qt::QueuedConnection);
    }
};

DesktopContactsLoader::DesktopContactsLoader(DesktopContacts::Notice notice, Reader reader, QObject* parent)
    : QObject(parent), m_notice(std::move(notice)), m_reader(std::move(reader)),
      m_link(std::make_shared<Link>())
{
    if (!m_reader)
        m_reader = [](const QString& source, const DesktopContacts::Notice& readingNotice) {
            return DesktopContacts::LoadOutlookContacts(source, readingNotice);
        };
    m_link->owner = this;
}

DesktopContactsLoader::~DesktopContactsLoader()
{
    const std::lock_guard lock(m_link->mutex);
    m_link->owner = nullptr;
}

void DesktopContactsLoader::start(const QString& source)
{
    if (m_started.isValid())
        return;
    m_started.start();
    // The thread is left to itself: a read that never returns must not hold
    // up the end of the program.
    std::thread([link = m_link, reader = m_reader, source] {
        DesktopContacts::Notice notice;
        notice.show = [link](const QString& text) {
            link->post([text](DesktopContactsLoader& loader) {
                if (loader.m_notice.show)
                    loader.m_notice.show(text);
            });
        };
        notice.close = [link] {
            link->post([](DesktopContactsLoader& loader) {
                if (loader.m_notice.close)
                    loader.m_notice.close();
            });
        };
        auto contacts = std::make_shared<DesktopContacts>(reader(source, notice));
        link->post([contacts](DesktopContactsLoader& loader) { loader.deliver(std::move(*contacts)); });
    }).detach();
}

void DesktopContactsLoader::deliver(DesktopContacts contacts)
{
    m_contacts = std::move(contacts);
    m_loaded = true;
    qCDebug(lcDesktopContacts, "in after %lld ms: %lld listed", m_started.elapsed(),
            static_cast<long long>(m_contacts.listed().size()));
    if (!m_contacts.tooLarge().isEmpty() && m_notice.tell)
        m_notice.tell(texts::book::contactFilesTooLarge(m_contacts.tooLarge()));
    // Last: a handler may destroy the loader.
    Q_EMIT loaded();
}

} // namespace kestrel
