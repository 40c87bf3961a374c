// "名前を付けて保存" as ".eml": stored mails written as standard messages,
// then (a) imported back and (b) read by Python's email package, each
// compared with the stored mail field by field and byte by byte.

#include "mail/answer/MessageFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "character/CharacterPackage.h"
#include "mail/answer/MailImport.h"
#include "mail/answer/SaveAsText.h"
#include "mail/store/AttachmentNames.h"
#include "mail/store/StoredHeaderBlock.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/roster/CharacterFolders.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

using testing::ReceiveFixture;

// What Python reads, one "name=value" a line as Summary writes it, the
// values as hexadecimal UTF-8; "defects" counts what it found malformed.
constexpr const char* kReaderScript = R"(import sys, email
from email import policy
msg = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=policy.default)
def out(name, value):
    print(name + '=' + value.encode('utf-8', 'surrogateescape').hex())
out('Date', msg['Date'].datetime.isoformat())
for name in ['Subject', 'Message-ID', 'In-Reply-To', 'References', 'X-Mailer', 'X-CharacterID']:
    out(name, str(msg[name] or ''))
for name in ['From', 'To', 'Cc']:
    for address in (msg[name].addresses if msg[name] else []):
        out(name, address.display_name + '|' + address.addr_spec)
body = msg.get_body(('plain',)).get_content().replace('\r\n', '\n').rstrip('\n')
out('text', body)
for part in msg.iter_attachments():
    out('attachment', part.get_filename() + '|' + part.get_payload(decode=True).hex())
print('defects=' + str(sum(len(part.defects) for part in msg.walk())))
)";

const std::string kDate = "Tue, 8 Dec 2026 09:30:00 +0900";
const std::string kDateAsPythonReads = "2026-12-08T09:30:00+09:00";

// The values both readers must find in a stored mail, Shift_JIS, in the
// reader script's order; attachment bytes in hexadecimal.
std::vector<std::string> Summary(const std::string& stored, const std::string& mailer, const std::string& characterId) {
  const StoredMailParts parts = SplitStoredMail(stored);
  auto field = [&](const char* name) { return StoredFieldValue(parts.header, name); };
  std::vector<std::string> lines = {"Date=" + field("Date:"), "Subject=" + field("Subject:"),
                                    "Message-ID=" + field("Message-ID:"), "In-Reply-To=" + field("In-Reply-To:"),
                                    "References=" + field("References:"), "X-Mailer=" + mailer,
                                    "X-CharacterID=" + characterId};
  for (const char* name : {"From", "To", "Cc"}) {
    for (const Mailbox& mailbox : ReadMailboxList(field((std::string(name) + ":").c_str()))) {
      lines.push_back(std::string(name) + "=" + mailbox.name + "|" + mailbox.address);
    }
  }
  std::string text = TrimRight(parts.text);
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  lines.push_back("text=" + text);
  for (const std::string& path : AttachmentFilesOf(stored)) {
    std::string hex;
    for (unsigned char byte : platform::ReadFile(path).value_or("<unreadable>")) {
      hex += "0123456789abcdef"[byte >> 4];
      hex += "0123456789abcdef"[byte & 15];
    }
    lines.push_back("attachment=" + platform::ExtractFileName(path) + "|" + hex);
  }
  return lines;
}

struct MailCase {
  const char* what;
  FolderKind folder;
  std::vector<std::pair<std::string, std::string>> fields;  // as the folder's writer stores them
  std::string text;
  std::vector<std::pair<std::string, std::string>> attachments;  // Shift_JIS name, bytes
  bool package;
  const char* charset;  // of the text part
};

std::string AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes + "\r\n.\r\n--=_MFMail_part_0\r\n" + std::string(3000, '\xFF');
}

