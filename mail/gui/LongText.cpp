#include "mail/gui/LongText.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include "base/ShiftJis.h"
#include "platform/qt/QtDialogs.h"

namespace mf {
namespace {

// Characters put in per loop step: well under the time a user notices.
constexpr qsizetype kPieceLength = 32 * 1024;

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

TextFeeder::TextFeeder(QPlainTextEdit& box) : QObject(&box), box_(&box), timer_(new QTimer(this)) {
  timer_->setInterval(0);
  connect(timer_, &QTimer::timeout, this, [this] { FeedPiece(); });
}

TextFeeder::~TextFeeder() = default;

void TextFeeder::Show(QString text) {
  Stop();
  if (!box_) return;
  // Line ends as the box keeps them; a piece then never ends inside a CR LF.
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  box_->clear();
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
  if (!box_ || !Feeding()) {
    Stop();
    return;
  }
  qsizetype end = std::min(text_.size(), next_ + kPieceLength);
  if (end < text_.size()) {
    // Whole lines, when a line end is near.
    const qsizetype lineEnd = text_.lastIndexOf(QChar('\n'), end - 1);
    if (lineEnd > next_) end = lineEnd + 1;
  }
  QTextCursor at(box_->document());
  at.movePosition(QTextCursor::End);
  at.insertText(text_.mid(next_, end - next_));
  next_ = end;
  if (Feeding()) {
    timer_->start();
  } else {
    Stop();
  }
}

}  // namespace mf
