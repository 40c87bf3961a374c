#pragma once

#include <string>

#include "roster/CharacterRecord.h"
#include "roster/EditorOpening.h"

namespace mf {

class Clock;
class RandomGenerator;
namespace platform {
class Dialogs;
}

// What the hut's character commands need from the character editor window.
class CharacterEditorLauncher {
 public:
  virtual ~CharacterEditorLauncher() = default;
  // Fills the editor from `opening` and shows it modally. The editor
  // registers the character with the hut when its changes are accepted.
  virtual void EditCharacter(const EditorOpening& opening) = 0;
};

// The hut's three commands that bring a character into being through the
// editor: a new one from nothing, the evolution of a listed one (same
// folder and pictures, new identity) and a child (a new folder pair with
// copies of its parent's pictures and script). Each new identity is made
// from the user's mail address, which must hold "@".
class CharacterMaking {
 public:
  // `programFolder` ends with a separator.
  CharacterMaking(std::string programFolder, const Clock& clock, RandomGenerator& random,
                  platform::Dialogs& dialogs);

  void NewCharacter(const std::string& senderAddress, CharacterEditorLauncher& editor);
  void Evolve(const std::string& caption, const CharacterRecord& character, const std::string& senderAddress,
              CharacterEditorLauncher& editor);
  void GiveBirth(const std::string& parentCaption, const CharacterRecord& parent, const std::string& senderAddress,
                 CharacterEditorLauncher& editor);

 private:
  bool AddressUsable(const std::string& senderAddress);
  std::string NewId(const std::string& senderAddress);

  std::string programFolder_;
  const Clock& clock_;
  RandomGenerator& random_;
  platform::Dialogs& dialogs_;
};

}  // namespace mf
