#include "base/ListSorting.h"

#include "base/ShiftJis.h"

namespace mf {

int CompareFoldingAscii(std::string_view a, std::string_view b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  bool trailA = false;
  bool trailB = false;
  for (std::size_t i = 0; i < common; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    const bool foldX = !trailA && x >= 'a' && x <= 'z';
    const bool foldY = !trailB && y >= 'a' && y <= 'z';
    trailA = !trailA && IsSjisLeadByte(x);
    trailB = !trailB && IsSjisLeadByte(y);
    if (foldX) x = static_cast<unsigned char>(x - 32);
    if (foldY) y = static_cast<unsigned char>(y - 32);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string FoldAscii(std::string_view text) {
  std::string folded(text);
  bool trail = false;
  for (char& c : folded) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (!trail && byte >= 'a' && byte <= 'z') c = static_cast<char>(byte - 32);
    trail = !trail && IsSjisLeadByte(byte);
  }
  return folded;
}

}  // namespace mf
