#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The file that carries a character in a mail, and the name inside it.
inline constexpr std::string_view kPackageName = "MofutanData.mfd";

// Limits the byte layout sets: single-byte frame sizes and name lengths,
// two-byte scene and run lengths.
inline constexpr int kMostFrameSide = 255;
inline constexpr std::size_t kMostSceneBytes = 65535;
inline constexpr std::size_t kMostRunBytes = 65535;
inline constexpr std::size_t kMostNameBytes = 255;
// A real character has tens of pictures; a package claiming more is hostile
// and could otherwise fill the disk from a few megabytes of mail.
inline constexpr std::size_t kMostPackagePictures = 10000;

// The key of a picture file name "image" + key + ".bmp" (ASCII case ignored)
// whose key is empty or passes IsInteger; nothing for any other name.
std::optional<std::string> PictureKeyOf(std::string_view fileName);

// Packs scene.txt and every "image*.bmp" of the folder into a package file,
// replacing it. Fails, writing nothing, when a picture name has another key,
// a picture does not load or differs in size from the others, or the content
// does not fit the layout.
bool PackCharacter(const std::string& folder, const std::string& outputPath);

// The package bytes from the scene length on (a view into `package`), when
// the whole file has its own length in front, the package name after it and
// the end mark last.
std::optional<std::string_view> CheckPackage(std::string_view package);

// Unpacks a package file into the folder (created when missing): every
// picture as "image" + key + ".bmp" and then scene.txt. The whole package is
// checked before anything is written, and a failed unpack removes the files
// it wrote and the folder if it made it. Files are only written inside it.
bool UnpackCharacter(const std::string& packagePath, const std::string& targetFolder);
bool UnpackCharacterBytes(std::string_view package, const std::string& targetFolder);

}  // namespace mf
