#pragma once

#include <string>
#include <vector>

namespace mf {

// The hut's character lists. Three of them are mirrored in files of the
// program folder, one line per entry, rewritten whole on every save:
//   charDB    - no file; two lines per character folder: number, then id
//   VisibleDB - visibleDB.dat: ids of the characters listed in the hut
//   outDB     - outDB.dat: ids of the characters out on the desktop
//   resurrDB  - resurrDB.dat: two lines per character away with a mail:
//               id, then its return time
// Lookups compare whole lines exactly and act on the first match.
class CharacterRegistry {
 public:
  static constexpr const char* kVisibleFile = "visibleDB.dat";
  static constexpr const char* kOutFile = "outDB.dat";
  static constexpr const char* kResurrFile = "resurrDB.dat";

  // `programFolder` ends with a separator.
  explicit CharacterRegistry(std::string programFolder);

  const std::string& ProgramFolder() const { return programFolder_; }
  std::string FilePath(const char* name) const { return programFolder_ + name; }

  // Forgets charDB, VisibleDB and outDB (the start of the hut's start-up).
  void ClearLists();
  // Loads VisibleDB, outDB and resurrDB from their files; a list whose
  // file is missing is left as it is.
  void LoadLists();

  // Mends lists that contradict each other, as earlier versions could
  // leave them: a character listed in the hut is not away with a mail (a
  // mail brought it back early), and one that is not listed is not out on
  // the desktop (it left with a mail from there). Saves what it changes.
  void DropContradictions();

  bool SaveVisible() const;
  bool SaveOut() const;
  bool SaveResurr() const;

  bool IsVisible(const std::string& id) const { return Contains(VisibleDB, id); }
  bool IsOut(const std::string& id) const { return Contains(outDB, id); }

  static bool Contains(const std::vector<std::string>& list, const std::string& line);
  // Removes the first line equal to `line`; false when there is none.
  static bool RemoveFirst(std::vector<std::string>& list, const std::string& line);

  std::vector<std::string> charDB;
  std::vector<std::string> VisibleDB;
  std::vector<std::string> outDB;
  std::vector<std::string> resurrDB;

 private:
  bool Save(const char* name, const std::vector<std::string>& list) const;
  void Load(const char* name, std::vector<std::string>& list) const;

  std::string programFolder_;
};

}  // namespace mf
