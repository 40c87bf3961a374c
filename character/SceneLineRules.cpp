#include "character/SceneLineRules.h"

#include <algorithm>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/SceneScript.h"
#include "platform/Files.h"

namespace mf {
namespace {

constexpr char kSeparator = '\\';
constexpr int kHeaderFields = 5;  // name, repeat, place, frequency, next
constexpr int kMostLevel = 4;     // place and frequency run 0..4

bool Blank(std::string_view text) { return Trim(text).empty(); }

// Takes the text before the next separator off `rest`.
std::optional<std::string_view> TakeField(std::string_view& rest) {
  const auto at = FindSceneSeparator(rest);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view field = rest.substr(0, at);
  rest.remove_prefix(at + 1);
  return field;
}

std::optional<int> LevelOf(std::string_view text) {
  auto value = ToInteger(text);
  if (!value || *value < 0 || *value > kMostLevel) return std::nullopt;
  return value;
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

std::string WriteSceneLine(const SceneFields& scene) {
  std::string line = scene.name + kSeparator + scene.repeat + kSeparator + std::to_string(scene.place) +
                     kSeparator + scene.frequency + kSeparator + scene.next + kSeparator;
  for (const auto& frame : scene.frames) line += frame.picture + kSeparator + frame.caption + kSeparator;
  return line;
}

std::string SceneNameOf(std::string_view line) {
  return std::string(line.substr(0, FindSceneSeparator(line)));
}

std::vector<std::string> SceneNamesOf(const std::vector<std::string>& script) {
  std::vector<std::string> names;
  for (std::size_t i = kFirstSceneLine; i < script.size(); ++i) names.push_back(SceneNameOf(script[i]));
  return names;
}

std::optional<SceneFields> CheckSceneLine(std::string_view line, const std::string& charDir,
                                          const std::vector<std::string>* sceneNames) {
  std::string_view rest = line;
  std::string_view fields[kHeaderFields];
  for (auto& field : fields) {
    auto taken = TakeField(rest);
    if (!taken) return std::nullopt;
    field = *taken;
  }
  SceneFields scene;
  scene.name = std::string(fields[0]);
  scene.repeat = std::string(fields[1]);
  scene.frequency = std::string(fields[3]);
  scene.next = std::string(fields[4]);
  auto repeat = ToInteger(fields[1]);
  auto place = LevelOf(fields[2]);
  if (scene.name.empty() || !repeat || *repeat < 1 || !place || !LevelOf(fields[3])) return std::nullopt;
  scene.place = *place;
  if (sceneNames && !scene.next.empty() && !Contains(*sceneNames, scene.next)) return std::nullopt;

  if (Blank(rest)) return std::nullopt;
  while (!Blank(rest)) {
    auto picture = TakeField(rest);
    auto part = picture ? TakeField(rest) : std::nullopt;
    if (!part || !IsInteger(*picture) || Blank(*part)) return std::nullopt;
    if (!platform::FileExists(PicturePath(charDir, *picture, false))) return std::nullopt;
    scene.frames.push_back(EditorFrame{std::string(*picture), std::string(*part)});
  }
  return scene;
}

bool CheckScript(const std::vector<std::string>& script, const std::string& charDir) {
  if (script.size() <= static_cast<std::size_t>(kFirstSceneLine)) return false;
  if (FindSjisChar(script[kIdLine], '@') == std::string::npos) return false;
  if (script[kNameLine].empty() || !LevelOf(script[kModestyLine])) return false;
  auto pictures = ToInteger(script[kPictureCountLine]);
  if (!pictures || *pictures < 0) return false;
  const auto names = SceneNamesOf(script);
  for (std::size_t i = kFirstSceneLine; i < script.size(); ++i) {
    if (!CheckSceneLine(script[i], charDir, &names)) return false;
  }
  return true;
}

}  // namespace mf
