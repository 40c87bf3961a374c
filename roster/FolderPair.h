#pragma once

#include <optional>
#include <string>

namespace mf {

// A character's folder pair: "char" + N and its mirror "char" + N + "r".
struct FolderPair {
  int number = 0;
  std::string main;    // no trailing separator
  std::string mirror;  // no trailing separator
};

// Creates the lowest free folder pair of the program folder (which ends
// with a separator), counting N from 1. A number counts as free only when
// neither folder exists, so a stray mirror folder is never taken over.
// Nothing when the folders cannot be made; nothing is left behind then.
std::optional<FolderPair> CreateNextFolderPair(const std::string& programFolder);

}  // namespace mf
