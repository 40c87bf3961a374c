#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace mf {

// Where a JIS reader stands at the end of one piece of a long text: whether
// it is in kanji mode, and how many bytes of an escape begun in this piece
// lie in the next. Reading the pieces in turn with one state gives what
// reading the whole text gives.
struct JisReadState {
  bool kanji = false;
  std::size_t skip = 0;
};

std::string JisToSjis(std::string_view text, JisReadState& state);
std::string JisToEuc(std::string_view text, JisReadState& state);

}  // namespace mf
