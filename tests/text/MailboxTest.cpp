// Reading address lists as RFC 5322 says and writing names back quoted or
// encoded only where they need it. The sender forms mail arrives with are
// pinned end to end by the reply's wire test.

#include "text/Mailbox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

using Mailboxes = std::vector<Mailbox>;

struct ListCase {
  const char* what;
  std::string text;
  Mailboxes expected;
};

TEST(MailboxTest, ListsSplitOnlyBetweenMailboxes) {
  const std::vector<ListCase> cases = {
      {"comma in quotes and in a comment", "\"Doe, John\" <j@x>, b@y (Bee, Queen)",
       {{"Doe, John", "j@x"}, {"Bee, Queen", "b@y"}}},
      // Stored values had their words decoded as a whole: a decoded name's
      // comma stands unquoted, and the name stays one.
      {"decoded name with a comma", "Doe, John <j@x>, root", {{"Doe, John", "j@x"}, {"", "root"}}},
      // A two-byte character ending in 0x5C ("表") is no escape.
      {"kanji ending in a backslash byte", "\"" + Sj("表") + "\" <h@x>", {{Sj("表"), "h@x"}}},
      {"groups keep their members", "Friends: a@x, \"B\" <b@y>;, c@z", {{"", "a@x"}, {"B", "b@y"}, {"", "c@z"}}},
      {"an empty group is nothing", "undisclosed-recipients:;", {}},
      {"comment inside the address", "Bob <b(work)@y.jp>", {{"Bob", "b@y.jp"}}},
      {"source route dropped", "<@relay.x:a@y>", {{"", "a@y"}}},
      {"quoted local part kept", "\"john doe\"@x", {{"", "\"john doe\"@x"}}},
      {"blanks around the at sign", "a @ x . jp", {{"", "a@x.jp"}}},
      {"line ends become blanks", "a@x.jp\r\nDATA, \"Eve\r\nBcc: e@x\" <e@y>",
       {{"", "a@x.jp DATA"}, {"Eve  Bcc: e@x", "e@y"}}},
      {"blanks inside brackets read as outside", "<a @ x . jp\r\nDATA>", {{"", "a@x.jp DATA"}}},
      {"unclosed bracket", "Alice <a@x", {{"Alice", "a@x"}}},
      {"a bracket opened inside another", "<m2@x\r\nRefs: <m1@x>", {{"", "m1@x"}}},
      {"a stray closing bracket", "a@x> (Alice)", {{"Alice", "a@x"}}},
      {"a quoted local part left open", "<\"a b> c", {{"", "\"a b> c\""}}},
      {"a lone lead byte in a name", "a@x (p\x93\")", {{"p?\"", "a@x"}}},
      {"a lone lead byte before the closing bracket", "<a@x\xEE>, b@y", {{"", "a@x\xEE"}, {"", "b@y"}}},
      {"nothing but separators", " , ,, ", {}},
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
      {"  ", "t@x"},
      {"Taro Yamada", "Taro Yamada <t@x>"},
      {" Taro ", "Taro <t@x>"},
      {"Taro \"T\" Y\\", "\"Taro \\\"T\\\" Y\\\\\" <t@x>"},
      {"Doe, John", "\"Doe, John\" <t@x>"},
      {"J. Doe", "\"J. Doe\" <t@x>"},
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
  // The address book and the picker write names the reader takes back whole.
  const Mailboxes mailboxes = {{"Doe, John", "j@x"}, {"A \"B\" \\C", "a@x"}, {Sj("表示") + " (x)", "h@x"}, {"", "b@x"}};
  std::string list;
  for (const Mailbox& mailbox : mailboxes) list += (list.empty() ? "" : ", ") + MailboxText(mailbox);
  EXPECT_EQ(ReadMailboxList(list), mailboxes);
  // Q words in a name write every special in hex (RFC 2047 section 5).
  EXPECT_EQ(FormatMailAddress("Caf\xE9, Bar", "t@x", HeaderLocale::Other), "=?ISO-8859-1?Q?Caf=E9=2C_Bar?= <t@x>");
}

}  // namespace
}  // namespace mf
