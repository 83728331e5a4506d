#pragma once

#include "Corvanefax.h"
#include "SettingsValues.h"

namespace kestrel {

// The settings the send window hands the fax control.
namespace ControlSettings {

// At every load of the send window: the capture printer's name, the
// appliance and its login, status polling, diagnostics (switched on, never
// off, by DEBUG) and the page options.
void applyAtLoad(ICorvanefax& control, const SettingsValues& settings);

// Before every submission: the appliance and its login as the settings hold
// them now, so a password corrected in the options window counts at once.
void applyLogin(ICorvanefax& control, const SettingsValues& settings);

} // namespace ControlSettings

} // namespace kestrel
