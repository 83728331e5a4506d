#pragma once

#include "SettingsStore.h"

#include <QObject>
#include <QTimer>

namespace kestrel {

// Keeps the appliance password in the desktop's keyring, under the
// appliance's user and address, rather than in the settings file. A
// password the file holds moves to the keyring and leaves the file only
// once the keyring has said it stored it; without a keyring it stays in the
// file, as it always was. Nothing here waits: the keyring answers later,
// from the event loop (possibly inside a nested wait), and the settings
// store's values follow.
class PasswordKeeper : public QObject
{
    Q_OBJECT

public:
    enum class Place
    {
        Asking,  // the keyring has not answered yet
        Keyring, // the keyring answered: the password lives there
        File,    // no keyring, or it refused or did not answer: the file keeps it
    };

    // limitMs: how long an answer may take before the keyring counts as
    // unavailable for now (a late answer still counts).
    explicit PasswordKeeper(SettingsStore& store, int limitMs = DefaultLimitMs, QObject* parent = nullptr);

    static constexpr int DefaultLimitMs = 30000;

    // At start-up: moves a password found in the file into the keyring, or
    // reads the keyring's.
    void settle();

    // After the options window stored its fields: the password typed goes
    // to the keyring under the login now saved (an empty one empties the
    // keyring's entry).
    void saved(const QString& typed);

    Place place() const { return m_place; }
    // Why the file keeps the password (the keyring's words), with File.
    const QString& reason() const { return m_reason; }

Q_SIGNALS:
    void placeChanged();

private:
    QString currentKey() const;
    void ask();
    void settleAt(Place place, const QString& reason = {});

    SettingsStore& m_store;
    QTimer m_limit;
    // Each request counts; an answer to one that a later request replaced
    // is dropped.
    quint64 m_request = 0;
    Place m_place = Place::Asking;
    QString m_reason;
};

} // namespace kestrel
