#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The character editor's own rules for the scene script it writes. They are
// stricter about the header and looser about frames than the engine's
// reader: a frame's "speed:dx:dy" part only has to be non-blank, but its
// picture must exist in the character folder.
namespace mf {

// One frame of a scene as the editor lists it.
struct EditorFrame {
  std::string picture;  // the picture number as written
  std::string caption;  // "speed:dx:dy" as typed
  bool operator==(const EditorFrame&) const = default;
};

// The fields of one scene line as the editor shows them.
struct SceneFields {
  std::string name;
  std::string repeat;     // as typed
  int place = 0;          // 0..4
  std::string frequency;  // as typed
  std::string next;       // the follow-on scene, empty for none
  std::vector<EditorFrame> frames;
  bool operator==(const SceneFields&) const = default;
};

// name\repeat\place\frequency\next\ then picture\caption\ for each frame.
std::string WriteSceneLine(const SceneFields& scene);

// The scene name of a script line: the text before its first separator,
// or the whole line when it has none.
std::string SceneNameOf(std::string_view line);
// The names of the scene lines (line 4 on) of a script.
std::vector<std::string> SceneNamesOf(const std::vector<std::string>& script);

// Checks one scene line and returns its fields when it holds: at least five
// separators and a name; repeat an integer above 0; place and frequency
// integers 0..4; frames of a picture number whose "image" + number + ".bmp"
// exists in `charDir` and a non-blank part. With `sceneNames`, a follow-on
// must be one of them.
std::optional<SceneFields> CheckSceneLine(std::string_view line, const std::string& charDir,
                                          const std::vector<std::string>* sceneNames);

// The whole-script check of OK: line 0 holds "@", line 1 a name, line 2 a
// modesty 0..4, line 3 a picture count of at least 0, and every line from
// line 4 on (at least one) is a scene that passes CheckSceneLine with the
// follow-on rule.
bool CheckScript(const std::vector<std::string>& script, const std::string& charDir);

}  // namespace mf
