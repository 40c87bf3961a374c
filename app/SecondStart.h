#pragma once

#include <string>

namespace mf {

// A second start while a copy runs: asks the running copy to show its hut,
// through the window id it keeps in the settings file ([Main] Handle), and
// creates nothing itself. False when there was nothing to ask.
bool ShowRunningHut(const std::string& settingsPath);

}  // namespace mf
