#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "mime/MimeDecLineBuffer.h"

namespace mf::mimedec {
namespace {

std::vector<std::string> Lines(const std::string& text, Folding folding, std::size_t maxLength = 1 << 20) {
  std::istringstream stream(text);
  LineBuffer buffer(stream, maxLength);
  std::vector<std::string> lines;
  char* line = nullptr;
  std::size_t length = 0;
  while (buffer.Next(folding, line, length)) {
    EXPECT_EQ(line[length], '\0');
    lines.emplace_back(line, length);
  }
  return lines;
}

using Strings = std::vector<std::string>;

TEST(MimeDecLineBuffer, LineEndsAndTheLastLine) {
  EXPECT_EQ(Lines("a\r\nb\nc", Folding::Keep), (Strings{"a", "b", "c"}));
  EXPECT_EQ(Lines("a\r\n\r\n", Folding::Keep), (Strings{"a", ""}));
  EXPECT_EQ(Lines("a\rb\n", Folding::Keep), (Strings{"a\rb"}));  // a lone CR is data
  EXPECT_EQ(Lines("", Folding::Keep), Strings{});
  EXPECT_EQ(Lines(std::string("x\0y\n", 4), Folding::Keep), (Strings{std::string("x\0y", 3)}));
}

TEST(MimeDecLineBuffer, JoinsFoldedLinesOnlyWhenAsked) {
  const std::string text = "Subject: a\r\n\tb\r\n c\n d\r\n\r\n\tnot joined\r\n";
  EXPECT_EQ(Lines(text, Folding::Join), (Strings{"Subject: a   b   c  d", "", "\tnot joined"}));
  EXPECT_EQ(Lines(text, Folding::Keep).size(), 6u);
  EXPECT_EQ(Lines("a\r\n", Folding::Join), (Strings{"a"}));  // the look-ahead meets the end
}

TEST(MimeDecLineBuffer, LinesAcrossBufferRefillsStayWhole) {
  // Lines of every length around the first buffer size, folds on the edge included.
  std::string text;
  Strings expected;
  for (std::size_t n = LineBuffer::kInitialSize - 8; n < LineBuffer::kInitialSize + 8; ++n) {
    std::string line(n, static_cast<char>('a' + n % 26));
    text += line + "\r\n";
    expected.push_back(line);
  }
  EXPECT_EQ(Lines(text, Folding::Keep), expected);
  EXPECT_EQ(Lines(text, Folding::Join), expected);

  const std::string head(LineBuffer::kInitialSize - 4, 'h');
  EXPECT_EQ(Lines(head + "\r\n\tx\r\n", Folding::Join), (Strings{head + "   x"}));
}

TEST(MimeDecLineBuffer, OverlongLineComesInPiecesAndNothingIsLost) {
  const std::string text = std::string(100, 'x') + "yz\r\nnext\r\n";
  const Strings lines = Lines(text, Folding::Keep, 40);
  EXPECT_EQ(lines, (Strings{std::string(40, 'x'), std::string(40, 'x'), std::string(20, 'x') + "yz", "next"}));
  // A header folded on and on is cut the same way.
  std::string folded = "X-Long: a";
  for (int i = 0; i < 100; ++i) folded += "\r\n b";
  std::string joined;
  for (const auto& line : Lines(folded + "\r\n\r\n", Folding::Join, 64)) joined += line;
  EXPECT_EQ(joined.size(), 9u + 100u * 4u);
}

}  // namespace
}  // namespace mf::mimedec
