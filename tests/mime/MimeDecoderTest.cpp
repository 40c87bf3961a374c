#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "mime/MimeDecoder.h"
#include "platform/Files.h"
#include "tests/mime/MimeDecRecorder.h"

namespace mf {
namespace {

using testing::Decode;
using testing::MimeDecRecorder;
using Strings = std::vector<std::string>;

TEST(MimeDecoder, SinglePartMessageEventsAndHeaderValues) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder,
         "Return-Path: <sender@example.jp>\r\n"
         "From: =?ISO-2022-JP?B?GyRCJUUbKEI=?= <a@example.jp>\r\n"
         "To: b@example.jp\r\n"
         "Subject: hello\r\n"
         "Date: Tue, 8 Dec 2026 01:00:00 +0900\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: Text/Plain; charset=ISO-2022-JP\r\n"
         "Content-Transfer-Encoding: 7BIT\r\n"
         "Subject : not a subject\r\n"
         "\r\n"
         "line one\r\n"
         "\r\n"
         "line three");
  EXPECT_EQ(record.events, (Strings{"HeaderBegin", "HeaderLine", "HeaderLine", "HeaderLine", "HeaderLine", "HeaderLine",
                                    "HeaderLine", "HeaderLine", "HeaderLine", "HeaderLine", "HeaderEnd", "PartBegin",
                                    "PartLine", "PartEnd", "MessageEnd"}));
  EXPECT_EQ(decoder.ReturnPath(), "sender@example.jp");
  EXPECT_EQ(decoder.From(), "=?ISO-2022-JP?B?GyRCJUUbKEI=?= <a@example.jp>");
  EXPECT_EQ(decoder.To(), "b@example.jp");
  EXPECT_EQ(decoder.Subject(), "hello");  // "Subject :" is listed but not taken
  EXPECT_EQ(decoder.Date(), "Tue, 8 Dec 2026 01:00:00 +0900");
  EXPECT_EQ(decoder.MimeVersion(), "1.0");
  EXPECT_EQ(decoder.ContentType(), "text/plain");
  EXPECT_EQ(decoder.Charset(), "iso-2022-jp");
  EXPECT_EQ(decoder.Encoding(), "7bit");
  EXPECT_FALSE(decoder.IsMultipart());
  EXPECT_EQ(decoder.HeaderLines().size(), 9u);
  EXPECT_EQ(record.headerLines.back(), "Subject : not a subject");
  EXPECT_EQ(record.data[0], "line one\r\n\r\nline three\r\n");
  EXPECT_EQ(decoder.PartNumber(), 0);
}

TEST(MimeDecoder, FoldedAndOverlongHeaderLinesArriveWhole) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  const std::string longValue(5000, 'v');
  Decode(decoder, "Subject: first\r\n\tsecond\r\nX-Long: " + longValue + "\r\n\r\nbody\r\n");
  ASSERT_EQ(record.headerLines.size(), 2u);
  EXPECT_EQ(record.headerLines[0], "Subject: first   second");
  EXPECT_EQ(decoder.Subject(), "first   second");
  EXPECT_EQ(record.headerLines[1], "X-Long: " + longValue);
  EXPECT_EQ(decoder.HeaderLines()[1].size(), 8u + 5000u);
}

TEST(MimeDecoder, SinglePartBodiesDecodeByTheirEncoding) {
  struct Case {
    const char* encoding;
    const char* body;
    std::string expected;
  };
  const Case cases[] = {
      {"base64", "SGVsbG8s\r\nIHdvcmxk\r\n", "Hello, world"},
      {"quoted-printable", "a=3Db=\r\nc\r\nend=", "a=bc\r\nend"},
      {"x-uuencode", "ignored\r\nbegin 644 cat.txt\r\n#0V%T\r\n`\r\nend\r\nignored too\r\n", "Cat"},
      {"8bit", "\x82\xa0\r\n", "\x82\xa0\r\n"},
      {"x-unknown", "as is\r\n", "as is\r\n"},
  };
  for (const auto& c : cases) {
    MimeDecoder decoder;
    MimeDecRecorder record(decoder);
    std::ostringstream dest;
    decoder.SetDestStream(&dest);
    Decode(decoder, std::string("Content-Transfer-Encoding: ") + c.encoding + "\r\n\r\n" + c.body);
    EXPECT_EQ(record.data[0], c.expected) << c.encoding;
    EXPECT_EQ(dest.str(), c.expected) << c.encoding;
  }
}

