// "名前を付けて保存" as ".eml": stored mails of the inbox and of the sent
// folder written as standard messages, then (a) imported back and compared
// field by field with the stored mail and its attachment bytes, and (b)
// read by Python's email package, as another mail program would.

#include "mail/MessageFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "charedit/CharacterPackage.h"
#include "mail/AttachmentNames.h"
#include "mail/MailImport.h"
#include "mail/MailStatus.h"
#include "mail/SaveAsText.h"
#include "mail/StoredHeaderBlock.h"
#include "tests/hut/CharacterFolders.h"
#include "tests/mail/ReceiveFixture.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

using testing::ReceiveFixture;

// Prints what Python's email package reads, one value a line, texts as
// hexadecimal UTF-8 so that nothing needs quoting.
constexpr const char* kReaderScript = R"(import sys, email
from email import policy
with open(sys.argv[1], 'rb') as f:
    msg = email.message_from_binary_file(f, policy=policy.default)
def hx(text):
    return text.encode('utf-8').hex()
defects = len(msg.defects)
print('Date\t' + hx(msg['Date'].datetime.isoformat()))
for name in ['Subject', 'Message-ID', 'In-Reply-To', 'References', 'X-Mailer', 'X-CharacterID']:
    value = msg[name]
    print(name + '\t' + hx('' if value is None else str(value)))
for name in ['From', 'To', 'Cc']:
    value = msg[name]
    for address in ([] if value is None else value.addresses):
        print(name + '\t' + hx(address.display_name) + '\t' + hx(address.addr_spec))
body = msg.get_body(('plain',))
print('text\t' + hx('' if body is None else body.get_content()))
for part in msg.walk():
    defects += len(part.defects)
for part in msg.iter_attachments():
    print('attachment\t' + hx(part.get_filename()) + '\t' + part.get_payload(decode=True).hex())
print('defects\t' + str(defects))
)";

std::string FromHex(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  }
  return bytes;
}

// Line ends as Python gives them, without the last ones.
std::string Lines(std::string text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

struct Attachment {
  std::string name;   // Shift_JIS
  std::string bytes;
};

struct MailCase {
  const char* what;
  FolderKind folder;
  std::vector<std::pair<std::string, std::string>> fields;  // name with ": ", value
  std::string text;
  std::vector<Attachment> attachments;
  bool package = false;
  const char* charset;  // the text part's
};

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes + "\r\n.\r\nFrom x\r\n" + std::string(3000, '\xFF');
}

// Every case's date, and as Python reads it.
const std::string kDate = "Tue, 8 Dec 2026 09:30:00 +0900";
const std::string kDateAsRead = "2026-12-08T09:30:00+09:00";

std::vector<MailCase> Cases() {
  return {
      {"plain Japanese text from another mailer",
       FolderKind::Inbox,
       {{"Date: ", kDate},
        {"From: ", "\"Alice\" <alice@example.test>"},
        {"To: ", Sj("自分 <me@example.jp>")},
        {"Cc: ", ""},
        {"Subject: ", Sj("こんにちは")},
        {"Message-ID: ", "<m1@example.test>"},
        {"X-Mailer: ", "Other Mailer 1.0"},
        {"In-Reply-To: ", ""},
        {"References: ", ""}},
       Sj("本文です。") + "\r\n" + Sj("二行目には「かぎ」も。") + "\r\n\r\n--\r\nsig",
       {},
       false,
       "iso-2022-jp"},
      {"a subject of several encoded words and a name with a comma",
       FolderKind::Inbox,
       {{"Date: ", kDate},
        {"From: ", Sj("\"山田, 太郎\" <yamada@example.jp>")},
        {"To: ", "me@example.jp"},
        {"Subject: ", Sj("【重要】来週の会議の議題についてのお知らせと資料の確認のお願い Re: 予定")},
        {"Message-ID: ", "<m2@example.jp>"},
        {"X-Mailer: ", ""}},
       Sj("議題は三つです。"),
       {},
       false,
       "iso-2022-jp"},
      {"a sent reply with a Cc and text beyond ISO-2022-JP",
       FolderKind::Sent,
       {{"Subject: ", "Re: lunch"},
        {"From: ", "me@example.jp"},
        {"Date: ", kDate},
        {"To: ", Sj("\"Doe, John\" <j@example.test>, 山田 <y@example.jp>")},
        {"Cc: ", "c@example.test"},
        {"Message-ID: ", "<sent1@example.jp>"},
        {"In-Reply-To: ", "<m1@example.test>"},
        {"References: ", "<m1@example.test>, <m0@example.test>"},
        {"X-Character: ", "<pochi@example.jp>"}},
       Sj("ﾊﾝｶｸのカナと①、髙橋さん") + "\r\nsecond line",
       {},
       false,
       "utf-8"},
      {"attachments with a Japanese name and with binary bytes",
       FolderKind::Inbox,
       {{"Date: ", kDate},
        {"From: ", "bob@example.test (Bob)"},
        {"To: ", "me@example.jp"},
        {"Subject: ", "files"},
        {"Message-ID: ", "<files@example.test>"},
        {"X-Mailer: ", ""}},
       "see the files",
       {{Sj("資料.txt"), Sj("中身") + "\r\n"},
        {"data.bin", AllBytes()},
        {Sj("とても長い名前の添付ファイルでございますのでよろしくお願いいたします.pdf"), "%PDF"},
        {"empty.dat", ""}},
       false,
       "iso-2022-jp"},
      {"the character package",
       FolderKind::Sent,
       {{"Subject: ", Sj("キャラクターを送ります")},
        {"From: ", "me@example.jp"},
        {"Date: ", kDate},
        {"To: ", "friend@example.test"},
        {"Message-ID: ", "<pkg@example.jp>"},
        {"X-Character: ", "<pochi@example.jp>"}},
       Sj("よろしく"),
       {},
       true,
       "iso-2022-jp"},
  };
}

