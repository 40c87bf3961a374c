// Reading mailboxes as RFC 5322 says and writing them back quoted only
// where a name needs it: the sender forms mail arrives with, recipient
// lists as typed, and the name written on the wire.

#include "text/Mailbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using Mailboxes = std::vector<Mailbox>;

// One sender form, read and then written each way the program writes it.
struct SenderCase {
  const char* what;
  std::string from;     // the stored (decoded) From value
  Mailbox read;         // what a reader sees
  std::string text;     // MailboxListText: the answer's recipient field
  std::string shown;    // ShownMailboxes: the viewer and the mail list
  std::string onWire;   // FormatMailAddress of what was read
};

TEST(MailboxTest, SenderFormsReadAndWriteBack) {
  const std::string encodedAlice = "=?ISO-2022-JP?B?GyRCJSIlaiU5GyhK?=";  // アリス
  const std::vector<SenderCase> cases = {
      {"quoted plain name", "\"Alice\" <a@x>", {"Alice", "a@x"}, "Alice <a@x>", "Alice <a@x>", "Alice <a@x>"},
      {"bare name", "Alice <a@x>", {"Alice", "a@x"}, "Alice <a@x>", "Alice <a@x>", "Alice <a@x>"},
      {"comma in quotes", "\"Doe, John\" <j@x>", {"Doe, John", "j@x"}, "\"Doe, John\" <j@x>", "Doe, John <j@x>",
       "\"Doe, John\" <j@x>"},
      {"escaped quotes", "\"A \\\"B\\\"\" <a@x>", {"A \"B\"", "a@x"}, "\"A \\\"B\\\"\" <a@x>", "A \"B\" <a@x>",
       "\"A \\\"B\\\"\" <a@x>"},
      {"decoded Japanese name", Sj("アリス") + " <a@x>", {Sj("アリス"), "a@x"}, Sj("アリス") + " <a@x>",
       Sj("アリス") + " <a@x>", encodedAlice + " <a@x>"},
      {"encoded word still in the text", encodedAlice + " <a@x>", {Sj("アリス"), "a@x"}, Sj("アリス") + " <a@x>",
       encodedAlice + " <a@x>", encodedAlice + " <a@x>"},
      {"name in a comment", "a@x (Alice)", {"Alice", "a@x"}, "Alice <a@x>", "Alice <a@x>", "Alice <a@x>"},
      {"brackets alone", "<a@x>", {"", "a@x"}, "a@x", "<a@x>", "a@x"},
      {"bare address", "a@x", {"", "a@x"}, "a@x", "a@x", "a@x"},
      {"comment beside a quoted name", "\"Alice\" (work) <a@x>", {"Alice", "a@x"}, "Alice <a@x>", "Alice <a@x>",
       "Alice <a@x>"},
      {"dotted name", "J. Doe <j@x>", {"J. Doe", "j@x"}, "\"J. Doe\" <j@x>", "J. Doe <j@x>", "\"J. Doe\" <j@x>"},
      // A two-byte character ending in 0x5C ("表") is no escape.
      {"kanji ending in a backslash byte", "\"" + Sj("表") + "\" <h@x>", {Sj("表"), "h@x"}, Sj("表") + " <h@x>",
       Sj("表") + " <h@x>", "=?ISO-2022-JP?B?GyRCST0bKEo=?= <h@x>"},
      // Stored values had their words decoded as a whole: the comma of a
      // decoded name stands unquoted, and the name stays one.
      {"decoded name with a comma", "Doe, John <j@x>", {"Doe, John", "j@x"}, "\"Doe, John\" <j@x>",
       "Doe, John <j@x>", "\"Doe, John\" <j@x>"},
  };
  for (const SenderCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Mailbox read = ReadMailbox(c.from);
    EXPECT_EQ(read, c.read);
    EXPECT_EQ(MailboxListText(c.from), c.text);
    EXPECT_EQ(ShownMailboxes(c.from), c.shown);
    EXPECT_EQ(FormatMailAddress(read.name, read.address), c.onWire);
    // What an answer puts into the recipient field reads back the same.
    EXPECT_EQ(ReadMailboxList(c.text), Mailboxes{c.read});
  }
}

struct ListCase {
  const char* what;
  std::string text;
  Mailboxes expected;
};

