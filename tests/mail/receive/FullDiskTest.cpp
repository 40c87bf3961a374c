// A disk that fills while mail is received, moved or the address book is
// saved: the work stops with a message, what was stored stays whole, the
// server keeps what was not stored, and the next run with room finishes.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "addressbook/AddressFile.h"
#include "base/ShiftJis.h"
#include "mail/receive/ReceiveController.h"
#include "mail/store/MailStore.h"
#include "platform/PollEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/servers/MailServers.h"
#include "tests/support/SmallDisk.h"

namespace mf {
namespace {

using namespace std::chrono_literals;
using test::MailServers;

constexpr int kMails = 6;

class FullDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::CreateFolder(top.Path() + "disk");
    disk = std::make_unique<testing::SmallDisk>(top.Path() + "disk/", 400);
    if (!disk->Mounted()) GTEST_SKIP() << disk->WhyNot();
    store = std::make_unique<MailStore>(disk->Path());
    ASSERT_TRUE(store->Prepare());
  }

  std::size_t Stored(FolderKind folder) const { return store->ReadHeaderRecords(folder).size(); }

  // Every header record has its body record, and each body is whole.
  void ExpectWhole(FolderKind folder) const {
    const auto headers = store->ReadHeaderRecords(folder);
    ASSERT_EQ(store->RecordCount(folder), headers.size());
    for (std::size_t i = 0; i < headers.size(); ++i) {
      EXPECT_NE(store->ReadBodyRecord(folder, i).find("end of mail"), std::string::npos) << headers[i].subject;
    }
  }

  platform::TemporaryFolder top;
  std::unique_ptr<testing::SmallDisk> disk;
  std::unique_ptr<MailStore> store;
};

class FullDiskReceiveTest : public FullDiskTest {
 protected:
  void SetUp() override {
    FullDiskTest::SetUp();
    if (IsSkipped()) return;
    servers = &test::SharedMailServers();
    if (servers->Failed()) FAIL() << servers->WhyNot();
    if (!servers->Running()) GTEST_SKIP() << servers->WhyNot();
    settings = std::make_unique<LiveSettings>(platform::IniFile(top.Path() + "MFMail.ini"), nullptr, nullptr);
    settings->pop3Server = "127.0.0.1";
    settings->pop3Port = std::to_string(servers->Pop3Port());
    settings->pop3User = "alice";
    settings->pop3Password = MailServers::kPassword;
    receiver = std::make_unique<ReceiveController>(loop, *settings, *store, hut, random, clock);
    receiver->OnFinished = [this](const ReceiveSummary& summary) {
      last = summary;
      finished = true;
    };
  }

  // Mails of about 100 kB each: a few fit the disk, not all.
  bool Deliver() {
    const std::string script =
        "python3 -c \"import smtplib, random\n"
        "s = smtplib.SMTP('127.0.0.1'," + std::to_string(servers->SmtpPort()) + ")\n"
        "for n in range(" + std::to_string(kMails) + "):\n"
        "  lines = ''.join('%064x\\r\\n' % random.getrandbits(256) for i in range(1500))\n"
        "  s.sendmail('bob@mfmail.test', ['alice@mfmail.test'], 'Subject: mail %d\\r\\n\\r\\n' % n + lines + 'end of mail\\r\\n')\n"
        "s.quit()\"";
    return std::system(script.c_str()) == 0 &&
           loop.RunUntil([&] { return OnServer() >= kMails; }, 20s);
  }

  std::size_t OnServer() const { return servers->MessageCount("alice"); }

  ReceiveEnd Receive() {
    finished = false;
    EXPECT_EQ(receiver->Receive(ReceiveTrigger::Manual), ReceiveStart::Started);
    EXPECT_TRUE(loop.RunUntil([this] { return finished; }, 60s));
    return last.end;
  }

