#include "character/SceneScript.h"

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "platform/Files.h"

namespace mf {
namespace {

constexpr char kSeparator = '\\';

// Blanks around names and numbers do not count (the script is often
// written by hand), except in repeat, place and frequency, which are taken
// as written.
std::string_view TrimSpaces(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20) text.remove_prefix(1);
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20) text.remove_suffix(1);
  return text;
}

// Takes the text before the next separator off `rest`; false when there is
// no separator left.
bool TakeField(std::string_view& rest, std::string_view& field) {
  auto at = FindSceneSeparator(rest);
  if (at == std::string_view::npos) return false;
  field = rest.substr(0, at);
  rest.remove_prefix(at + 1);
  return true;
}

// One group "key\speed:dx:dy\" off the front of `rest`.
bool TakeGroup(std::string_view& rest, Frame& frame) {
  std::string_view key;
  std::string_view motion;
  std::string_view after = rest;
  if (!TakeField(after, key) || !TakeField(after, motion)) return false;
  auto firstColon = motion.find(':');
  if (firstColon == std::string_view::npos) return false;
  auto secondColon = motion.find(':', firstColon + 1);
  if (secondColon == std::string_view::npos) return false;
  auto speed = ToInteger(TrimSpaces(motion.substr(0, firstColon)));
  auto dx = ToInteger(TrimSpaces(motion.substr(firstColon + 1, secondColon - firstColon - 1)));
  auto dy = ToInteger(TrimSpaces(motion.substr(secondColon + 1)));
  if (!speed || !dx || !dy || *speed < 1) return false;
  frame = Frame{std::string(key), *speed, *dx, *dy};
  rest = after;
  return true;
}

bool OnlySpaces(std::string_view text) { return TrimSpaces(text).empty(); }

std::optional<int> InRange(std::string_view text, int low, int high) {
  auto value = ToInteger(text);
  if (!value || *value < low || *value > high) return std::nullopt;
  return value;
}

}  // namespace

std::size_t FindSceneSeparator(std::string_view text, std::size_t from) {
  return FindSjisChar(text, kSeparator, from);
}

std::vector<Frame> ParseFrameList(std::string_view list, bool* complete) {
  std::vector<Frame> frames;
  std::string_view rest = list;
  bool wellFormed = false;
  while (true) {
    Frame frame;
    if (!TakeGroup(rest, frame)) break;
    frames.push_back(std::move(frame));
    if (OnlySpaces(rest)) {
      wellFormed = true;
      break;
    }
  }
  if (complete) *complete = wellFormed;
  return frames;
}

bool IsValidFrameList(std::string_view list) {
  bool complete = false;
  ParseFrameList(list, &complete);
  return complete;
}

std::optional<Scene> ParseSceneLine(std::string_view line, std::string* whyNot) {
  auto fail = [whyNot](const char* reason) -> std::optional<Scene> {
    if (whyNot) *whyNot = reason;
    return std::nullopt;
  };
  std::string_view rest = line;
  std::string_view name, repeat, place, frequency, next;
  if (!TakeField(rest, name) || !TakeField(rest, repeat) || !TakeField(rest, place) ||
      !TakeField(rest, frequency) || !TakeField(rest, next)) {
    return fail("fewer than six fields");
  }
  Scene scene;
  scene.name = std::string(TrimSpaces(name));
  auto repeatValue = ToInteger(repeat);
  if (!repeatValue || *repeatValue < 1) return fail("repeat is not an integer of at least 1");
  auto placeValue = InRange(place, 0, kPlaceCount - 1);
  if (!placeValue) return fail("place is not an integer from 0 to 4");
  auto frequencyValue = InRange(frequency, 0, 4);
  if (!frequencyValue) return fail("frequency is not an integer from 0 to 4");
  if (!IsValidFrameList(rest)) return fail("frame list is not valid");
  scene.repeat = *repeatValue;
  scene.place = *placeValue;
  scene.frequency = *frequencyValue;
  scene.next = std::string(TrimSpaces(next));
  scene.frames = std::string(rest);
  return scene;
}

std::string MirrorFolderOf(const std::string& folder) { return folder + "r"; }

std::string PicturePath(const std::string& folder, std::string_view key, bool mirrored) {
  std::string path = mirrored ? MirrorFolderOf(folder) : folder;
  path += "/image";
  path += key;
  path += mirrored ? "r.bmp" : ".bmp";
  return path;
}

bool IsSafePictureKey(std::string_view key) {
  for (char c : key) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || c == '/' || c == '\\') return false;
  }
  return true;
}

std::string MissingPicture(const std::string& folder, const std::vector<Frame>& frames) {
  for (const auto& frame : frames) {
    for (bool mirrored : {false, true}) {
      std::string path = PicturePath(folder, frame.key, mirrored);
      if (!IsSafePictureKey(frame.key) || !platform::FileExists(path)) return path;
    }
  }
  return {};
}

std::optional<std::vector<std::string>> ReadSceneFile(const std::string& folder) {
  std::string path = folder + "/scene.txt";
  if (!platform::FileExists(path)) return std::nullopt;
  auto content = platform::ReadFile(path);
  if (!content) return std::nullopt;
  return SplitLines(*content);
}

bool CanGoOut(const SceneScript& script) {
  if (!script.enoughLines) return false;
  int free = 0;
  for (const Scene& scene : script.scenes) {
    if (scene.place == static_cast<int>(Place::Free)) free += scene.frequency;
  }
  return free > 0;
}

std::string CannotGoOutText() { return Sj("「自由」の場所のシーンがないので外に出られません"); }

SceneScript LoadSceneScript(const std::string& folder) {
  SceneScript script;
  auto lines = ReadSceneFile(folder);
  if (!lines || lines->size() < kMinimumSceneFileLines) return script;
  script.enoughLines = true;
  script.modesty = ToIntegerOr((*lines)[kModestyLine], kDefaultModesty);
  for (std::size_t i = kFirstSceneLine; i < lines->size(); ++i) {
    auto scene = ParseSceneLine(Trim((*lines)[i]));
    if (!scene) continue;
    if (!MissingPicture(folder, ParseFrameList(scene->frames)).empty()) continue;
    script.scenes.push_back(std::move(*scene));
  }
  return script;
}

}  // namespace mf
