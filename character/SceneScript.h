#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The character folder and its scene script (scene.txt): lines 0-3 describe
// the character, every later line may be one scene.
namespace mf {

// Where a scene may be chosen, and the motion mode the character is in.
enum class Place : int {
  OnWindowTop = 0,   // standing or walking on a window's top edge or the screen bottom
  AtWindowEdge = 1,  // has just reached the end of the edge it walks on
  Falling = 2,
  Rising = 3,
  Free = 4,
};
constexpr int kPlaceCount = 5;

struct Scene {
  std::string name;
  int repeat = 1;
  int place = 0;
  int frequency = 0;
  std::string next;
  std::string frames;  // the frame list as written; parsed again each time the scene starts
};

struct Frame {
  std::string key;  // picture key, used exactly as written
  int speed = 1;
  int dx = 0;
  int dy = 0;
  bool operator==(const Frame&) const = default;
};

// The lines of scene.txt that have a fixed meaning.
constexpr int kIdLine = 0;
constexpr int kNameLine = 1;
constexpr int kModestyLine = 2;
constexpr int kPictureCountLine = 3;
constexpr int kFirstSceneLine = 4;
// Fewer lines than this and the character cannot go out.
constexpr int kMinimumSceneFileLines = 5;
constexpr int kDefaultModesty = 5;

// The field separator of a scene line ("\") at or after `from`, found by
// character: the second byte of a Shift_JIS character such as "ソ" or "表"
// is also 0x5C and must not split a scene name there. npos when none.
std::size_t FindSceneSeparator(std::string_view text, std::size_t from = 0);

// Parses the groups of a frame list, stopping at the first group that breaks
// a rule; the groups before it are returned. `complete` (optional) tells
// whether the whole list was well formed (at least one group and nothing
// but spaces after the last).
std::vector<Frame> ParseFrameList(std::string_view list, bool* complete = nullptr);
bool IsValidFrameList(std::string_view list);

// One scene line (already trimmed). Nothing when a rule breaks; `whyNot`
// (optional) then gets a short English reason for tools.
std::optional<Scene> ParseSceneLine(std::string_view line, std::string* whyNot = nullptr);

// Paths of a character's pictures. `folder` is the main folder without a
// trailing separator; the mirrored pictures live in folder + "r".
std::string MirrorFolderOf(const std::string& folder);
std::string PicturePath(const std::string& folder, std::string_view key, bool mirrored);

// A key that could name a file outside the character's folders (a separator
// or a control byte) never names a picture: scene.txt may arrive by mail.
bool IsSafePictureKey(std::string_view key);

// The first picture of the frames missing in either folder, as a path;
// empty when every picture exists. The engine only uses scenes whose
// pictures exist in both folders.
std::string MissingPicture(const std::string& folder, const std::vector<Frame>& frames);

// The lines of the folder's scene.txt; nothing when the file does not exist.
std::optional<std::vector<std::string>> ReadSceneFile(const std::string& folder);

// What a folder's scene.txt yields: the valid scenes in file order and the
// modesty value (line 2, default 5).
struct SceneScript {
  bool enoughLines = false;  // at least five lines
  int modesty = kDefaultModesty;
  std::vector<Scene> scenes;
};
SceneScript LoadSceneScript(const std::string& folder);

// Whether the character can go out: it needs a scene of place Free with a
// weight above 0 whose pictures all exist, as it enters the desktop in one.
bool CanGoOut(const SceneScript& script);

// Why a character cannot go out, as the user is told (Shift_JIS).
std::string CannotGoOutText();

}  // namespace mf
