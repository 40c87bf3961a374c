#include "mail/store/MailStatus.h"

#include <array>

#include "base/ShiftJis.h"

namespace mf {
namespace {

const std::array<std::string, 10>& Words() {
  static const std::array<std::string, 10> words = {
      Sj("未読"), Sj("既読"), Sj("返信"), Sj("送信待ち"),
      Sj("送信待ち返信"), Sj("送信済み"), Sj("送信済み返信"), Sj("インポート"),
      Sj("送信不明"), Sj("送信不明返信"),
  };
  return words;
}

}  // namespace

const std::string& StatusWord(MailStatus status) { return Words()[static_cast<std::size_t>(status)]; }

std::optional<MailStatus> StatusFromWord(std::string_view word) {
  const auto& words = Words();
  for (std::size_t i = 0; i < words.size(); ++i) {
    if (words[i] == word) return static_cast<MailStatus>(i);
  }
  return std::nullopt;
}

}  // namespace mf
