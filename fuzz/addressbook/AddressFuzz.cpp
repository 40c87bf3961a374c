// Feeds arbitrary bytes to the address file reader and the stored-mail
// readers of answers and re-edits, and checks what they promise.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "addressbook/AddressFile.h"
#include "base/ListSorting.h"
#include "base/Text.h"
#include "base/ListSorting.h"
#include "mail/answer/QuoteColours.h"
#include "mail/answer/ReplyText.h"
#include "mail/send/ReEdit.h"
#include "mail/store/StoreRecords.h"
#include "text/Mailbox.h"

namespace {

// Names the broken promise's line, so a crash report says which one it was.
void Require(bool condition, int line = __builtin_LINE()) {
  if (condition) return;
  std::fprintf(stderr, "AddressFuzz.cpp:%d: promise broken\n", line);
  std::abort();
}

void CheckAddressFile(std::string_view file) {
  const auto records = mf::ParseAddressFile(file);
  Require(records.size() == mf::RecordSpans(file).size());
  std::string rewritten;
  for (const auto& record : records) {
    Require(record.icon >= 0 && record.icon < mf::kAddressIconCount);
    rewritten += mf::FormatAddressRecord(record);
  }
  // What is written reads back as the same entries, fields made single lines.
  const auto again = mf::ParseAddressFile(rewritten);
  Require(again.size() == records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    Require(again[i] == (mf::AddressRecord{mf::SingleLine(records[i].name), mf::SingleLine(records[i].address),
                                           mf::SingleLine(records[i].contact), records[i].icon}));
  }
}

// The entry offered for a sender is its first mailbox as every address
// field is read (quotes resolved, comments dropped), and no control
// character of the sender's line reaches it.
void CheckSender(std::string_view sender) {
  const mf::AddressRecord entry = mf::SenderEntry(sender);
  for (const std::string* field : {&entry.name, &entry.address}) {
    for (const char c : *field) Require(static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
  }
  // The entry as the recipient field shows it reads back as the same entry.
  if (!entry.address.empty()) {
    const mf::Mailbox again = mf::ReadMailbox(mf::MailboxText({entry.name, entry.address}));
    Require(again.name == entry.name && again.address == entry.address);
  }
}

void CheckStoredMail(std::string_view text) {
  const mf::StoredMailValues values = mf::ParseStoredMail(text);
  Require(values.quotedLines >= 1);
  Require(values.quotedText.size() >= 4 && values.quotedText.compare(values.quotedText.size() - 2, 2, "\r\n") == 0);
  const mf::ComposeFill reply = mf::MakeReply(values);
  Require(reply.subject.size() >= values.subject.size());
  const mf::ReEditValues edited = mf::ReadForReEdit(text);
  Require(edited.text.size() <= text.size());
  Require(mf::QuoteColoursByLine(text).size() == mf::SplitLines(text).size());
}

void CheckFolding(std::string_view a, std::string_view b) {
  const int direct = mf::CompareFoldingAscii(a, b);
  const int keys = mf::FoldAscii(a).compare(mf::FoldAscii(b));
  Require((direct > 0) - (direct < 0) == (keys > 0) - (keys < 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckAddressFile(bytes);
  CheckSender(bytes);
  CheckStoredMail(bytes);
  CheckFolding(bytes.substr(0, size / 2), bytes.substr(size / 2));
  return 0;
}
