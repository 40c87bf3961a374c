// The name a save dialog reports: the extension the user typed, else the
// chosen filter entry's, else the caller's default.

#include "platform/FileFilters.h"

#include <gtest/gtest.h>

#include <string>

#include "base/ShiftJis.h"

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
  // The usual choices are pinned on the real dialog; these are the edges.
  const Case cases[] = {
      {"/home/u/mail.EML", 1, "txt", "/home/u/mail.EML"},
      {"/home/u/mail.", 0, "", "/home/u/mail.eml"},
      {"/home/u/.hidden", 0, "", "/home/u/.hidden.eml"},
      {"/home/u.d/mail", 0, "", "/home/u.d/mail.eml"},  // a dot in a folder is no extension
      {"/home/u/mail", 2, "", "/home/u/mail"},          // "*.*" and no default
      {"/home/u/mail", 7, "txt", "/home/u/mail.txt"},   // no such entry
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WithChosenExtension(c.path, kMailFilter, c.entry, c.defaultExtension), c.expected)
        << c.path << " entry " << c.entry;
  }
  EXPECT_EQ(FilterExtension("A|*.a;*.b|B|*.b", 0), "");  // several patterns name none
}

}  // namespace
}  // namespace mf::platform
