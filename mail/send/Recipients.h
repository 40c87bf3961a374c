#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mf {

// One item of a recipient list: the display name as read (quotes and
// escapes resolved, no blanks around it) and the bare address.
struct Recipient {
  std::string name;
  std::string address;
  bool operator==(const Recipient&) const = default;
};

// Splits a recipient text ("name <address>, \"Doe, John\" <j@x>, address")
// into its items as an RFC 5322 address list is read: commas inside quotes
// or comments separate nothing, empty items are skipped, a comment is no
// part of an address, and no item holds a control character, so none can
// start a command or header line of its own.
std::vector<Recipient> ParseRecipients(std::string_view text);

}  // namespace mf
