#include "OptionsController.h"

namespace kestrel {

OptionFields OptionsController::load()
{
    // The chop setting in force is the one the fax control was given, so it
    // is taken before the reload; the address is taken from the file.
    m_previousChop = m_store.values().chop;
    m_store.reload();
    m_previousIp = m_store.values().ip;
    return m_store.optionFields();
}

OptionsAction OptionsController::save(const OptionFields& fields, Status* written)
{
    Status status = m_store.SalvaImpostazioni(fields);
    if (written)
        *written = std::move(status);
    return decide(m_store.values(), m_previousIp, m_previousChop);
}

OptionsAction OptionsController::decide(const SettingsValues& saved, const QString& previousIp,
                                        bool previousChop)
{
    if (!saved.isComplete())
        return OptionsAction::KeepOpenWithMessage;
    if (saved.ip != previousIp || saved.chop != previousChop)
        return OptionsAction::ReloadSendWindowAndClose;
    return OptionsAction::Close;
}

QStringList OptionsController::maxDialsItems()
{
    QStringList items;
    for (int n = 1; n <= 15; ++n)
        items.append(QString::number(n));
    return items;
}

} // namespace kestrel
