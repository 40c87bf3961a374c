#pragma once

#include <string>
#include <string_view>
#include <vector>

// Mailboxes of address fields (RFC 5322 section 3.4) in the program's own
// text: the stored From and To values, the recipient fields the user types
// and the address book's entries, all Shift_JIS.
namespace mf {

struct Mailbox {
  std::string name;     // the display name as a reader sees it; may be empty
  std::string address;  // the address alone, without its name
  bool operator==(const Mailbox&) const = default;
};

// Reads an address list ("Alice <a@x>, \"Doe, John\" <j@x>, b@y"):
// quoted strings are unquoted and their escapes resolved, comments
// dropped, encoded words decoded, words joined by single blanks; a group's
// name is dropped and its members kept; a comment after a bare address
// stands for its name ("a@x (Alice)", as mail of the RFC 822 days wrote
// it). Two-byte characters are read whole, so their second byte is never
// taken for a quote, backslash or bracket. Items without an address are
// skipped, and no name or address ever holds a control character.
//
// Stored values had their encoded words decoded as a whole, so a name that
// held a comma may stand unquoted ("Doe, John <j@x>"): items without "@"
// and without brackets right before an item with brackets are read as the
// front of its name.
std::vector<Mailbox> ReadMailboxList(std::string_view text);

// The first mailbox of a field that names one (From), or an empty one.
Mailbox ReadMailbox(std::string_view text);

// The mailbox as the user's recipient fields and the address book hold it:
// "name <address>", the name quoted and escaped only where RFC 5322 needs it
// (a special such as "," "\"" "(" or "."), its two-byte characters as they
// are; the bare address when there is no name. ReadMailboxList reads it back.
std::string MailboxText(const Mailbox& mailbox);

// Every mailbox of `text` as MailboxText writes it, joined by ", ": what an
// answer puts into the recipient field.
std::string MailboxListText(std::string_view text);

// An address field as the user is shown it: unchanged unless it holds
// quotes, escapes or comments, else each mailbox as "name <address>" with
// the name as read, joined by ", ".
std::string ShownMailboxes(std::string_view text);
// The same without a copy for a text shown as it is: false then, else true
// with the text to show in `shown`.
bool ShownMailboxesInto(std::string_view text, std::string& shown);

// True when `name` can stand in a header as it is (RFC 5322 atext and
// blanks; bytes of 0x80 and above count as text); otherwise it needs quotes.
bool IsPlainPhrase(std::string_view name);
// `name` in double quotes with "\"" and "\\" escaped (two-byte characters
// left whole).
std::string QuotedPhrase(std::string_view name);

}  // namespace mf