class MessageFileTest : public ReceiveFixture {
 protected:
  // Stores the mail with its attachment files; its text as the list reads it.
  std::string StoreMail(const MailCase& c, int number) {
    BodyRecord body;
    for (const auto& [name, value] : c.fields) body.fields.push_back({name, value});
    const std::string folderName = "saved" + std::to_string(number);
    EXPECT_TRUE(platform::CreateFolder(store.StoreFolder() + folderName));
    for (const auto& [name, bytes] : c.attachments) {
      const std::string path = store.AttachmentFilePath(folderName, name);
      EXPECT_TRUE(platform::WriteFileAtomic(path, bytes));
      body.fields.push_back({"X-Attachments-File: ", path});
    }
    if (c.package) {
      testing::CharacterSetup setup;
      setup.folderName = "source";
      setup.id = "<pochi@example.jp>";
      setup.scenes = testing::StandingScenes();
      testing::MakeCharacter(scratch.Path(), setup);
      const std::string path = store.AttachmentFilePath(folderName, std::string(kPackageFileName));
      EXPECT_TRUE(PackCharacter(scratch.Path() + "source", path));
      body.fields.push_back({"X-Attachments-File: ", path});
    }
    body.text = c.text;
    EXPECT_EQ(store.AppendMail(c.folder, HeaderRecord{"s", "s", "f", "d", "t", ""}, body), StoreResult::Done);
    return store.ReadBodyRecord(c.folder, store.RecordCount(c.folder) - 1);
  }

  std::vector<std::string> ReadWithPython(const std::string& path) {
    const std::string script = scratch.Path() + "read.py";
    const std::string output = scratch.Path() + "read.txt";
    EXPECT_TRUE(platform::WriteFileAtomic(script, kReaderScript));
    const std::string command = "python3 '" + script + "' '" + platform::NativePath(path) + "' > '" + output + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(platform::ReadFile(output).value_or(""))) {
      const std::size_t equals = line.find('=');
      std::string value;
      for (std::size_t i = equals + 1; i + 1 < line.size(); i += 2) {
        value += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
      }
      lines.push_back(line.substr(0, equals + 1) + (StartsWith(line, "defects=") ? line.substr(8) : Utf8ToSjis(value)));
    }
    return lines;
  }

  platform::TemporaryFolder scratch;
};

