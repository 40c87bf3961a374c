#pragma once

#include <QString>
#include <cstddef>
#include <map>
#include <vector>

namespace mf {

// Where each line of a long text starts, and how many screen rows the lines
// measured so far wrap into, so that a view can be scrolled row by row while
// laying out only what it shows. A line not measured yet counts as one row,
// as a plain-text edit counts a paragraph it has not laid out.
class TextRows {
 public:
  struct Place {
    int line = 0;
    int row = 0;  // within the line
    bool operator==(const Place&) const = default;
  };

  TextRows() { starts_.push_back(0); }

  void Clear();
  // Appends `piece` to `text`, whose lines this indexes; "\r\n" becomes "\n".
  void Append(QString& text, QString piece);

  int LineCount() const { return static_cast<int>(starts_.size()); }
  qsizetype LineStart(int line) const { return starts_[static_cast<std::size_t>(line)]; }
  // The end of the line's characters, before its "\n".
  qsizetype LineEnd(int line, const QString& text) const;
  // The line that holds character `offset` (an offset on a "\n" is its line's).
  int LineOf(qsizetype offset) const;

  // Rows of every line, measured or not.
  int RowCount() const { return LineCount() + extraRows_; }
  int RowsOf(int line) const;
  // Records that `line` wraps into `rows` rows (at least one).
  void Measured(int line, int rows);
  // Forgets every measure (the width or the font changed).
  void ForgetMeasures();

  // The place of the `row`th row of the whole text, and back.
  Place PlaceOfRow(int row) const;
  int RowOf(Place place) const;

 private:
  std::vector<qsizetype> starts_;
  // Rows beyond the first of each measured line that wraps.
  std::map<int, int> extra_;
  int extraRows_ = 0;
};

}  // namespace mf
