#include "mail/gui/CharPosition.h"

#include <string>

#include "base/Integer.h"
#include "platform/IniFile.h"

namespace mf {
namespace {

const char kSection[] = "CharPosition";
const char kUnset[] = "A";

}  // namespace

void LoadCharPosition(const platform::IniFile& settings, ScreenPoint& position) {
  if (auto left = ToInteger(settings.ReadString(kSection, "Left", kUnset))) position.x = *left;
  if (auto top = ToInteger(settings.ReadString(kSection, "Top", kUnset))) position.y = *top;
}

void SaveCharPosition(platform::IniFile& settings, ScreenPoint position) {
  settings.WriteString(kSection, "Left", std::to_string(position.x));
  settings.WriteString(kSection, "Top", std::to_string(position.y));
}

}  // namespace mf
