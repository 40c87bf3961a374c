#include "charedit/PictureFiles.h"

#include "character/BitmapFile.h"
#include "character/NumberedPictures.h"
#include "charedit/PictureHost.h"
#include "platform/Files.h"

namespace mf {

std::string PicturePath(const std::string& charDir, int number) {
  return charDir + "/image" + std::to_string(number) + ".bmp";
}

std::string MirrorPicturePath(const std::string& mirrorDir, int number) {
  return mirrorDir + "/image" + std::to_string(number) + "r.bmp";
}

int NextFreePictureNumber(const std::string& charDir) {
  int number = 1;
  while (platform::FileExists(PicturePath(charDir, number))) ++number;
  return number;
}

std::vector<int> UsablePictures(const std::string& charDir, const std::string& mirrorDir, int count) {
  std::vector<int> numbers;
  const std::string prefix = charDir + "/image";
  for (const std::string& path : NumberedPictures(charDir, count)) {
    // NumberedPictures only returns "image" + digits + ".bmp" names.
    int number = std::stoi(path.substr(prefix.size()));
    if (platform::FileExists(MirrorPicturePath(mirrorDir, number))) numbers.push_back(number);
  }
  return numbers;
}

std::optional<int> SaveNewPicture(PictureHost& host, const Bitmap& picture) {
  const std::string charDir = host.CharDir();
  int number = NextFreePictureNumber(charDir);
  std::string path = PicturePath(charDir, number);
  if (!SaveBitmapFile(path, picture)) return std::nullopt;
  if (!SaveBitmapFile(MirrorPicturePath(host.MirrorDir(), number), MirrorLeftRight(picture))) {
    // A picture without its mirror would be skipped by the picture list yet
    // take its number; leave the folder as it was.
    platform::DeleteFileInside(charDir, path);
    return std::nullopt;
  }
  if (number >= host.PictureCount()) host.SetPictureCount(number);
  return number;
}

bool DeletePicturePair(const std::string& charDir, const std::string& mirrorDir, int number) {
  std::string path = PicturePath(charDir, number);
  std::string mirror = MirrorPicturePath(mirrorDir, number);
  if (platform::FileExists(path)) platform::DeleteFileInside(charDir, path);
  if (platform::FileExists(mirror)) platform::DeleteFileInside(mirrorDir, mirror);
  return !platform::FileExists(path) && !platform::FileExists(mirror);
}

}  // namespace mf