TEST(MimeDecoder, EmptyBodyEndsThePartWithoutBeginningIt) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder, "Subject: x\r\n\r\n");
  EXPECT_EQ(record.events, (Strings{"HeaderBegin", "HeaderLine", "HeaderEnd", "PartEnd", "MessageEnd"}));

  MimeDecoder empty;
  MimeDecRecorder nothing(empty);
  Decode(empty, "");
  EXPECT_EQ(nothing.events, (Strings{"PartEnd", "MessageEnd"}));
}

const char* const kMixed =
    "From: a@example.jp\r\n"
    "Content-Type: multipart/mixed;\r\n"
    "\tboundary=\"=_Outer_Boundary\"\r\n"
    "\r\n"
    "This is a preamble.\r\n"
    "--=_outer_boundary\r\n"
    "Content-Type: text/plain; charset=iso-2022-jp\r\n"
    "\r\n"
    "Body text\r\n"
    "--=_OUTER_BOUNDARY  \r\n"
    "Content-Type: application/octet-stream; name=\"data.bin\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "Content-Disposition: attachment;\r\n"
    " filename=\"=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=.bin\"\r\n"
    "Content-ID: <part2@example.jp>\r\n"
    "\r\n"
    "AAECAw==\r\n"
    "--=_Outer_Boundary\r\n"
    "Content-Type: text/plain\r\n"
    "Content-Transfer-Encoding: quoted-printable\r\n"
    "Content-Disposition: attachment; filename=notes of mine.txt\r\n"
    "\r\n"
    "x=3Dy\r\n"
    "--=_Outer_Boundary--\r\n";

TEST(MimeDecoder, MultipartWithAttachmentsReportsEveryPartInOrder) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  std::vector<std::string> contentIds;
  decoder.OnPartEnd = [&](MimeDecoder& d) { contentIds.push_back(d.PartContentId()); };
  record.events.clear();
  Decode(decoder, kMixed);
  EXPECT_TRUE(decoder.IsMultipart());
  EXPECT_EQ(decoder.Boundary(), "--=_outer_boundary");
  EXPECT_EQ(decoder.ContentType(), "multipart/mixed");
  EXPECT_EQ(record.data[0], "This is a preamble.");
  EXPECT_EQ(record.data[1], "Body text\r\n");
  EXPECT_EQ(record.data[2], std::string("\x00\x01\x02\x03", 4));
  EXPECT_EQ(record.data[3], "x=y\r\n");
  ASSERT_EQ(record.partFileNames.size(), 3u);
  EXPECT_EQ(record.partFileNames[0], "");
  // Encoded words stay as written; the caller decodes them.
  EXPECT_EQ(record.partFileNames[1], "=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=.bin");
  EXPECT_EQ(record.partFileNames[2], "notes of mine.txt");  // unquoted: the rest of the line
  EXPECT_EQ(record.partHeaderLines[3],
            "Content-Disposition: attachment;   filename=\"=?ISO-2022-JP?B?GyRCRnxLXDhsGyhC?=.bin\"");
  EXPECT_EQ(decoder.PartNumber(), 3);
  EXPECT_EQ(contentIds, (Strings{"", "", "part2@example.jp", ""}));
}

