#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/Text.h"
#include "character/SceneLineRules.h"
#include "character/SceneScript.h"
#include "charedit/CharacterEditor.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"

namespace {

// A character folder with the pictures 0 to 9, so that frames can pass.
const std::string& CharDir() {
  static mf::platform::TemporaryFolder program;
  static const std::string folder = [] {
    std::string dir = program.Path() + "char1";
    mf::platform::CreateFolder(dir);
    for (int key = 0; key < 10; ++key) {
      mf::platform::WriteFileAtomic(dir + "/image" + std::to_string(key) + ".bmp", "BM");
    }
    return dir;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string& dir = CharDir();
  const auto lines = mf::SplitLines(text);
  const auto names = mf::SceneNamesOf(lines);
  for (const auto& line : lines) {
    if (auto scene = mf::ParseSceneLine(mf::Trim(line))) mf::ParseFrameList(scene->frames);
    auto fields = mf::CheckSceneLine(line, dir, &names);
    if (!fields) continue;
    // What the editor reads, it writes back the same.
    if (mf::CheckSceneLine(mf::WriteSceneLine(*fields), dir, &names) != fields) std::abort();
  }
  mf::CheckScript(lines, dir);

  // The editor opened on the script: every scene chosen and changed.
  mf::platform::FakeDialogs dialogs;
  mf::CharacterEditor editor(dialogs, nullptr);
  editor.Open(mf::EditorOpening{"", dir, dir + "r", lines, "", -1, false});
  for (int i = 0; i < static_cast<int>(editor.SceneNames().size()) && i < 64; ++i) {
    editor.SelectScene(i, true);
    editor.DeleteFrame(0);
    editor.SetRepeat("");
  }
  return 0;
}
