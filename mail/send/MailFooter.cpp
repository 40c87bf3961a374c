#include "mail/send/MailFooter.h"

#include <array>
#include <string_view>

#include "base/ShiftJis.h"
#include "base/Text.h"

namespace mf {

namespace {

// The download page named in every mail this program sends.
constexpr std::string_view kDownloadAddress = "https://mfmail.example.jp/download/";

constexpr std::array<std::string_view, 6> kFooterUtf8 = {
    "------------------",
    "本メールはモフタンメールで作成されています",
    "モフタンメールは、いろいろなキャラクターが",
    "デスクトップ上に住み、メールを送受信できるソフトで",
    kDownloadAddress,
    "から無料でダウンロードできます",
};

}  // namespace

const std::vector<std::string>& MailFooterLines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> result;
    for (std::string_view line : kFooterUtf8) result.push_back(Sj(line));
    return result;
  }();
  return lines;
}

std::string TextWithFooter(std::string_view text) {
  std::vector<std::string> lines = SplitLines(text);
  const auto& footer = MailFooterLines();
  lines.insert(lines.end(), footer.begin(), footer.end());
  return JoinLines(lines);
}

}  // namespace mf
