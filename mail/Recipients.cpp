#include "mail/Recipients.h"

#include "base/Text.h"

namespace mf {

namespace {

Recipient ParseItem(std::string item) {
  // An item goes into a command line and a header line: a control byte
  // (a pasted line end) must not start a command or header of its own.
  for (char& c : item) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  item = Trim(item);
  if (!item.empty() && item.back() == '>') item.pop_back();
  Recipient recipient;
  const std::size_t open = item.find('<');
  if (open == std::string::npos) {
    recipient.address = item;
  } else {
    recipient.name = item.substr(0, open);
    recipient.address = item.substr(open + 1);
  }
  // A comment such as "(home)" is no part of the address a server takes.
  const std::size_t comment = recipient.address.find('(');
  if (comment != std::string::npos) {
    const std::size_t close = recipient.address.find(')', comment);
    if (close != std::string::npos) recipient.address.erase(comment, close - comment + 1);
  }
  recipient.address = Trim(recipient.address);
  return recipient;
}

}  // namespace

// Items are cut at every comma. The old rule of skipping the character after
// each comma (meant for the blank of ", ") ate the first letter of an address
// typed after a bare comma; trimming each item serves both forms.
std::vector<Recipient> ParseRecipients(std::string_view text) {
  std::vector<Recipient> recipients;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::size_t end = comma == std::string_view::npos ? text.size() : comma;
    const std::string item = Trim(text.substr(start, end - start));
    if (!item.empty()) {
      Recipient recipient = ParseItem(item);
      if (!recipient.address.empty()) recipients.push_back(std::move(recipient));
    }
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return recipients;
}

}  // namespace mf
