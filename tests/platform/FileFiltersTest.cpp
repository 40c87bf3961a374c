// The name a save dialog reports: the extension the user typed, else the
// chosen filter entry's, else the caller's default.

#include "platform/FileFilters.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ShiftJis.h"
#include "platform/Dialogs.h"

namespace mf::platform {
namespace {

const std::string kMailFilter = Sj("Outlookメール(*.eml)|*.eml|テキストファイル(*.txt)|*.txt|全てのファイル(*.*)|*.*");

TEST(FileFiltersTest, ANameWithoutExtensionTakesTheChosenEntrysOne) {
  struct Case {
    std::string path;
    int entry;
    std::string defaultExtension;
    std::string expected;
  };
  const Case cases[] = {
      {"/home/u/mail", 0, "txt", "/home/u/mail.eml"},
      {"/home/u/mail", 1, "", "/home/u/mail.txt"},
      {"/home/u/mail", 2, "txt", "/home/u/mail.txt"},  // "*.*" names none
      {"/home/u/mail", 2, "", "/home/u/mail"},
      {"/home/u/mail.txt", 0, "txt", "/home/u/mail.txt"},  // typed wins
      {"/home/u/mail.EML", 1, "txt", "/home/u/mail.EML"},
      {"/home/u/mail.", 0, "", "/home/u/mail.eml"},
      {"/home/u/.hidden", 0, "", "/home/u/.hidden.eml"},
      {"/home/u.d/mail", 0, "", "/home/u.d/mail.eml"},  // a dot in a folder is no extension
      {"/home/u/mail", 7, "txt", "/home/u/mail.txt"},   // no such entry
      {"/home/u/mail", -1, "", "/home/u/mail"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithChosenExtension(c.path, kMailFilter, c.entry, c.defaultExtension), c.expected)
        << c.path << " entry " << c.entry;
  }
  EXPECT_EQ(FilterExtension("A|*.a;*.b|B|*.b", 0), "");
  EXPECT_EQ(FilterExtension("A|*.a;*.b|B|*.b", 1), "b");
}

TEST(FileFiltersTest, TheFakeDialogTreatsAScriptedEntryAsTheRealOneDoes) {
  FakeDialogs dialogs;
  dialogs.paths = {"/tmp/a", "/tmp/b"};
  dialogs.chosenFilters = {0};
  EXPECT_EQ(dialogs.SaveFile(kMailFilter, "", "txt"), "/tmp/a.eml");
  EXPECT_EQ(dialogs.SaveFile(kMailFilter, "", "txt"), "/tmp/b");  // nothing scripted: as given
}

}  // namespace
}  // namespace mf::platform
