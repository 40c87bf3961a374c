#include "mail/receive/InboxIntake.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mail/send/MailFooter.h"
#include "tests/mail/receive/ReceiveFixture.h"

namespace mf {
namespace {

using testing::ReceiveFixture;

class InboxIntakeTest : public ReceiveFixture {
 protected:
  IntakeResult Store(const std::string& message, ArrivedMail* arrived = nullptr) {
    InboxIntake intake(store, hut, random, clock);
    ArrivedMail mail;
    const IntakeResult result = intake.StoreFile(WriteMessage("MailNo1.txt", message), mail);
    if (arrived != nullptr) *arrived = mail;
    return result;
  }
};

// Header fields by name in any letter case; what the inbox record shows.
struct HeaderCase {
  const char* name;
  std::string header;
  std::string field;     // body record line name
  std::string expected;  // its value
};

TEST_F(InboxIntakeTest, HeaderFieldsAreTakenByTheirNameInAnyCase) {
  const std::vector<HeaderCase> cases = {
      {"x-mailer upper case is still stored", "X-MAILER: MofutanMail", "X-Mailer: ", " MofutanMail"},
      {"subject beginning re: is kept", "Subject: re: RE: Re: lunch", "Subject: ", "re: RE: Re: lunch"},
      {"encoded subject decoded", "Subject: =?ISO-2022-JP?B?GyRCJEYkOSRIGyhC?=", "Subject: ", Sj("てすと")},
      {"utf-8 encoded subject decoded", "Subject: =?utf-8?b?44GT44KT?=", "Subject: ", Sj("こん")},
      {"reply-to keeps its blank", "reply-to: a@example.jp", "Reply-To:", " a@example.jp"},
      {"date leading blanks removed", "DATE:    Mon, 7 Dec 2026 09:00:00 +0900", "Date: ",
       "Mon, 7 Dec 2026 09:00:00 +0900"},
      {"a missing date is the time of receipt", "X-Dummy: 1", "Date: ", "Tue, 8 Dec 2026 10:00:00 +0900"},
      {"unknown lines kept as received", "X-Spam: no", "X-Spam: ", "no"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::size_t index = InboxHeaders().size();
    ASSERT_EQ(Store("From: a@example.jp\n" + test.header + "\n\nbody\n"), IntakeResult::Stored);
    EXPECT_EQ(Field(InboxBody(index), test.field), test.expected);
  }
  EXPECT_EQ(InboxHeaders().size(), BodyCount());
}

TEST_F(InboxIntakeTest, HeaderRecordHoldsSubjectSenderDateRecipientsAndNoFolder) {
  ArrivedMail arrived;
  ASSERT_EQ(Store("From: =?ISO-2022-JP?B?GyRCJUUbKEI=?= <a@example.jp>\n"
                  "To: me@example.jp\nSubject: hello\nDate: Mon, 7 Dec 2026 09:00:00 +0900\n"
                  "Message-ID: <m1@example.jp>\nReferences: <r0@x>\n\nline one\nline two\n",
                  &arrived),
            IntakeResult::Stored);
  const auto headers = InboxHeaders();
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].status, Sj("未読"));
  EXPECT_EQ(headers[0].subject, "hello");
  EXPECT_EQ(headers[0].from, Sj("ヅ") + " <a@example.jp>");
  EXPECT_EQ(headers[0].date, "Mon, 7 Dec 2026 09:00:00 +0900");
  EXPECT_EQ(headers[0].to, "me@example.jp");
  EXPECT_EQ(headers[0].attachmentFolder, "");
  EXPECT_EQ(TextOf(InboxBody(0)), "line one\r\nline two");
  EXPECT_EQ(arrived.recordIndex, 0u);
  EXPECT_EQ(arrived.inReplyTo, "<m1@example.jp>");
  EXPECT_EQ(arrived.references, "<r0@x>,<m1@example.jp>");
}

TEST_F(InboxIntakeTest, TwoAttachmentsShareOneFolderNamedOnceOnLineSix) {
  ArrivedMail arrived;
  ASSERT_EQ(Store("From: a@example.jp\nMessage-ID: <abc@example.jp>\n"
                  "Content-Type: multipart/mixed; boundary=\"B\"\n\n"
                  "--B\nContent-Type: text/plain\n\ntext\n"
                  "--B\ncontent-disposition: ATTACHMENT; FILENAME=\"one.txt\"\n\nfirst\n"
                  "--B\nContent-Type: application/octet-stream; name=two.bin\n"
                  "Content-Transfer-Encoding: base64\n\nAAEC\n"
                  "--B\nContent-Disposition: attachment; filename=one.txt\n\nsecond\n"
                  "--B--\n",
                  &arrived),
            IntakeResult::Stored);
  const auto headers = InboxHeaders();
  ASSERT_EQ(headers.size(), 1u);
  EXPECT_EQ(headers[0].attachmentFolder, "abc");
  const std::string base = store.StoreFolder() + "abc/";
  EXPECT_EQ(Fields(InboxBody(0), "X-Attachments-File: "),
            (std::vector<std::string>{base + "one.txt", base + "two.bin", base + "one (2).txt"}));
  EXPECT_EQ(platform::ReadFile(base + "one.txt"), "first\r\n");
  EXPECT_EQ(platform::ReadFile(base + "two.bin"), std::string("\x00\x01\x02", 3));
  EXPECT_EQ(platform::ReadFile(base + "one (2).txt"), "second\r\n");
  EXPECT_EQ(arrived.attachments.size(), 3u);
  EXPECT_EQ(TextOf(InboxBody(0)), "text");
}

// A boundary given only in its RFC 2231 form (as Python's email corpus has
// it) splits the mail like a plain one; the text's charset in sections too.
TEST_F(InboxIntakeTest, BoundaryAndCharsetInRfc2231FormSplitTheMailIntoItsParts) {
  ASSERT_EQ(Store("From: a@example.jp\nMessage-ID: <sections@example.jp>\n"
                  "Content-Type: multipart/mixed; boundary*=us-ascii'en'%3D%3Dpart%3D%3D\n\n"
                  "preamble\n"
                  "--==part==\nContent-Type: text/plain; charset*0*=''euc; charset*1*=%2Djp\n\n"
                  // EUC-JP that reads as half-width kana too: only the charset tells.
                  "\xA4\xC6\xA4\xB9\xA4\xC8\n"
                  "--==part==\nContent-Type: application/octet-stream; name*=''data.bin\n"
                  "Content-Transfer-Encoding: base64\n\nAAEC\n"
                  "--==part==--\n"),
            IntakeResult::Stored);
  EXPECT_EQ(TextOf(InboxBody(0)), Sj("てすと"));
  const std::string base = store.StoreFolder() + "sections/";
  EXPECT_EQ(Fields(InboxBody(0), "X-Attachments-File: "), (std::vector<std::string>{base + "data.bin"}));
  EXPECT_EQ(platform::ReadFile(base + "data.bin"), std::string("\x00\x01\x02", 3));
}

// RFC 2231 and encoded-word names, in the header forms other mailers write.
struct NameCase {
  const char* name;
  std::string partHeader;
  std::string expected;  // Shift_JIS file name
};

TEST_F(InboxIntakeTest, AttachmentNamesInEveryFormBecomeSafeNamesInsideTheFolder) {
  const std::vector<NameCase> cases = {
      {"rfc 2231 utf-8", "Content-Disposition: attachment; filename*=UTF-8''%E6%97%A5%E6%9C%AC.txt",
       Sj("日本") + ".txt"},
      {"rfc 2231 continuation", "Content-Disposition: attachment;\n filename*0*=utf-8''%E3%81%82;\n filename*1=b.txt",
       Sj("あ") + "b.txt"},
      {"encoded word", "Content-Disposition: attachment; filename=\"=?ISO-2022-JP?B?GyRCJEYbKEI=?=.doc\"",
       Sj("て") + ".doc"},
      {"name only", "Content-Type: image/png; name=\"pic.png\"", "pic.png"},
      {"climbing name", "Content-Disposition: attachment; filename=\"../../x\"", "x"},
      {"windows path", "Content-Disposition: attachment; filename=\"C:\\\\temp\\\\y.txt\"", "y.txt"},
      {"dots only", "Content-Disposition: attachment; filename=\"..\"", "_."},
      {"no name at all", "Content-Disposition: attachment", "noname"},
      {"control bytes", "Content-Disposition: attachment; filename=\"a\x01\x02.txt\"", "a__.txt"},
  };
  int n = 0;
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::size_t index = InboxHeaders().size();
    const std::string id = "n" + std::to_string(++n);
    ASSERT_EQ(Store("From: a@example.jp\nMessage-ID: <" + id + "@x>\nContent-Type: multipart/mixed; boundary=Z\n\n"
                    "--Z\n\nbody\n--Z\n" + test.partHeader + "\n\ndata\n--Z--\n"),
              IntakeResult::Stored);
    const auto files = Fields(InboxBody(index), "X-Attachments-File: ");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0], store.StoreFolder() + id + "/" + test.expected);
    EXPECT_TRUE(platform::FileExists(files[0]));
  }
  EXPECT_FALSE(platform::FileExists(folder.Path() + "x"));
}

