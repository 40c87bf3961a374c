#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// One item of a recipient list. `name` keeps the blank that stood between
// it and the bracketed address ("山田 " of "山田 <y@x.jp>").
struct Recipient {
  std::string name;
  std::string address;
  bool operator==(const Recipient&) const = default;
};

// Splits a recipient text ("name <address>, address") into its items.
// Items are separated by commas with or without blanks; blanks around an
// item are dropped and empty items (a leading comma, two commas in a row)
// are skipped. An item without "<" is a bare address. A comment in
// parentheses inside the address is removed.
std::vector<Recipient> ParseRecipients(std::string_view text);

}  // namespace mf
