#include "ControlSettings.h"

#include "ClientTexts.h"

namespace kestrel::ControlSettings {

void applyAtLoad(ICorvanefax& control, const SettingsValues& settings)
{
    control.setNomeStampante(texts::CapturePrinter);
    applyLogin(control, settings);
    control.setXMLStatus(VbTrue);
    if (settings.debug)
        control.setDebugOn(VbTrue);
    control.setChopOn(settings.chop ? VbTrue : VbFalse);
}

void applyLogin(ICorvanefax& control, const SettingsValues& settings)
{
    // Only what changed: each "let" tells the host to persist it.
    if (control.IndirizzoIP() != settings.ip)
        control.setIndirizzoIP(settings.ip);
    if (control.NomeUtente() != settings.user)
        control.setNomeUtente(settings.user);
    if (control.PasswordUtente() != settings.pass)
        control.setPasswordUtente(settings.pass);
}

} // namespace kestrel::ControlSettings