TEST(MimeDecoder, MultipartEventOrder) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder, kMixed);
  const Strings part = {"PartHeaderLine", "PartHeaderEnd", "PartBegin", "PartLine", "PartEnd"};
  Strings expected = {"HeaderBegin", "HeaderLine", "HeaderLine", "HeaderEnd",
                      "PartBegin",   "PartLine",   "PartEnd",    "PartHeaderBegin1"};
  expected.insert(expected.end(), part.begin(), part.end());
  expected.push_back("PartHeaderBegin2");
  for (int i = 0; i < 3; ++i) expected.push_back("PartHeaderLine");
  expected.insert(expected.end(), part.begin(), part.end());
  expected.push_back("PartHeaderBegin3");
  for (int i = 0; i < 2; ++i) expected.push_back("PartHeaderLine");
  expected.insert(expected.end(), part.begin(), part.end());
  expected.push_back("MessageEnd");
  EXPECT_EQ(record.events, expected);
}

TEST(MimeDecoder, NestedMultipartFlattensIntoNumberedParts) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder,
         "Content-Type: multipart/mixed; boundary=outer\r\n"
         "\r\n"
         "--outer\r\n"
         "Content-Type: multipart/alternative; boundary=\"Inner\"\r\n"
         "\r\n"
         "--inner\r\n"
         "Content-Type: text/plain\r\n"
         "\r\n"
         "plain\r\n"
         "--INNER\r\n"
         "Content-Type: text/html\r\n"
         "\r\n"
         "<p>html</p>\r\n"
         "--inner--\r\n"
         "--outer\r\n"
         "Content-Type: image/gif\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "\r\n"
         "R0lG\r\n"
         "--outer--\r\n"
         "epilogue\r\n");
  EXPECT_EQ(record.data[1], "");  // the multipart container holds nothing itself
  EXPECT_EQ(record.data[2], "plain\r\n");
  EXPECT_EQ(record.data[3], "<p>html</p>\r\n");
  // After a closing boundary the next lines are read as a part header, so
  // the outer delimiter right after the inner close is taken as a header line.
  EXPECT_EQ(record.data[4], "GIF");
  EXPECT_EQ(decoder.PartNumber(), 5);
  EXPECT_EQ(record.events.back(), "MessageEnd");
}

