#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "mail/send/Recipients.h"

namespace mf {
namespace {

struct RecipientCase {
  const char* what;
  std::string text;
  std::vector<Recipient> expected;
};

class RecipientsTest : public ::testing::TestWithParam<RecipientCase> {};

TEST_P(RecipientsTest, Parses) {
  EXPECT_EQ(ParseRecipients(GetParam().text), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Lists, RecipientsTest,
    ::testing::Values(
        RecipientCase{"a name, then a bare address",
                      Sj("山田 <y@x.jp>, b@y.jp"),
                      {{Sj("山田"), "y@x.jp"}, {"", "b@y.jp"}}},
        RecipientCase{"a bare comma keeps the second address whole", "a@x.jp,b@y.jp",
                      {{"", "a@x.jp"}, {"", "b@y.jp"}}},
        RecipientCase{"blanks around items are dropped", "  a@x.jp  ,   b@y.jp ",
                      {{"", "a@x.jp"}, {"", "b@y.jp"}}},
        RecipientCase{"empty items are skipped", ", a@x.jp,, ,b@y.jp,",
                      {{"", "a@x.jp"}, {"", "b@y.jp"}}},
        RecipientCase{"brackets without a name", "<a@x.jp>", {{"", "a@x.jp"}}},
        RecipientCase{"a comment is no part of the address", "a@x.jp (home), Bob <b(work)@y.jp>",
                      {{"home", "a@x.jp"}, {"Bob", "b@y.jp"}}},
        RecipientCase{"a comma in quotes separates nothing", "\"Doe, John\" <j@x>, \"A \\\"B\\\"\" <a@x>",
                      {{"Doe, John", "j@x"}, {"A \"B\"", "a@x"}}},
        RecipientCase{"a line end inside an item starts no command", "a@x.jp\r\nDATA",
                      {{"", "a@x.jp DATA"}}},
        RecipientCase{"nothing but separators", " , ,, ", {}},
        RecipientCase{"empty", "", {}}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace mf
