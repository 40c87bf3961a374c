#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace mf {

// Byte order with the ASCII letters a to z folded to upper case and no other
// locale rule; the second byte of a Shift_JIS character is never folded, so
// two different kanji never compare equal. Negative, zero or positive.
int CompareFoldingAscii(std::string_view a, std::string_view b);

// The text with that folding applied: two folded keys compare as plain bytes
// the way CompareFoldingAscii compares the texts, so a long list folds each
// text once instead of at every comparison.
std::string FoldAscii(std::string_view text);

// The direction rule of the lists' column headers: each column keeps its own
// flag, clear at first; a click sorts with the flag as it is and then turns
// it over, so every further click on a column reverses its order. A text
// column sorts ascending while its flag is set, so its first click sorts
// descending.
template <std::size_t Columns>
class ColumnDirections {
 public:
  // The flag as it was before this click. `column` must be below Columns.
  bool TakeFlag(std::size_t column) {
    const bool flag = flags_[column];
    flags_[column] = !flags_[column];
    return flag;
  }

 private:
  std::array<bool, Columns> flags_{};
};

}  // namespace mf
