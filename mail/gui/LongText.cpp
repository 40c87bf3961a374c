#include "mail/gui/LongText.h"

#include <QTimer>

#include "base/ShiftJis.h"
#include "platform/qt/QtDialogs.h"
#include "widgets/LongTextView.h"

namespace mf {
namespace {

// Characters put in per loop step: well under the time a user notices.
constexpr std::size_t kPieceLength = 32 * 1024;

}  // namespace

QString ShownLine(std::string_view sjis) {
  if (sjis.size() <= kLongestShownLine) return platform::ToQString(sjis);
  std::size_t end = 0;
  while (end < kLongestShownLine) {
    const std::size_t width = IsSjisLeadByte(static_cast<unsigned char>(sjis[end])) ? 2 : 1;
    if (end + width > kLongestShownLine) break;
    end += width;
  }
  return platform::ToQString(sjis.substr(0, end)) + QChar(0x2026);
}

TextFeeder::TextFeeder(LongTextView& view) : QObject(&view), view_(&view), timer_(new QTimer(this)) {
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, [this] { FeedPiece(); });
}

TextFeeder::~TextFeeder() = default;

void TextFeeder::Show(std::string text) {
  Stop();
  if (!view_) return;
  view_->Clear();
  // A Shift_JIS byte is at most one character: the view's text grows into
  // room made once.
  view_->Reserve(static_cast<qsizetype>(text.size()));
  text_ = std::move(text);
  next_ = 0;
  FeedPiece();
}

void TextFeeder::Finish() {
  while (Feeding()) FeedPiece();
}

void TextFeeder::Stop() {
  timer_->stop();
  text_.clear();
  next_ = 0;
}

void TextFeeder::FeedPiece() {
  if (!view_ || !Feeding()) {
    Stop();
    return;
  }
  std::size_t end = std::min(text_.size(), next_ + kPieceLength);
  if (end < text_.size()) {
    // Whole lines: LF is never the second byte of a Shift_JIS character, so
    // a piece never ends inside one, nor between CR and LF.
    const std::size_t lineEnd = text_.rfind('\n', end - 1);
    if (lineEnd != std::string::npos && lineEnd >= next_) {
      end = lineEnd + 1;
    } else {
      // One line longer than a piece: cut between characters.
      std::size_t at = next_;
      while (at < end) at += IsSjisLeadByte(static_cast<unsigned char>(text_[at])) ? 2 : 1;
      end = std::min(at, text_.size());
    }
  }
  view_->Append(platform::ToQString(std::string_view(text_).substr(next_, end - next_)));
  next_ = end;
  if (Feeding()) {
    timer_->start();
  } else {
    Stop();
  }
}

}  // namespace mf