class MessageFileTest : public ReceiveFixture {
 protected:
  // Stores the case's mail with its attachment files and returns its text
  // as the mail list reads it.
  std::string StoreMail(const MailCase& c, int number) {
    BodyRecord body;
    for (const auto& [name, value] : c.fields) body.fields.push_back({name, value});
    const std::string folderName = "saved" + std::to_string(number);
    if (!c.attachments.empty() || c.package) {
      EXPECT_TRUE(platform::CreateFolder(store.StoreFolder() + folderName));
    }
    for (const Attachment& attachment : c.attachments) {
      const std::string path = store.AttachmentFilePath(folderName, attachment.name);
      EXPECT_TRUE(platform::WriteFileAtomic(path, attachment.bytes));
      body.fields.push_back({"X-Attachments-File: ", path});
    }
    if (c.package) {
      const std::string path = store.AttachmentFilePath(folderName, std::string(kPackageFileName));
      EXPECT_TRUE(PackCharacter(MakeCharacterSource(), path));
      body.fields.push_back({"X-Attachments-File: ", path});
    }
    if (c.folder == FolderKind::Inbox) body.fields.push_back({"X-Character: ", ""});
    body.text = c.text;
    const StoreResult appended =
        store.AppendMail(c.folder,
                         HeaderRecord{StatusWord(c.folder == FolderKind::Inbox ? MailStatus::Read : MailStatus::Sent),
                                      "s", "f", "d", "t", c.attachments.empty() ? "" : folderName},
                         body);
    EXPECT_EQ(appended, StoreResult::Done);
    return store.ReadBodyRecord(c.folder, store.RecordCount(c.folder) - 1);
  }

  std::string MakeCharacterSource() {
    testing::CharacterSetup setup;
    setup.folderName = "source";
    setup.id = "<pochi@example.jp>";
    setup.name = "Pochi";
    setup.scenes = testing::StandingScenes();
    testing::MakeCharacter(scratch.Path(), setup);
    return scratch.Path() + "source";
  }

  // Python's reading of a message file, line by line.
  std::vector<std::vector<std::string>> ReadWithPython(const std::string& path) {
    const std::string script = scratch.Path() + "read.py";
    const std::string output = scratch.Path() + "read.txt";
    EXPECT_TRUE(platform::WriteFileAtomic(script, kReaderScript));
    const std::string command = "python3 '" + script + "' '" + platform::NativePath(path) + "' > '" + output + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::vector<std::vector<std::string>> rows;
    for (const std::string& line : SplitLines(platform::ReadFile(output).value_or(""))) {
      std::vector<std::string> row;
      std::size_t start = 0;
      for (;;) {
        const std::size_t tab = line.find('\t', start);
        row.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
      }
      rows.push_back(row);
    }
    return rows;
  }

