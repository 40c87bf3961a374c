#include <iostream>

#include "character/Bitmap.h"
#include "character/BitmapFile.h"
#include "character/CharacterPackage.h"
#include "platform/Files.h"
#include "tools/mftool/Command.h"

namespace mf::tool {
namespace {

std::string WithoutSeparator(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

int RunPack(const Arguments& arguments) {
  if (arguments.size() != 2) {
    std::cerr << "usage: mftool pack CHARDIR OUT\n";
    return 2;
  }
  if (!PackCharacter(arguments[0], arguments[1])) {
    std::cerr << "mftool: cannot pack " << arguments[0] << "\n";
    return 1;
  }
  return 0;
}

int RunCheck(const Arguments& arguments) {
  if (arguments.size() != 1) {
    std::cerr << "usage: mftool check FILE\n";
    return 2;
  }
  auto bytes = platform::ReadFile(arguments[0]);
  if (!bytes) {
    std::cerr << "mftool: cannot read " << arguments[0] << "\n";
    return 1;
  }
  if (!CheckPackage(*bytes)) {
    std::cout << "bad package\n";
    return 1;
  }
  std::cout << "package ok\n";
  return 0;
}

int RunUnpack(const Arguments& arguments) {
  if (arguments.size() != 2) {
    std::cerr << "usage: mftool unpack FILE DIR\n";
    return 2;
  }
  if (!UnpackCharacter(arguments[0], arguments[1])) {
    std::cerr << "mftool: cannot unpack " << arguments[0] << "\n";
    return 1;
  }
  return 0;
}

// Makes the "r" companion folder from the main pictures, as a received
// character gets it.
int RunMirror(const Arguments& arguments) {
  if (arguments.size() != 1) {
    std::cerr << "usage: mftool mirror CHARDIR\n";
    return 2;
  }
  std::string folder = WithoutSeparator(arguments[0]) + "/";
  std::string mirrorFolder = WithoutSeparator(arguments[0]) + "r/";
  if (!platform::CreateFolder(mirrorFolder)) {
    std::cerr << "mftool: cannot create " << mirrorFolder << "\n";
    return 1;
  }
  int count = 0;
  for (const auto& name : platform::ListFolder(folder, "image*.bmp", platform::ListKind::FilesOnly)) {
    auto key = PictureKeyOf(name);
    if (!key) continue;
    auto picture = LoadBitmapFile(folder + name);
    std::string target = mirrorFolder + "image" + *key + "r.bmp";
    if (!picture || !SaveBitmapFile(target, MirrorLeftRight(*picture))) {
      std::cerr << "mftool: cannot mirror " << folder + name << "\n";
      return 1;
    }
    ++count;
  }
  std::cout << count << " pictures mirrored into " << mirrorFolder << "\n";
  return count > 0 ? 0 : 1;
}

}  // namespace mf::tool
