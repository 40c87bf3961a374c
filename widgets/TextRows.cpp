#include "widgets/TextRows.h"

#include <algorithm>

namespace mf {

void TextRows::Clear() {
  starts_.assign(1, 0);
  ForgetMeasures();
}

void TextRows::Append(QString& text, QString piece) {
  // A "\r" that ended the last piece pairs with a "\n" that begins this one.
  if (piece.startsWith(QLatin1Char('\n')) && text.endsWith(QLatin1Char('\r'))) text.chop(1);
  piece.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  const qsizetype from = text.size();
  text += piece;
  for (qsizetype at = text.indexOf(QLatin1Char('\n'), from); at >= 0; at = text.indexOf(QLatin1Char('\n'), at + 1)) {
    starts_.push_back(at + 1);
  }
}

qsizetype TextRows::LineEnd(int line, const QString& text) const {
  return line + 1 < LineCount() ? LineStart(line + 1) - 1 : text.size();
}

int TextRows::LineOf(qsizetype offset) const {
  const auto after = std::upper_bound(starts_.begin(), starts_.end(), offset);
  return static_cast<int>(after - starts_.begin()) - 1;
}

int TextRows::RowsOf(int line) const {
  const auto found = extra_.find(line);
  return found == extra_.end() ? 1 : found->second + 1;
}

void TextRows::Measured(int line, int rows) {
  const int extra = std::max(rows, 1) - 1;
  const auto found = extra_.find(line);
  const int before = found == extra_.end() ? 0 : found->second;
  extraRows_ += extra - before;
  if (extra == 0) {
    if (found != extra_.end()) extra_.erase(found);
  } else {
    extra_[line] = extra;
  }
}

void TextRows::ForgetMeasures() {
  extra_.clear();
  extraRows_ = 0;
}

TextRows::Place TextRows::PlaceOfRow(int row) const {
  row = std::clamp(row, 0, RowCount() - 1);
  // Lines are rows one to one except where a measured line wraps.
  int extraBefore = 0;
  for (const auto& [line, extra] : extra_) {
    if (line + extraBefore > row) break;
    if (row <= line + extraBefore + extra) return {line, row - line - extraBefore};
    extraBefore += extra;
  }
  return {row - extraBefore, 0};
}

int TextRows::RowOf(Place place) const {
  int row = place.line + std::min(place.row, RowsOf(place.line) - 1);
  for (const auto& [line, extra] : extra_) {
    if (line >= place.line) break;
    row += extra;
  }
  return row;
}

}  // namespace mf
