#pragma once

#include <optional>
#include <string>

namespace mf {

// The package file of a character folder: folder + "/MofutanData.mfd".
std::string PackagePathOf(const std::string& characterFolder);

// Makes sure the character in `characterFolder` can travel: its package is
// made when missing, and made once more when it fails its check. The path
// of a sound package, or nothing when none can be made (the caller says
// "正常に処理できません。データが破損している可能性があります。").
std::optional<std::string> PrepareCarrierPackage(const std::string& characterFolder);

// The character's id, line 0 of its scene.txt; nothing without one.
std::optional<std::string> CharacterIdOf(const std::string& characterFolder);

// "正常に処理できません。データが破損している可能性があります。"
const std::string& BrokenPackageText();

}  // namespace mf
