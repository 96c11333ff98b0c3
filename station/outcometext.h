// The station window's words for the engine's outcomes: its short line (outcomeText), translated.
#pragma once

#include "outcome.h"

#include <QString>

namespace Station {

// The outcome's short line in the window's language ("no answer to a package", ...).
QString outcomeLine(Download::Outcome outcome);

} // namespace Station