TEST_F(MessageFileTest, SavedMessagesImportBackAndReadInPythonAsTheStoredMail) {
  if (std::system("python3 -c 'import email' 2>/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
  const std::vector<MailCase> cases = {
      {"plain Japanese text from another mailer", FolderKind::Inbox,
       {{"Date: ", kDate}, {"From: ", "\"Alice\" <alice@example.test>"}, {"To: ", Sj("自分 <me@example.jp>")},
        {"Cc: ", ""}, {"Subject: ", Sj("こんにちは")}, {"Message-ID: ", "<m1@example.test>"},
        {"X-Mailer: ", "Other Mailer 1.0"}, {"X-Character: ", "<presenter@example.jp>"}},
       Sj("本文です。") + "\r\n" + Sj("二行目には「かぎ」も。") + "\r\n\r\n--\r\nsig", {}, false, "ISO-2022-JP"},
      {"a subject of several encoded words and a name with a comma", FolderKind::Inbox,
       {{"Date: ", kDate}, {"From: ", Sj("\"山田, 太郎\" <yamada@example.jp>")}, {"To: ", "me@example.jp"},
        {"Subject: ", Sj("【重要】来週の会議の議題についてのお知らせと資料の確認のお願い Re: 予定")},
        {"Message-ID: ", "<m2@example.jp>"}, {"X-Mailer: ", ""}, {"X-Character: ", ""}},
       Sj("議題は三つです。"), {}, false, "ISO-2022-JP"},
      {"a sent reply with a Cc and text beyond ISO-2022-JP", FolderKind::Sent,
       {{"Subject: ", "Re: lunch"}, {"From: ", "me@example.jp"}, {"Date: ", kDate},
        {"To: ", Sj("\"Doe, John\" <j@example.test>, 山田 <y@example.jp>")}, {"Cc: ", "c@example.test"},
        {"Message-ID: ", "<sent1@example.jp>"}, {"In-Reply-To: ", "<m1@example.test>"},
        {"References: ", "<m1@example.test>, <m0@example.test>"}, {"X-Character: ", "<pochi@example.jp>"}},
       Sj("ﾊﾝｶｸのカナと①、髙橋さん") + "\r\n" + std::string(1200, 'x'), {}, false, "UTF-8"},
      {"attachments with a Japanese name and with binary bytes", FolderKind::Inbox,
       {{"Date: ", kDate}, {"From: ", "bob@example.test (Bob)"}, {"To: ", "me@example.jp"}, {"Subject: ", "files"},
        {"Message-ID: ", "<files@example.test>"}, {"X-Mailer: ", ""}, {"X-Character: ", ""}},
       "see the files",
       {{Sj("資料.txt"), Sj("中身") + "\r\n"}, {"data.bin", AllBytes()}, {"empty.dat", ""},
        {Sj("とても長い名前の添付ファイルでございますのでよろしくお願いいたします.pdf"), "%PDF"}},
       false, "ISO-2022-JP"},
      {"the character package", FolderKind::Sent,
       {{"Subject: ", Sj("キャラクターを送ります")}, {"From: ", "me@example.jp"}, {"Date: ", kDate},
        {"To: ", "friend@example.test"}, {"Message-ID: ", "<pkg@example.jp>"}, {"X-Character: ", "<pochi@example.jp>"}},
       Sj("よろしく"), {}, true, "ISO-2022-JP"},
  };
  int number = 0;
  for (const MailCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string stored = StoreMail(c, ++number);
    const StoredMailParts parts = SplitStoredMail(stored);
    const std::string mailer = c.folder == FolderKind::Inbox ? StoredFieldValue(parts.header, "X-Mailer:") : "MofutanMail";
    // Another program's mail carried no character: the one that presented it is no part of it.
    const std::string character = mailer == "MofutanMail" ? StoredFieldValue(parts.header, "X-Character:") : "";
    const std::vector<std::string> expected = Summary(stored, mailer, character);
    const std::string path = scratch.Path() + Sj("保存") + std::to_string(number) + ".eml";
    const SavedMail saved = SaveStoredMail(path, stored);
    ASSERT_TRUE(saved.written);
    EXPECT_TRUE(saved.missingFiles.empty());
    const std::string message = platform::ReadFile(path).value_or("");
    EXPECT_NE(message.find(std::string("charset=\"") + c.charset + "\""), std::string::npos);
    for (const std::string& line : SplitLines(message)) EXPECT_LE(line.size(), 998u);

    // (a) "インポート" reads it back into the same mail; a package arrives
    // as the character it carries.
    const std::size_t index = store.RecordCount(FolderKind::Inbox);
    const auto arrived = ImportMailFile(store, hut, random, clock, path);
    ASSERT_TRUE(arrived.has_value());
    const std::string imported = store.ReadBodyRecord(FolderKind::Inbox, index);
    EXPECT_EQ(Summary(imported, StoredFieldValue(SplitStoredMail(imported).header, "X-Mailer:"), arrived->carriedId),
              expected);
    EXPECT_EQ(hut.registered.size(), c.package ? 1u : 0u);

    // (b) So does another mail program, and finds nothing malformed.
    std::vector<std::string> python = expected;
    python.front() = "Date=" + kDateAsPythonReads;
    python.push_back("defects=0");
    EXPECT_EQ(ReadWithPython(path), python);
  }
}

// An attachment that is gone is left out and named.
TEST_F(MessageFileTest, MissingAttachmentsAreLeftOutAndNamed) {
  const std::string gone = store.StoreFolder() + "gone/missing.txt";
  const MessageFile message =
      StoredMailAsMessage("Subject: s\r\nFrom: me@example.jp\r\nX-Attachments-File: " + gone + "\r\n\r\ntext");
  EXPECT_EQ(message.missingFiles, std::vector<std::string>{gone});
  EXPECT_EQ(message.bytes.find("multipart"), std::string::npos);
}

}  // namespace
}  // namespace mf