TEST_F(InboxIntakeTest, HostileMailIsStoredHarmlessly) {
  ASSERT_EQ(Store("From: =?utf-8?b?ZXZpbA0KWC1DaGFyYWN0ZXI6IDxtZT4=?= <e@x>\n"
                  "Subject: one\x01\x01two\n"
                  "X-Attachments-File: /etc/passwd\n"
                  "x-character: <stolen>\n"
                  "Message-ID: <../../evil@x>\n"
                  "Content-Type: multipart/mixed; boundary=Q\n\n"
                  "--Q\n\nhello\n\x01\x01\nX-Attachments-File: /etc/hostname\n"
                  "--Q\nContent-Disposition: attachment; filename=\"../../x\"\n\nboom\n--Q--\n"),
            IntakeResult::Stored);
  ASSERT_EQ(InboxHeaders().size(), 1u);
  ASSERT_EQ(BodyCount(), 1u);
  const auto header = InboxHeaders()[0];
  EXPECT_EQ(header.from, "evil  X-Character: <me> <e@x>");
  EXPECT_EQ(header.subject, "one  two");
  const std::string body = InboxBody(0);
  const auto files = Fields(body, "X-Attachments-File: ");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(platform::IsInside(store.StoreFolder(), files[0])) << files[0];
  EXPECT_EQ(Fields(body, "X-Character: ").size(), 1u);
  // Deleting it for good removes its attachment and nothing outside FileKeep.
  const std::string outside = folder.Path() + "keep.txt";
  platform::WriteFileAtomic(outside, "x");
  EXPECT_EQ(store.DeleteMails(FolderKind::Inbox, {0}), StoreResult::Done);
  EXPECT_FALSE(platform::FileExists(files[0]));
  EXPECT_TRUE(platform::FileExists(outside));
  EXPECT_TRUE(platform::FileExists("/etc/passwd"));
}

