#include "app/SecondStart.h"

#include "hut/gui/HutWindow.h"
#include "platform/IniFile.h"
#include "platform/x11/X11WindowMessages.h"

namespace mf {

bool ShowRunningHut(const std::string& settingsPath) {
  platform::IniFile settings(settingsPath);
  int handle = settings.ReadInteger("Main", "Handle", 0);
  if (handle <= 0) return false;
  return platform::PostWindowMessage(static_cast<std::uint64_t>(handle),
                                     platform::WindowMessage{WM_SHOWHUT, 0, 0});
}

}  // namespace mf
