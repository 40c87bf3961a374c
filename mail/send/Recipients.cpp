#include "mail/send/Recipients.h"

#include "text/Mailbox.h"

namespace mf {

std::vector<Recipient> ParseRecipients(std::string_view text) {
  std::vector<Recipient> recipients;
  for (Mailbox& mailbox : ReadMailboxList(text)) {
    recipients.push_back({std::move(mailbox.name), std::move(mailbox.address)});
  }
  return recipients;
}

}  // namespace mf
