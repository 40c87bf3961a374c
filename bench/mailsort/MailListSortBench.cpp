// Times sorting a large mail list by each column against the store's own
// reading of the list entries in the same run, and prints the ratios. The
// list is meant to sort in no more time than it takes to read.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/ShiftJis.h"
#include "mail/MailListSort.h"
#include "mail/MailStore.h"
#include "platform/Files.h"

namespace {

constexpr int kMails = 100000;
constexpr int kRuns = 7;
constexpr double kMostRatio = 1.0;

using Clock = std::chrono::steady_clock;

double BestMilliseconds(const std::function<void()>& prepare, const std::function<void()>& work) {
  double best = 1e300;
  for (int run = 0; run < kRuns; ++run) {
    prepare();
    const auto start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  return best;
}

// A header file of `kMails` records with varied subjects, senders and dates,
// in the form the store writes.
std::string MakeHeaders(bool received) {
  static const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const std::string status = received ? mf::Sj("未読") : mf::Sj("送信済み");
  const std::string subject = mf::Sj("会議の件について");
  std::string file;
  unsigned seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  for (int i = 0; i < kMails; ++i) {
    char date[64];
    std::snprintf(date, sizeof date, "%s, %u %s %u %02u:%02u:%02u +0900", days[next() % 7], next() % 28 + 1,
                  months[next() % 12], 1995 + next() % 30, next() % 24, next() % 60, next() % 60);
    file += status + "\r\n";
    file += (next() % 2 ? "Re: " : "") + subject + std::to_string(next() % 100000) + "\r\n";
    file += "sender" + std::to_string(next() % 5000) + "@example.jp\r\n";
    file += std::string(date) + "\r\n";
    file += "me@example.jp\r\n";
    file += (next() % 10 == 0 ? "folder" + std::to_string(i) : std::string()) + "\r\n";
    file += "\x01\x01\r\n";
  }
  return file;
}

}  // namespace

int main() {
  mf::platform::TemporaryFolder home;
  mf::MailStore store(home.Path());
  if (!store.Prepare()) return 1;
  bool fast = true;
  for (mf::FolderKind folder : {mf::FolderKind::Inbox, mf::FolderKind::Sent}) {
    if (!mf::platform::WriteFileAtomic(store.HeaderPath(folder), MakeHeaders(folder == mf::FolderKind::Inbox))) {
      return 1;
    }
    std::vector<mf::MailListEntry> entries;
    const double read = BestMilliseconds([&] { entries.clear(); }, [&] { entries = store.ReadListEntries(folder); });
    std::printf("%s: reading %d list entries %.1f ms\n", mf::FolderKeyword(folder), kMails, read);
    for (mf::MailColumn column : {mf::MailColumn::Subject, mf::MailColumn::Second, mf::MailColumn::Date}) {
      std::vector<std::size_t> order;
      const double sort = BestMilliseconds(
          [&] {
            order.resize(entries.size());
            std::iota(order.rbegin(), order.rend(), 0);  // newest first, as the list opens
          },
          [&] { mf::SortMailList(entries, column, false, order); });
      const double ratio = sort / read;
      fast = fast && ratio <= kMostRatio;
      std::printf("  sorting by column %d: %.1f ms, %.2fx the reading (at most %.1fx)\n", static_cast<int>(column),
                  sort, ratio, kMostRatio);
    }
  }
  std::printf("%s\n", fast ? "PASS" : "SLOWER THAN ALLOWED");
  return 0;
}