// RFC 2231 gives every parameter the extended and continued forms, not only
// file names; a boundary in that form alone must still split the message.
TEST(MimeDecoder, ParametersInRfc2231FormSplitAndDecodeLikePlainOnes) {
  struct Case {
    const char* what;
    std::string contentType;
    std::string boundary;  // as the decoder reports it
    std::string charset;   // of the message
  };
  const Case cases[] = {
      {"extended, no charset", "multipart/mixed; boundary*=''Outer%20Line", "--outer line", ""},
      {"continued, first piece extended", "multipart/mixed;\r\n boundary*0*=us-ascii''out%65r;\r\n boundary*1=\"-line\"",
       "--outer-line", ""},
      {"extended charset of the message", "multipart/mixed; charset*=''ISO-2022-JP; boundary=outer-line",
       "--outer-line", "iso-2022-jp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MimeDecoder decoder;
    MimeDecRecorder record(decoder);
    // Each part names its own boundary and charset in sections as well.
    const std::string open = c.boundary;
    Decode(decoder, "Content-Type: " + c.contentType + "\r\n\r\n" +
                        "preamble\r\n" + open + "\r\n" +
                        "Content-Type: text/plain; charset*0*=''iso-2022%2D; charset*1=jp\r\n"
                        "\r\n"
                        "text\r\n" +
                        open + "\r\n" +
                        "Content-Type: multipart/alternative; boundary*=''In%20Ner\r\n"
                        "\r\n"
                        "--in ner\r\n"
                        "Content-Type: application/octet-stream; name*=utf-8''%E3%81%82.bin\r\n"
                        "Content-Disposition: attachment; filename*0*=utf-8''%E3%81%82; filename*1=.bin\r\n"
                        "Content-Transfer-Encoding: base64\r\n"
                        "\r\n"
                        "AAEC\r\n"
                        "--in ner--\r\n" +
                        open + "--\r\n");
    EXPECT_TRUE(decoder.IsMultipart());
    EXPECT_EQ(decoder.Boundary(), c.boundary);
    EXPECT_EQ(decoder.Charset(), c.charset);
    EXPECT_EQ(record.data[0], "preamble");
    EXPECT_EQ(record.data[1], "text\r\n");
    EXPECT_EQ(record.data[3], std::string("\x00\x01\x02", 3));
    ASSERT_EQ(record.partFileNames.size(), 3u);  // the closing line after the inner one heads no part
    EXPECT_EQ(record.partFileNames[2], "\xE3\x81\x82.bin");
  }
}

TEST(MimeDecoder, MissingBoundariesStillEndWhatWasBegun) {
  {
    // The declared boundary never appears: everything is preamble, passed on
    // without line ends as a preamble is.
    MimeDecoder decoder;
    MimeDecRecorder record(decoder);
    Decode(decoder, "Content-Type: multipart/mixed; boundary=b\r\n\r\nonly text\r\n--c\r\n");
    EXPECT_EQ(record.events,
              (Strings{"HeaderBegin", "HeaderLine", "HeaderEnd", "PartBegin", "PartLine", "PartEnd", "MessageEnd"}));
    EXPECT_EQ(record.data[0], "only text--c");
  }
  {
    // No closing boundary: the last part ends with the message.
    MimeDecoder decoder;
    MimeDecRecorder record(decoder);
    Decode(decoder, "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\ncut off");
    EXPECT_EQ(record.data[1], "cut off\r\n");
    ASSERT_GE(record.events.size(), 2u);
    EXPECT_EQ(record.events[record.events.size() - 2], "PartEnd");
  }
  {
    // A header that never ends.
    MimeDecoder decoder;
    MimeDecRecorder record(decoder);
    Decode(decoder, "Subject: x\r\nFrom: y");
    EXPECT_EQ(record.events, (Strings{"HeaderBegin", "HeaderLine", "HeaderLine", "PartEnd", "MessageEnd"}));
  }
}

TEST(MimeDecoder, PartWithoutHeaderAndDescriptionFileName) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder,
         "Content-Type: multipart/mixed; boundary=b\r\n\r\n"
         "--b\r\n"
         " indented data\r\n"
         "--b\r\n"
         "Content-Type: application/octet-stream\r\n"
         "Content-Description: file; filename=\"desc.txt\"\r\n"
         "\r\n"
         "x\r\n"
         "--b\r\n"
         "Content-Description: file; filename=\"ignored.txt\"\r\n"
         "Content-Disposition: attachment; filename=\"real.txt\"\r\n"
         "Content-Description: file; filename=\"ignored.txt\"\r\n"
         "\r\n"
         "--b--\r\n");
  EXPECT_EQ(record.data[1], " indented data\r\n");
  EXPECT_EQ(record.partFileNames, (Strings{"", "desc.txt", "real.txt"}));
}

TEST(MimeDecoder, InlineUuencodedBlockInPlainText) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder,
         "Subject: uu\r\n\r\n"
         "see below\r\n"
         "begin 666 cat file.txt\r\n"
         "#0V%T\r\n"
         "`\r\n"
         "end\r\n"
         "after\r\n");
  EXPECT_EQ(record.events, (Strings{"HeaderBegin", "HeaderLine", "HeaderEnd", "PartBegin", "PartLine",
                                    "InlineBegin:cat file.txt", "PartLine", "InlineLine", "PartLine", "InlineLine",
                                    "PartLine", "InlineEnd:cat file.txt", "PartLine", "PartEnd", "MessageEnd"}));
  EXPECT_EQ(record.inlineData, "Cat");
  // The block's own lines leave only their line ends behind.
  EXPECT_EQ(record.data[0], "see below\r\n\r\n\r\n\r\n\r\nafter\r\n");
}

