#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "mail/store/HeaderFile.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"

namespace mf {
namespace {

// What the list must show: each record's span read line by line, the way
// the body and byte-offset readers see the same file.
std::vector<HeaderRecord> ReadSlowly(std::string_view file) {
  std::vector<HeaderRecord> records;
  for (const auto& span : RecordSpans(file)) {
    records.push_back(ParseHeaderRecord(file.substr(span.begin, span.contentEnd - span.begin)));
  }
  return records;
}

std::vector<HeaderRecord> ReadIndexed(std::string_view file) {
  std::vector<HeaderRecord> records;
  for (const auto& view : HeaderFile(file)) records.push_back(view.ToRecord());
  return records;
}

// Mostly well-formed records, with the odd short or long record, bare LF
// and lone CR line ends, lines starting with the separator bytes, empty
// records and a missing last separator, long enough to cross the pieces
// the index reads at a time.
std::string IrregularFile(std::mt19937& random) {
  const std::vector<std::string> lines = {
      "\x96\xa2\x93\xc7", "subject", "", "Sender <a@example.com>", "Mon, 6 Jan 2003 12:34:56 +0900",
      "\x01x", "\x01\x01x", "x\x01\x01", "\r", std::string(300, 'w')};
  const std::vector<std::string> ends = {"\r\n", "\r\n", "\r\n", "\n", "\r"};
  std::string file;
  const int records = std::uniform_int_distribution<int>(0, 400)(random);
  for (int r = 0; r < records; ++r) {
    const bool plain = std::uniform_int_distribution<int>(0, 3)(random) != 0;
    const int count = plain ? 6 : std::uniform_int_distribution<int>(0, 9)(random);
    for (int k = 0; k < count; ++k) {
      file += lines[std::uniform_int_distribution<std::size_t>(0, plain ? 4 : lines.size() - 1)(random)];
      file += ends[std::uniform_int_distribution<std::size_t>(0, plain ? 0 : ends.size() - 1)(random)];
    }
    file += "\x01\x01";
    file += ends[std::uniform_int_distribution<std::size_t>(0, plain ? 0 : ends.size() - 1)(random)];
  }
  if (std::uniform_int_distribution<int>(0, 2)(random) == 0) file += "last\r\nwithout separator";
  return file;
}

TEST(HeaderFile, ReadsEveryFileAsTheLineByLineReadersDo) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 300; ++round) {
    const std::string file = IrregularFile(random);
    ASSERT_EQ(ReadIndexed(file), ReadSlowly(file)) << "round " << round;
  }
}

TEST(HeaderFile, RecordsMeetingAtEveryPieceBoundaryReadWhole) {
  // Shifting the records a byte at a time puts each kind of line, and the
  // separator, across the point where one piece of the file ends.
  std::string record = "S\r\nsubject\r\nfrom\r\ndate\r\nto\r\n\r\n\x01\x01\r\n";
  for (std::size_t shift = 0; shift < 64; ++shift) {
    std::string file = std::string(shift, 'x') + "\r\n\x01\x01\r\n";
    while (file.size() < 9000) file += record;
    const auto expected = ReadSlowly(file);
    ASSERT_EQ(ReadIndexed(file), expected) << "shift " << shift;
    ASSERT_EQ(expected.size(), 1 + (file.size() - shift - 6) / record.size());
  }
}

TEST(HeaderFile, ComesFromTheFileBytesWithoutACopy) {
  platform::TemporaryFolder folder;
  const std::string path = folder.Path() + "Inbox.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(path, "A\r\nb\r\nc\r\nd\r\ne\r\nf\r\n\x01\x01\r\nlast"));
  auto bytes = platform::ReadFileBytes(path, HeaderFile::kLargestFile);
  ASSERT_TRUE(bytes);
  const char* data = bytes->data.get();
  HeaderFile file(std::move(bytes->data), bytes->size);
  ASSERT_EQ(file.size(), 2u);
  EXPECT_EQ(file[0].attachmentFolder(), "f");
  EXPECT_EQ(file[0].status().data(), data);
  EXPECT_EQ(file[1].status(), "last");
  EXPECT_EQ(file[1].subject(), "");
  EXPECT_TRUE(HeaderFile(std::string_view()).empty());
  EXPECT_TRUE(HeaderFile("\r\n\r\n").empty());
  EXPECT_EQ(HeaderFile("\x01\x01\r\n\x01\x01").size(), 2u) << "empty records count, as the byte counter sees them";
}

}  // namespace
}  // namespace mf
