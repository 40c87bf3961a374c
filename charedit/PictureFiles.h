#pragma once

#include <optional>
#include <string>
#include <vector>

#include "character/Bitmap.h"

namespace mf {

class PictureHost;

// "image" + n + ".bmp" in the character folder and "image" + n + "r.bmp",
// its mirror, in the mirror folder.
std::string PicturePath(const std::string& charDir, int number);
std::string MirrorPicturePath(const std::string& mirrorDir, int number);

// The smallest number from 1 up whose picture is not in the folder.
int NextFreePictureNumber(const std::string& charDir);

// Numbers 1..count whose picture and mirror both exist, in order. The
// folder is listed once, so a huge count in a script cannot stall us.
std::vector<int> UsablePictures(const std::string& charDir, const std::string& mirrorDir, int count);

// Saves the picture and its mirror as the next free number and raises the
// host's picture count to it when it was not above it. Nothing when either
// file cannot be written; then neither is left behind and the count stays.
std::optional<int> SaveNewPicture(PictureHost& host, const Bitmap& picture);

// Deletes a picture and its mirror where they exist; false when one of them
// is still there afterwards.
bool DeletePicturePair(const std::string& charDir, const std::string& mirrorDir, int number);

}  // namespace mf
