#pragma once

#include "Expected.h"
#include "OptionFields.h"
#include "SettingsStore.h"

#include <QStringList>

namespace kestrel {

// What the options window does after its save button.
enum class OptionsAction
{
    // Address or chop setting changed: unload and show the send window, so
    // that a new fax control gets them, and close the options window.
    ReloadSendWindowAndClose,
    // Close the options window; the send window stays hidden.
    Close,
    // Address or e-mail address still "none": show
    // texts::IncompleteConfiguration and keep the window open.
    KeepOpenWithMessage
};

// The decisions of the options window frmOption, without its widgets: what
// its fields show on load and what follows a save.
class OptionsController
{
public:
    explicit OptionsController(SettingsStore& store) : m_store(store) {}

    // The window's load: reloads the program-wide values, remembers the
    // address and chop setting in force, and gives the fields' contents.
    OptionFields load();

    // The save button: stores the fields (SalvaImpostazioni) and decides
    // from the reloaded values. When written is given it receives the first
    // failed write, for a window that wants to tell the user.
    OptionsAction save(const OptionFields& fields, Status* written = nullptr);

    static OptionsAction decide(const SettingsValues& saved, const QString& previousIp, bool previousChop);

    // The items of cmbMaxDials: "1" to "15".
    static QStringList maxDialsItems();

    const QString& previousIp() const { return m_previousIp; }
    bool previousChop() const { return m_previousChop; }

private:
    SettingsStore& m_store;
    QString m_previousIp;
    bool m_previousChop = true;
};

} // namespace kestrel