// Which text the inbox keeps, by the structure and charset of the body.
struct TextCase {
  const char* name;
  std::string message;
  std::string expected;
};

TEST_F(InboxIntakeTest, TextComesFromTheFirstPlainPartAtAnyDepthInShiftJis) {
  const std::vector<TextCase> cases = {
      {"nested alternative inside mixed",
       "Content-Type: multipart/mixed; boundary=O\n\n--O\nContent-Type: multipart/alternative; boundary=I\n\n"
       "--I\nContent-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
       "=E3=81=82=E3=81=84\n--I\nContent-Type: text/html\n\n<p>no</p>\n--I--\n--O\n"
       "Content-Disposition: attachment; filename=a.bin\n\nx\n--O--\n",
       Sj("あい")},
      {"html only",
       "Content-Type: text/html; charset=utf-8\n\n<html><head><title>t</title></head><body><p>a &amp; b</p>"
       "<p>&#x3042;&lt;</p><script>var x;</script></body></html>\n",
       "a & b\r\n\r\n" + Sj("あ") + "<"},
      {"utf-8 with characters code page 932 lacks", "Content-Type: text/plain; charset=UTF-8\n\nx\xE2\x82\xAC\xC3\xA9y\n",
       "x" + Sj("〓〓") + "y"},
      {"iso-8859-1", "Content-Type: text/plain; charset=iso-8859-1\n\ncaf\xE9\n", "caf" + Sj("〓")},
      {"iso-2022-jp keeps the extensions", "Content-Type: text/plain; charset=iso-2022-jp\n\n"
       "\x1B$B-!-j\x1B(B\n",
       Sj("①㈱")},
      {"shift_jis as declared", "Content-Type: text/plain; charset=Shift_JIS\n\n" + Sj("髙橋") + "\n", Sj("髙橋")},
      {"multipart without a boundary read as text", "Content-Type: multipart/mixed\n\nplain\n", "plain"},
      {"unknown charset falls back", "Content-Type: text/plain; charset=x-nonsense\n\nplain\n", "plain"},
      {"inline uuencoded block left out", "\nbefore\nbegin 666 f.bin\n#86)C\n`\nend\nafter\n", "before\r\n\r\nafter"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::size_t index = InboxHeaders().size();
    ASSERT_EQ(Store("From: a@example.jp\n" + test.message), IntakeResult::Stored);
    EXPECT_EQ(TextOf(InboxBody(index)), test.expected);
  }
}

TEST_F(InboxIntakeTest, MailFromThisProgramLosesExactlyItsFooter) {
  std::string footer;
  for (const auto& line : MailFooterLines()) footer += line + "\n";
  const struct {
    const char* name;
    std::string mailer;
    std::string text;
    std::string expected;
  } cases[] = {
      {"footer removed, last line kept", "MofutanMail", "first\nlast line\n" + footer, "first\r\nlast line"},
      {"short text", "MofutanMail", "x\n" + footer + "\n\n", "x"},
      {"no footer: text unchanged", "MofutanMail", "a\nb\nc\nd\ne\nf\ng\nh\ni\n",
       "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\ni"},
      {"other mailer keeps it", "Other", "t\n" + footer, Crlf("t\n" + footer)},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const std::size_t index = InboxHeaders().size();
    ASSERT_EQ(Store("From: a@x\nX-Mailer: " + test.mailer + "\nContent-Type: text/plain; charset=shift_jis\n\n" +
                    test.text),
              IntakeResult::Stored);
    EXPECT_EQ(TrimRight(TextOf(InboxBody(index))), TrimRight(test.expected));
  }
}

TEST_F(InboxIntakeTest, MessagesWithoutAWholeHeaderAreRejectedAndStoreNothing) {
  const struct {
    const char* name;
    std::string message;
  } cases[] = {
      {"empty file", ""},
      {"begins with an empty line", "\nbody\n"},
      {"header never ends", "From: a@x\nSubject: s"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(Store(test.message), IntakeResult::Rejected);
  }
  EXPECT_TRUE(InboxHeaders().empty());
  EXPECT_EQ(BodyCount(), 0u);
}

TEST_F(InboxIntakeTest, ACutPairIsRepairedBeforeTheNextMailIsStored) {
  ASSERT_EQ(Store("From: a@x\nSubject: one\n\n1\n"), IntakeResult::Stored);
  // A crash between the two appends of the next mail left its header alone.
  HeaderRecord orphan{Sj("未読"), "lost", "b@x", "d", "t", ""};
  ASSERT_EQ(store.AppendHeaderRecord(FolderKind::Inbox, orphan), StoreResult::Done);
  ASSERT_TRUE(platform::AppendFile(store.BodyPath(FolderKind::Inbox), "Return-Path: half"));
  ASSERT_EQ(Store("From: a@x\nSubject: two\n\n2\n"), IntakeResult::Stored);
  const auto headers = InboxHeaders();
  ASSERT_EQ(headers.size(), 2u);
  EXPECT_EQ(headers[1].subject, "two");
  EXPECT_EQ(BodyCount(), 2u);
  EXPECT_EQ(TextOf(InboxBody(1)), "2");
}

}  // namespace
}  // namespace mf