  MailServers* servers = nullptr;
  platform::PollEventLoop loop;
  std::unique_ptr<LiveSettings> settings;
  testing::FakeReceivingHut hut;
  MersenneRandom random;
  SystemClock clock;
  std::unique_ptr<ReceiveController> receiver;
  ReceiveSummary last;
  bool finished = false;
};

TEST_F(FullDiskReceiveTest, AFullDiskStopsTheRunAndTheNextRunWithRoomFinishesIt) {
  ASSERT_TRUE(Deliver());
  EXPECT_EQ(Receive(), ReceiveEnd::Failed);
  EXPECT_NE(last.userText.find(Sj("ディスクの空きが足りない")), std::string::npos)
      << SjisToUtf8(last.userText) << " / " << last.error;
  ExpectWhole(FolderKind::Inbox);
  const std::size_t storedFirst = Stored(FolderKind::Inbox);
  EXPECT_LT(storedFirst, static_cast<std::size_t>(kMails));
  // What the server let go of is stored, or waits in the run's own files.
  EXPECT_GE(OnServer() + storedFirst, static_cast<std::size_t>(kMails)) << "mail left the server unstored";

  ASSERT_TRUE(disk->Grow(16 * 1024));
  EXPECT_EQ(Receive(), ReceiveEnd::Done) << last.error;
  ExpectWhole(FolderKind::Inbox);
  std::set<std::string> subjects;
  for (const auto& header : store->ReadHeaderRecords(FolderKind::Inbox)) subjects.insert(header.subject);
  EXPECT_EQ(subjects.size(), static_cast<std::size_t>(kMails));
  EXPECT_EQ(Stored(FolderKind::Inbox), static_cast<std::size_t>(kMails)) << "a mail was stored twice";
  EXPECT_EQ(Receive(), ReceiveEnd::NoNewMail);
}

TEST_F(FullDiskTest, MovingMailOntoAFullDiskChangesNeitherFolder) {
  const std::string body = "text\r\n" + std::string(20000, 'x') + "\r\nend of mail\r\n";
  for (int n = 0; n < 4; ++n) {
    HeaderRecord header;
    header.subject = "mail " + std::to_string(n);
    ASSERT_EQ(store->AppendMail(FolderKind::Inbox, header, BodyRecord{{}, body}), StoreResult::Done);
  }
  ASSERT_TRUE(disk->Fill(4));
  EXPECT_EQ(store->MoveMails(FolderKind::Inbox, FolderKind::Kept, {0, 1, 2}), StoreResult::Failed);
  EXPECT_EQ(Stored(FolderKind::Inbox), 4u);
  EXPECT_EQ(Stored(FolderKind::Kept), 0u);
  ExpectWhole(FolderKind::Inbox);
  ExpectWhole(FolderKind::Kept);
  disk->Empty();
  EXPECT_EQ(store->MoveMails(FolderKind::Inbox, FolderKind::Kept, {0, 1, 2}), StoreResult::Done);
  EXPECT_EQ(Stored(FolderKind::Inbox), 1u);
  EXPECT_EQ(Stored(FolderKind::Kept), 3u);
}

TEST_F(FullDiskTest, SavingTheAddressBookOntoAFullDiskKeepsTheBookAsItWas) {
  AddressFile book(disk->Path());
  for (int n = 0; n < 50; ++n) {
    ASSERT_TRUE(book.Append({"name " + std::to_string(n), "person" + std::to_string(n) + "@example.jp", "", 0}));
  }
  const auto before = book.Load();
  ASSERT_TRUE(disk->Fill(1));
  bool wrote = true;
  for (int n = 0; n < 20 && wrote; ++n) wrote = book.Append({std::string(200, 'n'), "more@example.jp", "", 0});
  EXPECT_FALSE(wrote) << "a full disk took every record";
  EXPECT_FALSE(book.Rewrite(0, {std::string(4000, 'r'), "changed@example.jp", "", 0}));
  const auto after = book.Load();
  ASSERT_GE(after.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i], before[i]);
}

}  // namespace
}  // namespace mf