TEST(MimeDecoder, InlineBlocksOnlyWhereNoContentTypeIsKnown) {
  const std::string block = "begin 666 x.bin\r\n#0V%T\r\nend\r\n";
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder, "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n" + block +
                      "--b\r\nX-Other: 1\r\n\r\n" + block +
                      "--b\r\n\r\nbegin 666 -- cut here --\r\n#0V%T\r\n--b--\r\n");
  EXPECT_EQ(record.data[1], block);
  EXPECT_EQ(record.data[2], "\r\n\r\n\r\n");
  // A cut-here guard is swallowed but opens nothing.
  EXPECT_EQ(record.data[3], "\r\n#0V%T\r\n");
  EXPECT_EQ(record.inlineData, "Cat");
}

TEST(MimeDecoder, ValuesAreClearedWhenDecodingStartsAgain) {
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  Decode(decoder, kMixed);
  Decode(decoder, "Subject: second\r\n\r\nbody\r\n");
  EXPECT_EQ(decoder.From(), "");
  EXPECT_FALSE(decoder.IsMultipart());
  EXPECT_EQ(decoder.Boundary(), "");
  EXPECT_EQ(decoder.PartNumber(), 0);
  EXPECT_EQ(decoder.HeaderLines(), (Strings{"Subject: second"}));
  EXPECT_STREQ(decoder.CurrentData(), "");
}

TEST(MimeDecoder, TenMegabyteBase64LineDecodes) {
  std::string payload(7'500'000, '\0');
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7 + i / 251);
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string encoded;
  encoded.reserve(payload.size() / 3 * 4);
  for (std::size_t i = 0; i < payload.size(); i += 3) {
    const unsigned bits = (static_cast<unsigned char>(payload[i]) << 16) |
                          (static_cast<unsigned char>(payload[i + 1]) << 8) |
                          static_cast<unsigned char>(payload[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) encoded.push_back(alphabet[(bits >> shift) & 63]);
  }
  ASSERT_EQ(encoded.size(), 10'000'000u);
  MimeDecoder decoder;
  std::string decoded;
  int lines = 0;
  decoder.OnPartLine = [&](MimeDecoder&, const char* data, std::size_t length) {
    decoded.append(data, length);
    ++lines;
  };
  testing::Decode(decoder, "Content-Transfer-Encoding: base64\r\n\r\n" + encoded + "\r\n");
  EXPECT_EQ(lines, 1);
  EXPECT_TRUE(decoded == payload);
}

TEST(MimeDecoder, DecodeFileReadsShiftJisPathsAndRefusesMissingFiles) {
  platform::TemporaryFolder folder;
  const std::string path = folder.Path() + "MailNo1.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(path, "Subject: file\r\n\r\nbody\r\n"));
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  decoder.DecodeFile(path);
  EXPECT_EQ(decoder.Subject(), "file");
  EXPECT_EQ(record.data[0], "body\r\n");
  record.events.clear();
  EXPECT_THROW(decoder.DecodeFile(folder.Path() + "missing.txt"), std::ios_base::failure);
  EXPECT_TRUE(record.events.empty());
}

