#include <gtest/gtest.h>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/store/HeaderFile.h"
#include "mail/store/StoreRecords.h"

namespace mf {
namespace {

const std::string kSep = "\x01\x01";

std::string TwoHeaderRecords() {
  return "A\r\nsubject one\r\nfrom1\r\ndate1\r\nto1\r\n\r\n" + kSep + "\r\n" +
         "B\r\nsubject two\r\nfrom2\r\ndate2\r\nto2\r\nfolder2\r\n" + kSep + "\r\n";
}

TEST(StoreRecords, HeaderRecordsReadWithTheirIndexAndMissingLinesEmpty) {
  std::string file = TwoHeaderRecords() + "C\r\nshort\r\n" + kSep + "\r\n";
  auto records = ParseHeaderRecords(file);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].subject, "subject one");
  EXPECT_EQ(records[0].attachmentFolder, "");
  EXPECT_EQ(records[1].from, "from2");
  EXPECT_EQ(records[1].attachmentFolder, "folder2");
  EXPECT_EQ(records[2].subject, "short");
  EXPECT_EQ(records[2].to, "");
}

TEST(StoreRecords, LfEndsALineAndAMissingLastSeparatorStillReads) {
  std::string file = "A\nsubj\nf\nd\nt\n\n" + kSep + "\nB\r\ns2\r\nf\rx\r\nd2\r\nt2\r\nx";
  auto records = ParseHeaderRecords(file);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].to, "t");
  EXPECT_EQ(records[1].subject, "s2");
  EXPECT_EQ(records[1].from, "f\rx");  // a CR alone does not end a line
  EXPECT_EQ(records[1].attachmentFolder, "x");
  EXPECT_EQ(NormalizeLineEnds(file).substr(0, 6), "A\r\nsub");
  // Empty lines after the last separator are not a record.
  EXPECT_EQ(RecordSpans(TwoHeaderRecords() + "\r\n\n").size(), 2u);
  EXPECT_EQ(ParseHeaderRecords(TwoHeaderRecords() + "\r\n\n").size(), 2u);
  // A separator followed by a lone CR and more is not a separator line.
  EXPECT_EQ(ParseHeaderRecords("A\r\n" + kSep + "\rB\r\n").size(), 1u);
  EXPECT_EQ(RecordSpans("A\r\n" + kSep + "\rB\r\n").size(), 1u);
}

TEST(StoreRecords, HeaderFileViewsOutliveMovesAndCopies) {
  // Short enough to sit inside the string object itself.
  std::string small = "A\r\nb\r\n" + kSep + "\r\n";
  HeaderFile moved = [&] {
    HeaderFile local(small);
    return local;
  }();
  HeaderFile copy = moved;
  ASSERT_EQ(copy.size(), 1u);
  EXPECT_EQ(copy[0].status(), "A");
  EXPECT_EQ(moved[0].subject(), "b");
  EXPECT_EQ(copy[0].attachmentFolder(), "");
  // Long files go through the wide scan; its answer must match line by line.
  std::string many;
  for (int i = 0; i < 300; ++i) many += "S\r\nsubject " + std::to_string(i) + "\nf\r\nd\r\nt\r\n\r\n" + kSep + "\r\n";
  HeaderFile file(many);
  ASSERT_EQ(file.size(), 300u);
  EXPECT_EQ(file[299].subject(), "subject 299");
  EXPECT_EQ(RecordSpans(many).size(), 300u);
}

TEST(StoreRecords, SeparatorBytesInsideALineDoNotEndARecord) {
  std::string file = "A\r\nx" + kSep + "y\r\n" + kSep + kSep + "\r\nf\r\n" + kSep + "\r\n";
  auto records = ParseHeaderRecords(file);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].subject, "x" + kSep + "y");
}

TEST(StoreRecords, FindByBytesSkipsTheSeparatorsLineEnd) {
  std::string file = TwoHeaderRecords();
  EXPECT_EQ(FindHeaderRecordByBytes(file, 0), 0u);
  auto second = FindHeaderRecordByBytes(file, 1);
  ASSERT_TRUE(second);
  EXPECT_EQ(file.substr(*second, 3), "B\r\n");
  EXPECT_EQ(FindHeaderRecordByBytes(file, 2), file.size());
  EXPECT_FALSE(FindHeaderRecordByBytes(file, 3));
  EXPECT_EQ(SenderAt(file, 0), "from1");
  EXPECT_EQ(SenderAt(file, 1), "from2");
  EXPECT_FALSE(SenderAt(file, 2));
  EXPECT_FALSE(SenderAt("A\r\nB", 0));
}

TEST(StoreRecords, BodyRecordTextIsTrimmedAndJoinedWithCrLf) {
  std::string file = "Subject: a\r\n\r\ntext 1\r\n\r\n" + kSep + "\r\n" +
                     "  Subject: b\nX: y\n\nline\nline2\n\n" + kSep + "\n";
  EXPECT_EQ(BodyRecordText(file, 0), "Subject: a\r\n\r\ntext 1");
  EXPECT_EQ(BodyRecordText(file, 1), "Subject: b\r\nX: y\r\n\r\nline\r\nline2");
  EXPECT_EQ(BodyRecordText(file, 2), "");
}

