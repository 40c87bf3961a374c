#include <iostream>
#include <string>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "mail/store/MailStore.h"
#include "tools/mftool/Command.h"

namespace mf::tool {
namespace {

constexpr const char* kUsage =
    "usage: mftool store inbox|outbox|sent|kept|trash|import list|show N [--sjis]\n";

// The terminal gets UTF-8 unless the caller wants the stored bytes.
std::string Out(const std::string& sjis, bool raw) { return raw ? sjis : SjisToUtf8(sjis); }

}  // namespace

// The program folder's mail as the mail list shows it: newest first, one
// line per mail with its record index, status, subject, second column and
// date text, separated by tabs.
int RunStore(const Arguments& arguments) {
  if (arguments.size() < 2) {
    std::cerr << kUsage;
    return 2;
  }
  auto folder = FolderFromKeyword(arguments[0]);
  if (!folder) {
    std::cerr << kUsage;
    return 2;
  }
  const bool raw = HasFlag(arguments, "--sjis");
  MailStore store;
  if (arguments[1] == "list") {
    auto records = store.ReadHeaderRecords(*folder);
    for (std::size_t i = records.size(); i-- > 0;) {
      auto entry = MakeMailListEntry(*folder, records[i], i);
      std::cout << i << '\t' << Out(records[i].status, raw) << '\t' << Out(entry.subject, raw) << '\t'
                << Out(entry.secondColumn, raw) << '\t' << Out(entry.dateText, raw)
                << (entry.data.hasAttachment ? "\t+" : "") << '\n';
    }
    return 0;
  }
  if (arguments[1] == "show" && arguments.size() >= 3 && IsInteger(arguments[2]) &&
      ToIntegerOr(arguments[2], -1) >= 0) {
    const auto index = static_cast<std::size_t>(ToIntegerOr(arguments[2], 0));
    if (index >= store.RecordCount(*folder)) {
      std::cerr << "mftool store: no mail " << index << " in " << arguments[0] << "\n";
      return 1;
    }
    std::cout << Out(store.ReadBodyRecord(*folder, index), raw) << '\n';
    return 0;
  }
  std::cerr << kUsage;
  return 2;
}

}  // namespace mf::tool