// Decoding in steps gives every event and byte that decoding in one go
// gives, wherever the steps and the buffer's reads cut the message: a
// boundary or a folded header line across a read, a part ending a step.
TEST(MimeDecoder, DecodingInStepsEqualsDecodingAtOnce) {
  platform::TemporaryFolder folder;
  std::string longPart;
  for (int n = 0; n < 400; ++n) longPart += "line " + std::to_string(n) + " of the first part\r\n";
  std::string manyParts;
  for (int n = 0; n < 300; ++n) {
    manyParts += "--B\r\nContent-Type: text/plain;\r\n  name=\"p" + std::to_string(n) + ".txt\"\r\n\r\npart " +
                 std::to_string(n) + "\r\n";
  }
  const Strings messages = {
      "Subject: one line\r\n\r\nbody\r\n",
      "Subject: a\r\n folded\r\n\tsubject\r\nContent-Type: multipart/mixed; boundary=B\r\n\r\n--B\r\n\r\n" +
          longPart + "--B\r\nContent-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=x\r\n\r\n" +
          "aGVsbG8gd29ybGQ=\r\n--B--\r\n",
      "Content-Type: multipart/mixed; boundary=B\r\n\r\npreamble\r\n" + manyParts + "--B--\r\nepilogue",
      "Subject: no end of header",
  };
  for (const std::string& message : messages) {
    MimeDecoder whole;
    MimeDecRecorder expected(whole);
    Decode(whole, message);
    const std::string path = folder.Path() + "MailNo1.txt";
    ASSERT_TRUE(platform::WriteFileAtomic(path, message));
    MimeDecoder stepped;
    MimeDecRecorder got(stepped);
    stepped.BeginFile(path);
    EXPECT_TRUE(got.events.empty());
    int steps = 0;
    while (!stepped.DecodeFor(std::chrono::nanoseconds(0))) ++steps;
    EXPECT_FALSE(stepped.Decoding());
    if (message.size() > 10000) EXPECT_GT(steps, 3) << "a zero slice still decodes a few lines a step";
    EXPECT_EQ(got.events, expected.events) << message.substr(0, 60);
    EXPECT_EQ(got.data, expected.data);
    EXPECT_EQ(got.headerLines, expected.headerLines);
    EXPECT_EQ(got.partFileNames, expected.partFileNames);
    EXPECT_EQ(stepped.Subject(), whole.Subject());
  }
  // Cancelled half way, the decoder starts afresh.
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  ASSERT_TRUE(platform::WriteFileAtomic(folder.Path() + "MailNo2.txt", messages[1]));
  decoder.BeginFile(folder.Path() + "MailNo2.txt");
  ASSERT_FALSE(decoder.DecodeFor(std::chrono::nanoseconds(0)));
  decoder.Cancel();
  EXPECT_FALSE(decoder.Decoding());
  Decode(decoder, "Subject: again\r\n\r\n");
  EXPECT_EQ(decoder.Subject(), "again");
}

TEST(MimeDecoder, HandlerExceptionsPassThroughAndNestedDecodingIsRefused) {
  MimeDecoder decoder;
  int nestedTries = 0;
  decoder.OnHeaderLine = [&](MimeDecoder& d) {
    std::istringstream inner("x");
    ++nestedTries;
    EXPECT_THROW(d.DecodeStream(inner), std::logic_error);
  };
  decoder.OnMessageEnd = [](MimeDecoder&) { throw std::runtime_error("invalid mail"); };
  EXPECT_THROW(Decode(decoder, "Subject: x\r\n"), std::runtime_error);
  EXPECT_EQ(nestedTries, 1);
  // The decoder is usable again afterwards.
  decoder.OnMessageEnd = nullptr;
  Decode(decoder, "Subject: y\r\n\r\n");
  EXPECT_EQ(decoder.Subject(), "y");
}

TEST(MimeDecoder, HostileInputStaysBounded) {
  // Thousands of nested boundaries and an endless header: decoding stays quick
  // and every line is still handled.
  std::string message = "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n";
  for (int i = 0; i < 20000; ++i) message += "Content-Type: multipart/mixed; boundary=n" + std::to_string(i) + "\r\n";
  message += "\r\n";
  for (int i = 0; i < 20000; ++i) message += "--not a boundary\r\n";
  message += "--n19999--\r\n\r\nlast\r\n";
  MimeDecoder decoder;
  MimeDecRecorder record(decoder);
  decoder.SetMaxLineLength(4096);
  Decode(decoder, message);
  EXPECT_EQ(record.data[2], "last\r\n");

  std::string endless = "X-A: a";
  for (int i = 0; i < 10000; ++i) endless += "\r\n continued";
  MimeDecoder cut;
  MimeDecRecorder pieces(cut);
  cut.SetMaxLineLength(4096);
  Decode(cut, endless + "\r\n\r\nbody\r\n");
  for (const auto& line : pieces.headerLines) EXPECT_LE(line.size(), 4096u);
  EXPECT_EQ(pieces.data[0], "body\r\n");
}

}  // namespace
}  // namespace mf
