#include "mail/receive/CharacterArrival.h"

#include "base/Integer.h"
#include "character/Bitmap.h"
#include "character/BitmapFile.h"
#include "character/CharacterPackage.h"
#include "character/SceneScript.h"
#include "mail/store/AttachmentNames.h"
#include "platform/Files.h"
#include "roster/FolderPair.h"

namespace mf {
namespace {

// A scene file shorter than this cannot describe a character.
constexpr std::size_t kLeastSceneLines = 4;

// The id of a known character that the hut can list, or empty.
std::string KnownCharacter(ReceivingHut& hut, const std::string& id) {
  if (id.empty()) return {};
  const std::vector<std::string> charDB = hut.CharDB();  // ShowAgain may change the list
  for (std::size_t i = 0; i + 1 < charDB.size(); i += 2) {
    if (charDB[i + 1] == id && IsInteger(charDB[i]) && hut.ShowAgain(charDB[i], id)) return id;
  }
  return {};
}

void RecreateEmpty(const std::string& root, const std::string& folder, const std::string& mirror) {
  platform::RemoveFolderTreeInside(root, folder);
  platform::RemoveFolderTreeInside(root, mirror);
  platform::CreateFolder(folder);
  platform::CreateFolder(mirror);
}

// Unpacks the last sound package into a new folder pair; the id on the
// first line of its scene file, or empty (and no folders left behind).
std::string UnpackArrival(ReceivingHut& hut, const std::string& root, const std::vector<std::string>& packages,
                          int& number) {
  number = 0;
  const auto pair = CreateNextFolderPair(root);
  if (!pair) return {};
  for (auto package = packages.rbegin(); package != packages.rend(); ++package) {
    if (platform::ExtractFileName(*package) != kPackageFileName || !platform::FileExists(*package)) continue;
    if (UnpackCharacter(*package, pair->main) && MirrorCharacterImages(pair->main, pair->mirror)) {
      auto lines = ReadSceneFile(pair->main);
      if (lines && lines->size() >= kLeastSceneLines && !(*lines)[0].empty()) {
        number = pair->number;
        hut.RegisterCharacter(number, (*lines)[0]);
        return (*lines)[0];
      }
    }
    RecreateEmpty(root, pair->main, pair->mirror);
  }
  platform::RemoveFolderTreeInside(root, pair->main);
  platform::RemoveFolderTreeInside(root, pair->mirror);
  return {};
}

}  // namespace

DeliveringCharacter SelectDeliveringCharacter(ReceivingHut& hut, const MailStore& store,
                                              const std::string& carriedId,
                                              const std::vector<std::string>& packageFiles,
                                              const std::string& references, const std::string& inReplyTo) {
  DeliveringCharacter choice;
  if (!carriedId.empty()) {
    choice.id = KnownCharacter(hut, carriedId);
    if (choice.id.empty() && !packageFiles.empty()) {
      choice.id = UnpackArrival(hut, store.ProgramFolder(), packageFiles, choice.arrivedFolder);
    }
  }
  if (choice.id.empty()) {
    choice.answered = FindAnsweredMail(store, AnsweredMailQuery(inReplyTo, references));
    if (choice.answered) choice.id = KnownCharacter(hut, choice.answered->character);
  }
  if (choice.id.empty()) {
    const auto& visible = hut.VisibleDB();
    const auto& charDB = hut.CharDB();
    if (!visible.empty()) {
      choice.id = visible.front();
    } else if (charDB.size() > 1) {
      choice.id = charDB[1];
    }
  }
  return choice;
}

bool MirrorCharacterImages(const std::string& folder, const std::string& mirrorFolder) {
  auto lines = ReadSceneFile(folder);
  if (!lines) return false;
  const int count = lines->size() >= kLeastSceneLines ? ToIntegerOr((*lines)[kPictureCountLine], 0) : 0;
  if (count < 1) return false;
  // A package may claim any count; it cannot hold more pictures than this.
  if (static_cast<std::size_t>(count) > kMostPackagePictures) return false;
  for (int i = 1; i <= count; ++i) {
    const std::string key = std::to_string(i);
    const std::string source = PicturePath(folder, key, false);
    if (!platform::FileExists(source)) continue;
    auto picture = LoadBitmapFile(source);
    const std::string target = mirrorFolder + "/image" + key + "r.bmp";
    if (!picture || !SaveBitmapFile(target, MirrorLeftRight(*picture))) return false;
  }
  return true;
}

}  // namespace mf
