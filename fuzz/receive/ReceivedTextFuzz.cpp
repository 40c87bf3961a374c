#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "mail/receive/ReceivedHeader.h"
#include "mail/receive/ReceivedText.h"
#include "mail/store/StoreRecords.h"
#include "mail/store/StoredMail.h"

namespace {

const char* const kCharsets[] = {"", "utf-8", "iso-2022-jp", "euc-jp", "shift_jis", "iso-8859-1", "windows-1252",
                                 "koi8-r", "x-unknown-charset"};

}  // namespace

// The first byte picks a charset; the rest is read as a header line, as a
// body in that charset and as HTML. Beyond the sanitizers, checks that what
// the inbox would store from the header is one line that cannot pass for
// one of the store's own lines or end its record.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const char* charset = kCharsets[data[0] % (sizeof kCharsets / sizeof kCharsets[0])];
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);

  mf::ReceivedMail mail;
  mf::TakeReceivedHeaderLine(input, mail);
  const std::string record = mf::FormatBodyRecord(mf::InboxBodyRecord(mail));
  const std::size_t blank = record.find("\r\n\r\n");
  if (blank == std::string::npos) std::abort();
  int characterLines = 0;
  for (const auto& line : mf::SplitLines(record.substr(0, blank))) {
    if (mf::StartsWithIgnoreAsciiCase(line, "x-attachments-file")) std::abort();
    if (mf::StartsWithIgnoreAsciiCase(line, "x-character:")) ++characterLines;
  }
  if (characterLines != 1) std::abort();
  if (record.find("\x01") != record.size() - 4) std::abort();  // only the separator line

  const std::string text = mf::BodyTextToProgramCode(input, charset);
  const std::string html = mf::HtmlToText(text);
  if (html.size() > text.size() * 4 + 16) std::abort();  // entities never grow text without bound
  const std::vector<std::string> footer = {"--", "a", "b", "c", "d", "e"};
  if (mf::WithoutMailFooter(text, footer).size() > text.size() * 2 + 2) std::abort();
  return 0;
}