// Every line ends in CR LF whatever it ended in, a last line without an end
// gets one, and nothing else changes: the same as splitting into lines and
// joining them, which it does in one pass.
TEST(StoreRecords, TextWithCrLfEndsEveryLineAsTheLineSplitterDoes) {
  for (const std::string text : {"", "a", "a\r\nb", "a\nb\n", "a\rb\r", "\r\n\r\n", "\n\r", "a\r\r\nb",
                                 "tail\r", "x\x01\x01y\n\n\nz"}) {
    EXPECT_EQ(TextWithCrLf(text), JoinLines(SplitLines(text))) << text;
  }
}

TEST(StoreRecords, AttachmentLinesCountOnlyInTheHeaderBlock) {
  std::string text =
      "Subject: a\r\nX-Attachments-File: /p/FileKeep/f/a.txt\r\nX-Attachments-File:  /p/FileKeep/f/b.txt\r\n"
      "X-Character: <c>\r\n\r\nX-Attachments-File: /etc/passwd\r\n";
  EXPECT_EQ(AttachmentFilesOf(text),
            (std::vector<std::string>{"/p/FileKeep/f/a.txt", "/p/FileKeep/f/b.txt"}));
}

TEST(StoreRecords, FormattedRecordsRoundTrip) {
  HeaderRecord header{Sj("未読"), Sj("件名"), "a@b", "Mon, 6 Jan 2003 12:34:56 +0900", "c@d", "fold"};
  EXPECT_EQ(ParseHeaderRecords(FormatHeaderRecord(header) + FormatHeaderRecord(header)),
            (std::vector<HeaderRecord>{header, header}));

  BodyRecord body{{{"Subject: ", "s"}, {"Reply-To:", " r@x"}}, "one\r\ntwo\n"};
  std::string formatted = FormatBodyRecord(body);
  EXPECT_EQ(formatted, "Subject: s\r\nReply-To: r@x\r\n\r\none\r\ntwo\r\n" + kSep + "\r\n");
  EXPECT_EQ(BodyRecordText(formatted, 0), "Subject: s\r\nReply-To: r@x\r\n\r\none\r\ntwo");
}

TEST(StoreRecords, HostileValuesStayOnTheirLine) {
  HeaderRecord header{Sj("未読"), "a\r\nb\x01\x01" "c", "x\ny", "d\r", "\x01\x01", "f"};
  std::string file = FormatHeaderRecord(header) + FormatHeaderRecord(header);
  auto records = ParseHeaderRecords(file);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].subject, "a  b  c");
  EXPECT_EQ(records[1].from, "x y");
  EXPECT_EQ(records[1].to, "  ");
  EXPECT_EQ(records[1].attachmentFolder, "f");
  EXPECT_EQ(SenderAt(file, 1), "x y");

  // A subject hiding an attachment line and a text line of separator bytes.
  BodyRecord body{{{"Subject: ", "hi\r\nX-Attachments-File: /etc/passwd"}}, "a\r\n\x01\x01\r\nb\r\n"};
  std::string bodyFile = FormatBodyRecord(body) + FormatBodyRecord(body);
  ASSERT_EQ(RecordSpans(bodyFile).size(), 2u);
  EXPECT_TRUE(AttachmentFilesOf(BodyRecordText(bodyFile, 1)).empty());
  EXPECT_EQ(BodyRecordText(bodyFile, 1), "Subject: hi  X-Attachments-File: /etc/passwd\r\n\r\na\r\n  \r\nb");
}

TEST(StoreRecords, ReceivedLinesThatLookLikeTheStoresOwnAreDropped) {
  EXPECT_TRUE(IsStoreOwnLine("X-Attachments-File: /etc/passwd"));
  EXPECT_TRUE(IsStoreOwnLine("x-attachments-file : /etc/passwd"));
  EXPECT_TRUE(IsStoreOwnLine("X-Character: <evil>"));
  EXPECT_TRUE(IsStoreOwnLine("X-Note: see X-Attachments-File: /x"));
  EXPECT_FALSE(IsStoreOwnLine("X-CharacterID: <ok>"));
  EXPECT_FALSE(IsStoreOwnLine("Received: from x"));

  BodyRecord body{{{"", "X-Attachments-File: /etc/passwd"},
                   {"", "X-Character: <evil>"},
                   {"", "   "},
                   {"", "Received: by x"},
                   {"X-Character: ", "<good>"}},
                  "t\r\n"};
  EXPECT_EQ(FormatBodyRecord(body), "Received: by x\r\nX-Character: <good>\r\n\r\nt\r\n" + kSep + "\r\n");
}

}  // namespace
}  // namespace mf
