#pragma once
// The line readings a settings file records beside the settings read.
#include "settings/settingsfile.h"

#include <optional>

namespace cli {

// One telemetry poll of the connected unit, stamped with the time it came; nothing (the
// failure said on standard error) when the reply was short or the line went away.
std::optional<settings::Readings> takereadings();

} // namespace cli
