#include "PasswordKeeper.h"

#include "Keyring.h"

using namespace Qt::StringLiterals;

namespace kestrel {

PasswordKeeper::PasswordKeeper(SettingsStore& store, int limitMs, QObject* parent)
    : QObject(parent), m_store(store)
{
    m_limit.setSingleShot(true);
    m_limit.setInterval(limitMs);
    connect(&m_limit, &QTimer::timeout, this,
            [this] { settleAt(Place::File, u"no answer from the keyring in time"_s); });
}

QString PasswordKeeper::currentKey() const
{
    return keyring::keyOf(m_store.values().user, m_store.values().ip);
}

void PasswordKeeper::settle()
{
    ask();
}

void PasswordKeeper::saved(const QString& typed)
{
    if (!typed.isEmpty()) {
        ask(); // the file holds it now: it moves as at start-up
        return;
    }
    // Emptied on purpose: the keyring's entry must not come back, nor an
    // answer still on its way.
    const quint64 request = ++m_request;
    m_limit.stop();
    m_store.setKeyringPassword(std::nullopt);
    if (m_place != Place::Keyring)
        return;
    keyring::write(currentKey(), QString(), this, [this, request](const keyring::Answer& answer) {
        if (request != m_request)
            return;
        if (answer.kind == keyring::Answer::Kind::Done)
            m_store.setKeyringPassword(QString());
    });
}

void PasswordKeeper::ask()
{
    const quint64 request = ++m_request;
    const QString key = currentKey();
    const QString inFile = m_store.filePassword();
    m_limit.start();
    if (!inFile.isEmpty()) {
        keyring::write(key, inFile, this, [this, request, inFile](const keyring::Answer& answer) {
            if (request != m_request)
                return;
            if (answer.kind != keyring::Answer::Kind::Done) {
                settleAt(Place::File, answer.reason);
                return;
            }
            // The keyring holds it: the file may let it go (unless a save
            // put another one there meanwhile, which moves on its own).
            m_store.setKeyringPassword(inFile);
            (void)m_store.clearFilePassword(inFile);
            settleAt(Place::Keyring);
        });
        return;
    }
    keyring::read(key, this, [this, request](const keyring::Answer& answer) {
        if (request != m_request)
            return;
        switch (answer.kind) {
        case keyring::Answer::Kind::Done:
            m_store.setKeyringPassword(answer.password);
            settleAt(Place::Keyring);
            break;
        case keyring::Answer::Kind::NotFound:
            settleAt(Place::Keyring);
            break;
        case keyring::Answer::Kind::Unavailable:
            settleAt(Place::File, answer.reason);
            break;
        }
    });
}

void PasswordKeeper::settleAt(Place place, const QString& reason)
{
    m_limit.stop();
    if (place == m_place && reason == m_reason)
        return;
    m_place = place;
    m_reason = reason;
    Q_EMIT placeChanged();
}

} // namespace kestrel