  platform::TemporaryFolder scratch;
};

// What both readers must find of the stored mail.
struct Expected {
  std::string subject, date, messageId, inReplyTo, references, mailer, characterId, text;
  std::vector<Mailbox> from, to, cc;
  std::vector<Attachment> attachments;  // in order, the package included
};

Expected ExpectedOf(const std::string& stored) {
  const StoredMailParts parts = SplitStoredMail(stored);
  auto field = [&](const char* name) { return StoredFieldValue(parts.header, name); };
  Expected expected;
  expected.subject = field("Subject:");
  expected.date = field("Date:");
  expected.messageId = field("Message-ID:");
  expected.inReplyTo = field("In-Reply-To:");
  expected.references = field("References:");
  expected.characterId = field("X-Character:");
  expected.from = ReadMailboxList(field("From:"));
  expected.to = ReadMailboxList(field("To:"));
  expected.cc = ReadMailboxList(field("Cc:"));
  expected.text = TrimRight(parts.text);
  for (const std::string& path : AttachmentFilesOf(stored)) {
    expected.attachments.push_back({platform::ExtractFileName(path), platform::ReadFile(path).value_or("?")});
  }
  return expected;
}

TEST_F(MessageFileTest, SavedMessagesImportBackAndReadInPythonAsTheStoredMail) {
  if (std::system("python3 -c 'import email' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
  int number = 0;
  for (const MailCase& c : Cases()) {
    SCOPED_TRACE(c.what);
    const std::string stored = StoreMail(c, ++number);
    Expected expected = ExpectedOf(stored);
    expected.mailer = c.folder == FolderKind::Inbox ? StoredFieldValue(SplitStoredMail(stored).header, "X-Mailer:")
                                                    : "MofutanMail";
    const std::string path = scratch.Path() + Sj("保存") + std::to_string(number) + ".eml";
    const SavedMail saved = SaveStoredMail(path, stored);
    ASSERT_TRUE(saved.written);
    EXPECT_TRUE(saved.missingFiles.empty());
    const std::string message = platform::ReadFile(path).value_or("");
    const std::string head = message.substr(0, message.find("\r\n\r\n"));
    EXPECT_NE(message.find("charset=\"" + UpperAscii(c.charset) + "\""), std::string::npos) << message.substr(0, 2000);
    for (const std::string& line : SplitLines(head)) EXPECT_LE(line.size(), 78u) << line;

    // (a) "インポート" reads it back into the same mail.
    const std::size_t index = store.RecordCount(FolderKind::Inbox);
    const auto arrived = ImportMailFile(store, hut, random, clock, path);
    ASSERT_TRUE(arrived.has_value());
    const std::string imported = store.ReadBodyRecord(FolderKind::Inbox, index);
    const Expected back = ExpectedOf(imported);
    EXPECT_EQ(back.subject, expected.subject);
    EXPECT_EQ(back.date, expected.date);
    EXPECT_EQ(back.messageId, expected.messageId);
    EXPECT_EQ(back.inReplyTo, expected.inReplyTo);
    EXPECT_EQ(back.references, expected.references);
    EXPECT_EQ(StoredFieldValue(SplitStoredMail(imported).header, "X-Mailer:"), expected.mailer);
    EXPECT_EQ(back.from, expected.from);
    EXPECT_EQ(back.to, expected.to);
    EXPECT_EQ(back.cc, expected.cc);
    EXPECT_EQ(back.text, expected.text);
    ASSERT_EQ(back.attachments.size(), expected.attachments.size());
    for (std::size_t i = 0; i < back.attachments.size(); ++i) {
      EXPECT_EQ(back.attachments[i].name, expected.attachments[i].name);
      EXPECT_TRUE(back.attachments[i].bytes == expected.attachments[i].bytes) << back.attachments[i].name;
    }
    if (c.package) {
      // The package arrives as the character it carries.
      EXPECT_EQ(back.characterId, "<pochi@example.jp>");
      EXPECT_EQ(hut.registered.size(), 1u);
    } else if (!expected.characterId.empty()) {
      EXPECT_EQ(arrived->carriedId, expected.characterId);
    }

    // (b) Python's email package reads the same values.
    std::vector<std::string> from, to, cc, attachmentRows;
    std::string text, defects = "?";
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& row : ReadWithPython(path)) {
      if (row.size() == 3 && (row[0] == "From" || row[0] == "To" || row[0] == "Cc")) {
        auto& list = row[0] == "From" ? from : row[0] == "To" ? to : cc;
        list.push_back(Utf8ToSjis(FromHex(row[1])) + "|" + FromHex(row[2]));
      } else if (row.size() == 3 && row[0] == "attachment") {
        attachmentRows.push_back(Utf8ToSjis(FromHex(row[1])) + "|" + FromHex(row[2]));
      } else if (row.size() == 2 && row[0] == "text") {
        text = FromHex(row[1]);
      } else if (row.size() == 2 && row[0] == "defects") {
        defects = row[1];
      } else if (row.size() == 2) {
        values.emplace_back(row[0], FromHex(row[1]));
      }
    }
    EXPECT_EQ(defects, "0");
    auto mailboxRows = [](const std::vector<Mailbox>& mailboxes) {
      std::vector<std::string> rows;
      for (const Mailbox& mailbox : mailboxes) rows.push_back(mailbox.name + "|" + mailbox.address);
      return rows;
    };
    EXPECT_EQ(from, mailboxRows(expected.from));
    EXPECT_EQ(to, mailboxRows(expected.to));
    EXPECT_EQ(cc, mailboxRows(expected.cc));
    const std::vector<std::pair<std::string, std::string>> expectedValues = {
        {"Date", kDateAsRead},
        {"Subject", SjisToUtf8(expected.subject)},
        {"Message-ID", expected.messageId},
        {"In-Reply-To", expected.inReplyTo},
        {"References", expected.references},
        {"X-Mailer", expected.mailer},
        {"X-CharacterID", expected.characterId}};
    EXPECT_EQ(values, expectedValues);
    EXPECT_EQ(Lines(text), Lines(SjisToUtf8(expected.text)));
    std::vector<std::string> expectedAttachments;
    for (const Attachment& attachment : expected.attachments) {
      expectedAttachments.push_back(attachment.name + "|" + attachment.bytes);
    }
    EXPECT_TRUE(attachmentRows == expectedAttachments);
  }
}

// Long lines go as base64, so that nothing is split; an attachment that is
// gone is left out and named.
TEST_F(MessageFileTest, LongLinesAndMissingAttachments) {
  const std::string longLine(1200, 'x');
  const std::string stored = "Subject: long\r\nFrom: me@example.jp\r\nTo: you@example.test\r\n"
                             "X-Character: \r\nX-Attachments-File: " + store.StoreFolder() + "gone/missing.txt\r\n"
                             "\r\n" + longLine + "\r\nshort";
  const MessageFile message = StoredMailAsMessage(stored);
  EXPECT_EQ(message.missingFiles, (std::vector<std::string>{store.StoreFolder() + "gone/missing.txt"}));
  EXPECT_NE(message.bytes.find("Content-Transfer-Encoding: base64"), std::string::npos);
  EXPECT_EQ(message.bytes.find("multipart"), std::string::npos);
  for (const std::string& line : SplitLines(message.bytes)) EXPECT_LE(line.size(), 998u);

  const std::string path = scratch.Path() + "long.eml";
  ASSERT_TRUE(platform::WriteFileAtomic(path, message.bytes));
  ASSERT_TRUE(ImportMailFile(store, hut, random, clock, path).has_value());
  EXPECT_EQ(TrimRight(TextOf(InboxBody(0))), longLine + "\r\nshort");
}

TEST(FitsIso2022JpTest, OnlyJisX0208AndPlainAsciiFit) {
  struct Case {
    std::string text;
    bool fits;
  };
  const Case cases[] = {
      {"plain ascii\r\n\ttab", true},
      {Sj("漢字かなカナ、。「」亜腕熙"), true},
      {Sj("ｶﾅ"), false},        // half-width katakana
      {Sj("①"), false},         // NEC row 13
      {Sj("髙"), false},         // IBM extension
      {"\xED\x40", false},       // NEC-selected IBM extension
      {"\xF0\x40", false},       // user-defined
      {"a\x1B$Bb", false},       // an escape of its own
      {std::string("a\0b", 3), false},
      {"\x82", false},           // a lead byte alone
  };
  for (const Case& c : cases) EXPECT_EQ(FitsIso2022Jp(c.text), c.fits) << SjisToUtf8(c.text);
}

}  // namespace
}  // namespace mf
