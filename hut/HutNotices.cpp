#include "hut/HutNotices.h"

#include <cstdio>

#include "base/ShiftJis.h"
#include "platform/Files.h"
#include "platform/ProgramFolder.h"

namespace mf {
namespace {

constexpr char kGuideInFolder[] = "help/index.html";

bool SameDate(const DateTime& a, const DateTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

std::string WithSeparator(const std::string& folder) {
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

}  // namespace

std::string ProgramTitle() { return Sj("モフタンメール"); }

std::string DepartureNoticeText(const std::string& name, const DateTime& back, const DateTime& now) {
  char clock[16];
  std::snprintf(clock, sizeof clock, "%d:%02d", back.hour, back.minute);
  std::string when;
  if (SameDate(back, now)) {
    when = clock;
  } else if (SameDate(back, FromDayCount(ToDayCount(now) + 1.0))) {
    when = Sj("明日の") + clock;
  } else {
    when = std::to_string(back.month) + Sj("月") + std::to_string(back.day) + Sj("日の") + clock;
  }
  const std::string who = name.empty() ? Sj("キャラクター") : name;
  return who + Sj("がメールを届けに出かけました。") + when + Sj("ごろ戻ります。");
}

std::string FindUserGuide(const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    const std::string path = WithSeparator(folder) + kGuideInFolder;
    if (platform::FileExists(path)) return path;
  }
  return {};
}

std::vector<std::string> UserGuideFolders(const std::string& executableFolder) {
  return {WithSeparator(executableFolder), platform::StarterFolderFor(executableFolder)};
}

std::string ExpectedUserGuide(const std::string& executableFolder) {
  return WithSeparator(executableFolder) + kGuideInFolder;
}

std::string UserGuideMissingText(const std::string& expectedPath) {
  return Sj("ヘルプファイルが見つかりません。\n") + expectedPath;
}

std::string UserGuideNotOpenedText(const std::string& path) {
  return Sj("ヘルプを開くプログラムが見つかりません。ヘルプはこのファイルです:\n") + path;
}

}  // namespace mf
