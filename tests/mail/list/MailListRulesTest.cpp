// The mail list's rules without its window: the sender offered to the
// address book, the header display modes and the commands per folder.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "mail/list/MailListRules.h"

namespace mf {
namespace {

// The address book is offered the name a reader sees, never the quotes of
// the header ("送信者をアドレス帳に追加").
TEST(SplitSenderTest, OffersTheDisplayNameAndTheBareAddress) {
  struct Case {
    std::string line;
    SenderParts expected;
  };
  const Case cases[] = {
      {Sj("山田 花子 <hanako@example.jp>"), {Sj("山田 花子"), "hanako@example.jp"}},
      {"hanako@example.jp", {"", "hanako@example.jp"}},
      {"hanako@example.jp\r", {"", "hanako@example.jp"}},
      {"<only@x.jp>", {"", "only@x.jp"}},
      {"\"Alice\" <alice@example.test>\r", {"Alice", "alice@example.test"}},
      {"\"A \\\"B\\\"\" <a@x>", {"A \"B\"", "a@x"}},
      {"a@x (Alice)", {"Alice", "a@x"}},
      {"", {"", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(SplitSender(c.line), c.expected);
  }
}

TEST(HeaderDisplayTest, ModesShowTheTextTheMainFieldsOrEverything) {
  const std::string stored =
      "Return-Path: <a@x.jp>\r\nDate: Tue, 5 Mar 2024\r\nFrom: a@x.jp\r\nTo: b@y.jp\r\nSubject: hi\r\n"
      "Content-Type: text/plain\r\nX-Character: \r\n\r\nline 1\r\nline 2\r\n";
  EXPECT_EQ(HeaderDisplay(stored, HeaderMode::TextOnly), (std::vector<std::string>{"line 1\r\nline 2\r\n"}));
  EXPECT_EQ(HeaderDisplay(stored, HeaderMode::MainFields),
            (std::vector<std::string>{"Subject: hi", "Date: Tue, 5 Mar 2024\r\nFrom: a@x.jp", "line 1\r\nline 2\r\n"}));
  EXPECT_EQ(HeaderDisplay(stored, HeaderMode::Whole), (std::vector<std::string>{stored}));

  // A written mail has no Content-Type and its To before its Date: each
  // piece ends where the block ends instead of vanishing or running wild.
  const std::string written = "Subject: s\r\nFrom: me\r\nDate: d\r\nTo: you\r\nX-Character: \r\n\r\nt";
  EXPECT_EQ(HeaderDisplay(written, HeaderMode::MainFields),
            (std::vector<std::string>{"Subject: s\r\nFrom: me\r\nDate: d\r\nTo: you\r\nX-Character: ", "Date: d", "t"}));
  // No header block at all.
  EXPECT_EQ(HeaderDisplay("just text", HeaderMode::TextOnly), (std::vector<std::string>{""}));

  HeaderMode mode = HeaderMode::TextOnly;
  for (int press = 0; press < 3; ++press) mode = NextHeaderMode(mode);
  EXPECT_EQ(mode, HeaderMode::TextOnly);
}

TEST(CommandsForTest, EachFolderOffersItsOwnCommands) {
  EXPECT_EQ(CommandsFor(FolderKind::Inbox), (MailCommands{true, true, false, true, true}));
  EXPECT_EQ(CommandsFor(FolderKind::Trash), (MailCommands{false, false, true, false, false}));
  EXPECT_EQ(CommandsFor(FolderKind::Import), (MailCommands{false, false, true, true, true}));
  for (FolderKind folder : {FolderKind::Sent, FolderKind::Outbox, FolderKind::Kept}) {
    EXPECT_EQ(CommandsFor(folder), (MailCommands{false, false, true, true, false}));
  }
}

}  // namespace
}  // namespace mf