TEST(MailboxTest, ListsSplitOnlyBetweenMailboxes) {
  const std::vector<ListCase> cases = {
      {"names and bare addresses", Sj("山田") + " <y@x.jp>, b@y.jp", {{Sj("山田"), "y@x.jp"}, {"", "b@y.jp"}}},
      {"a bare comma keeps both", "a@x.jp,b@y.jp", {{"", "a@x.jp"}, {"", "b@y.jp"}}},
      {"empty items skipped", ", a@x.jp,, ,b@y.jp,", {{"", "a@x.jp"}, {"", "b@y.jp"}}},
      {"comma in quotes and in a comment", "\"Doe, John\" <j@x>, b@y (Bee, Queen)",
       {{"Doe, John", "j@x"}, {"Bee, Queen", "b@y"}}},
      {"groups keep their members", "Friends: a@x, \"B\" <b@y>;, c@z", {{"", "a@x"}, {"B", "b@y"}, {"", "c@z"}}},
      {"an empty group is nothing", "undisclosed-recipients:;", {}},
      {"comment inside the address", "Bob <b(work)@y.jp>", {{"Bob", "b@y.jp"}}},
      {"source route dropped", "<@relay.x:a@y>", {{"", "a@y"}}},
      {"quoted local part kept", "\"john doe\"@x", {{"", "\"john doe\"@x"}}},
      {"blanks around the at sign", "a @ x . jp", {{"", "a@x.jp"}}},
      {"local names stay addresses", "root, postmaster", {{"", "root"}, {"", "postmaster"}}},
      {"line ends become blanks", "a@x.jp\r\nDATA, \"Eve\r\nBcc: e@x\" <e@y>",
       {{"", "a@x.jp DATA"}, {"Eve  Bcc: e@x", "e@y"}}},
      {"unclosed quote runs to the end", "\"Alice <a@x>", {{"", "\"Alice <a@x>"}}},
      {"unclosed bracket", "Alice <a@x", {{"Alice", "a@x"}}},
      {"nothing but separators", " , ,, ", {}},
      {"empty", "", {}},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(ReadMailboxList(c.text), c.expected);
  }
}

TEST(MailboxTest, NamesOnTheWireAreQuotedOrEncodedOnlyAsNeeded) {
  struct Case {
    std::string name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", "t@x"},
      {"  ", "t@x"},
      {"Taro Yamada", "Taro Yamada <t@x>"},
      {" Taro ", "Taro <t@x>"},
      {"Taro \"T\" Y\\", "\"Taro \\\"T\\\" Y\\\\\" <t@x>"},
      {"Doe, John", "\"Doe, John\" <t@x>"},
      {"a(b)", "\"a(b)\" <t@x>"},
      {Sj("日本語"), "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhK?= <t@x>"},
      {Sj("日本語") + " Taro", "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhK?= Taro <t@x>"},
      // A special beside an encoded word: the whole name is encoded, since
      // an encoded word may not stand inside quotes.
      {"Doe, " + Sj("山田"), "=?ISO-2022-JP?B?RG9lLCAbJEI7M0VEGyhK?= <t@x>"},
      // A special inside an encoded word is safe there.
      {Sj("山田") + ", Taro", "=?ISO-2022-JP?B?GyRCOzNFRBsoSiw=?= Taro <t@x>"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatMailAddress(c.name, "t@x"), c.expected) << c.name;
  }
  // Q words in a name write every special in hex (RFC 2047 section 5).
  EXPECT_EQ(FormatMailAddress("Caf\xE9, Bar", "t@x", HeaderLocale::Other), "=?ISO-8859-1?Q?Caf=E9=2C_Bar?= <t@x>");
  EXPECT_EQ(FormatMailAddress("Caf\xE9", "t@x", HeaderLocale::Other), "=?ISO-8859-1?Q?Caf=E9?= <t@x>");
}

// The address book and the picker write a name that the reader takes back.
TEST(MailboxTest, MailboxTextReadsBackWhole) {
  const Mailboxes mailboxes = {
      {"Doe, John", "j@x"}, {"A \"B\" \\C", "a@x"}, {Sj("表示") + " (x)", "h@x"}, {"", "bare@x"}, {"Plain", "p@x"},
  };
  std::string list;
  for (const Mailbox& mailbox : mailboxes) list += (list.empty() ? "" : ", ") + MailboxText(mailbox);
  EXPECT_EQ(ReadMailboxList(list), mailboxes);
  EXPECT_EQ(MailboxText({"Plain", "p@x"}), "Plain <p@x>");
  EXPECT_EQ(MailboxText({"", "bare@x"}), "bare@x");
}

}  // namespace
}  // namespace mf
