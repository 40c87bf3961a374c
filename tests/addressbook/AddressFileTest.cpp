#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addressbook/AddressFile.h"
#include "base/ShiftJis.h"
#include "platform/Files.h"

namespace mf {
namespace {

const std::string kSep = "\x01\x01";

class AddressFileTest : public ::testing::Test {
 protected:
  std::string File() const { return platform::ReadFile(book.Path()).value_or("<missing>"); }
  void Write(const std::string& bytes) {
    ASSERT_TRUE(platform::CreateFolders(home.Path() + "FileKeep/"));
    ASSERT_TRUE(platform::WriteFileAtomic(book.Path(), bytes));
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& record : book.Load()) names.push_back(record.name);
    return names;
  }

  platform::TemporaryFolder home;
  AddressFile book{home.Path()};
};

TEST_F(AddressFileTest, MissingFileIsEmptyAndTheFirstEntryCreatesIt) {
  EXPECT_EQ(book.Path(), home.Path() + "FileKeep/address.txt");
  EXPECT_TRUE(book.Load().empty());
  EXPECT_FALSE(book.ReadRecord(0));
  EXPECT_TRUE(book.Delete({0}));  // nothing to delete is no failure
  EXPECT_FALSE(platform::FileExists(book.Path()));
  ASSERT_TRUE(book.Append({Sj("山田"), "y@x.jp", "03-1234", 3}));
  EXPECT_EQ(File(), Sj("山田") + "\r\ny@x.jp\r\n03-1234\r\n3\r\n" + kSep + "\r\n");
}

TEST_F(AddressFileTest, AppendRewriteAndDeleteKeepTheOtherRecordsByteForByte) {
  for (const char* name : {"A", "B", "C", "D"}) ASSERT_TRUE(book.Append({name, std::string(name) + "@x", "", 1}));
  ASSERT_TRUE(book.Rewrite(2, {"C2", "c2@x", "tel", 10}));
  EXPECT_EQ(book.ReadRecord(2), (AddressRecord{"C2", "c2@x", "tel", 10}));
  EXPECT_FALSE(book.Rewrite(4, {"E", "", "", 0}));  // no record 4: nothing written
  // Deleting in any order, with a duplicate and an index past the end.
  ASSERT_TRUE(book.Delete({0, 3, 0, 9}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"B", "C2"}));
  EXPECT_EQ(File(), "B\r\nB@x\r\n\r\n1\r\n" + kSep + "\r\nC2\r\nc2@x\r\ntel\r\n10\r\n" + kSep + "\r\n");
  ASSERT_TRUE(book.Delete({1, 0}));
  EXPECT_EQ(File(), "");
}

TEST_F(AddressFileTest, ForeignLinesLoadSafely) {
  struct Case {
    const char* what;
    std::string file;
    std::vector<AddressRecord> expected;
  };
  const std::vector<Case> cases = {
      {"icon not a number", "a\r\nb\r\nc\r\nx\r\n" + kSep + "\r\n", {{"a", "b", "c", 0}}},
      {"icon out of range", "a\r\nb\r\nc\r\n11\r\n" + kSep + "\r\na\r\nb\r\nc\r\n-1\r\n" + kSep + "\r\n",
       {{"a", "b", "c", 0}, {"a", "b", "c", 0}}},
      {"short record", "a\r\n" + kSep + "\r\n", {{"a", "", "", 0}}},
      // An extra line stays inside its record: the next record is intact.
      {"extra line", "a\r\nb\r\nc\r\n2\r\nextra\r\n" + kSep + "\r\nd\r\ne\r\nf\r\n4\r\n" + kSep + "\r\n",
       {{"a", "b", "c", 2}, {"d", "e", "f", 4}}},
      {"LF only, no final separator", "a\nb\nc\n5\n" + kSep + "\nd\ne\n", {{"a", "b", "c", 5}, {"d", "e", "", 0}}},
      {"empty fields", "\r\n\r\n\r\n0\r\n" + kSep + "\r\n", {{"", "", "", 0}}},
  };
  for (const Case& c : cases) {
    Write(c.file);
    EXPECT_EQ(book.Load(), c.expected) << c.what;
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(book.ReadRecord(i), c.expected[i]) << c.what;
  }
}

TEST_F(AddressFileTest, FieldsStaySingleLinesAndAppendStartsOnAFreshLine) {
  Write("a\r\nb\r\nc\r\n1\r\n" + kSep);  // lost its last line end
  ASSERT_TRUE(book.Append({"two\r\nlines", "x" + kSep + "y", "z\n", 99}));
  auto records = book.Load();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (AddressRecord{"a", "b", "c", 1}));
  EXPECT_EQ(records[1], (AddressRecord{"two  lines", "x  y", "z ", 0}));
}

// The name the address book is offered is the one a reader sees: never
// the quotes, the blanks around it or a comment's parentheses.
TEST(SenderEntry, ReadsTheDisplayNameAndTheBareAddress) {
  struct Case {
    std::string sender;
    std::string name;
    std::string address;
  };
  const std::vector<Case> cases = {
      {Sj("山田 <yamada@example.jp>"), Sj("山田"), "yamada@example.jp"},
      {"yamada@example.jp", "", "yamada@example.jp"},
      {"yamada@example.jp\r", "", "yamada@example.jp"},
      {"\"Alice\" <a@x>", "Alice", "a@x"},
      {"\"Y, T\" <y@x>\r", "Y, T", "y@x"},
      {"a@x (Alice)", "Alice", "a@x"},
      {"<y@x>", "", "y@x"},
      {"", "", ""},
      // A bracket left open before another opens is dropped with what it held.
      {"a <b <c>", "a", "c"},
  };
  for (const Case& c : cases) {
    AddressRecord entry = SenderEntry(c.sender);
    EXPECT_EQ(entry.name, c.name) << c.sender;
    EXPECT_EQ(entry.address, c.address) << c.sender;
    EXPECT_EQ(entry.icon, 0);
  }
}

}  // namespace
}  // namespace mf
