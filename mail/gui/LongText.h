#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <cstddef>
#include <string>
#include <string_view>

class QTimer;

namespace mf {

class LongTextView;

// Most of a one-line value a field or a list cell shows: a line of a
// megabyte would be laid out whole on every paint, and no one reads past
// the first screenful. Cut at a character boundary.
inline constexpr std::size_t kLongestShownLine = 4096;

// The value for a field or a list cell: at most kLongestShownLine bytes of
// the Shift_JIS text, converted.
QString ShownLine(std::string_view sjis);

// Puts a long text into a text view a piece at a time from the
// event loop: the start shows at once, and a mail of hundreds of thousands
// of lines never holds the loop while it goes in. A short text goes in
// whole, at once.
class TextFeeder final : public QObject {
 public:
  explicit TextFeeder(LongTextView& view);
  ~TextFeeder() override;

  // Empties the view and starts putting the Shift_JIS `text` in, converted
  // a piece at a time; the cursor stays at the start.
  void Show(std::string text);
  // Puts in what is left at once (before the view's text is read).
  void Finish();
  // Drops what is left.
  void Stop();
  bool Feeding() const { return next_ < text_.size(); }

 private:
  void FeedPiece();

  QPointer<LongTextView> view_;
  QTimer* timer_;
  std::string text_;
  std::size_t next_ = 0;
};

}  // namespace mf
