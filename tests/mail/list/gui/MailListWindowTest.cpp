// The mail list window on the offscreen platform over a fresh program
// folder, with fake dialogs and shell, a hut stand-in and scripted peers:
// every case is checked on the store's files.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QTreeView>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/list/gui/MailListModel.h"
#include "mail/list/gui/MailListWindow.h"
#include "mail/receive/InboxIntake.h"
#include "mail/send/OutboxSender.h"
#include "mail/send/OutgoingRecords.h"
#include "mail/send/SendController.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/MailStatus.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Shell.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/LiveSettings.h"
#include "tests/mail/gui/LinkStubs.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/net/smtp/SmtpFixture.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/servers/MailServers.h"
#include "tests/support/Controls.h"
#include "widgets/LongTextView.h"

namespace mf {
namespace {

using namespace std::chrono_literals;

// The hut as the mail list sees it: one character, through which a
// composition is opened and then filed with "後で送る" at once, as a user
// who changes nothing would.
class ListHost final : public MailHost {
 public:
  std::optional<CarrierPlace> PlaceOf(const CarrierRef&) const override { return std::nullopt; }
  void MoveCarrier(const CarrierRef&, ScreenPoint) override {}
  void BringCarrierIntoView(const CarrierRef& carrier) override { broughtIntoView.push_back(carrier.id); }
  void RestoreCarrier(const CarrierRef&) override {}
  bool SendMailByCharacterId(const std::string& id) override {
    carriers.push_back(id);
    if (composition == nullptr) return false;
    composition->SetCarrier("", id);
    composed.push_back(composition->Current());
    if (fileAtOnce) composition->SendLater();
    return true;
  }
  void DepartWithMail(const std::string& id) override { departed.push_back(id); }
  ScreenPoint& MailPosition() override { return mailPosition; }
  bool ListsCharacter(const std::string& id) const override { return id == characterId; }

  std::string characterId = "<c@test>";
  CompositionWindow* composition = nullptr;
  bool fileAtOnce = true;
  ScreenPoint mailPosition{0, 0};
  std::vector<std::string> carriers;
  std::vector<Composition> composed;  // the mail as each opening found it
  std::vector<std::string> departed;
  std::vector<std::string> broughtIntoView;
};

bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

class MailListWindowTest : public ::testing::Test {
 protected:
  MailListWindowTest() {
    settings_.smtpServer = "127.0.0.1";
    settings_.mailAddress = "taro@example.jp";
    store_.Prepare();
    hut_.charDB = {"1", host_.characterId};
    hut_.visibleDB = {host_.characterId};
    host_.composition = &composition_;
    testing::StubLinks(composition_.links);
  }

  // Builds the window over what the folder holds now.
  MailListWindow& Window() {
    if (!window_) {
      window_ = std::make_unique<MailListWindow>(Services(), hut_, composition_);
      testing::StubLinks(window_->links);
      window_->links.addAddress = [this](const std::string& name, const std::string& address) {
        offered_.push_back({name, address});
      };
      window_->links.presentMail = [this](const ArrivedMail& mail) { presented_.push_back(mail.subject); };
    }
    return *window_;
  }

  // An inbox mail; with `attachment`, one file in an attachment folder of its own.
  void AddInbox(const std::string& subject, const std::string& from, MailStatus status = MailStatus::Unread,
                bool attachment = false) {
    HeaderRecord header{StatusWord(status), subject, from, "Tue, 5 Mar 2024 14:07:09 +0900", "taro@example.jp", ""};
    BodyRecord body{{{"Date: ", header.date}, {"From: ", from}, {"To: ", "taro@example.jp"},
                     {"Subject: ", subject}, {"Content-Type: ", "text/plain"}}, "text of " + subject + "\r\n"};
    if (attachment) {
      const std::string folder = "att" + subject;
      ASSERT_TRUE(platform::CreateFolder(store_.StoreFolder() + folder));
      const std::string file = store_.StoreFolder() + folder + "/" + subject + ".txt";
      ASSERT_TRUE(platform::WriteFileAtomic(file, "bytes"));
      header.attachmentFolder = folder;
      body.fields.push_back({"X-Attachments-File: ", file});
      attachments_.push_back(file);
    }
    body.fields.push_back({"X-Character: ", ""});
    ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, header, body), StoreResult::Done);
  }

  void Queue(const std::string& subject) {
    SendController sender(loop_, settings_, store_, clock_, random_);
    Composition mail;
    mail.to = "hanako@example.jp";
    mail.subject = subject;
    mail.body = "text\r\n";
    mail.characterId = host_.characterId;
    std::string error;
    ASSERT_TRUE(sender.SendLater(mail, error)) << error;
  }

  std::vector<std::string> Subjects() {
    std::vector<std::string> subjects;
    for (int row = 0; row < Window().Model().rowCount(); ++row) subjects.emplace_back(Window().Model().SubjectAt(row));
    return subjects;
  }

  std::vector<std::string> Errors() const {
    std::vector<std::string> texts;
    for (const auto& call : dialogs_.calls) {
      if (call.kind == "Error") texts.push_back(call.text);
    }
    return texts;
  }

  platform::TemporaryFolder folder_;
  platform::TemporaryFolder outside_;
  std::string ini_ = folder_.Path() + "MFMail.ini";
  platform::QtEventLoop loop_;
  FixedClock clock_{DateTime{2024, 3, 5, 14, 7, 9, 0, 540}};
  ScriptedRandom random_;
  MailStore store_{folder_.Path()};
  LiveSettings settings_{platform::IniFile(ini_), [](int, bool) {}, [](bool) {}};
  platform::FakeDialogs dialogs_;
  platform::FakeShell shell_;
  ListHost host_;
  testing::FakeReceivingHut hut_;
  TransferCommands commands_;
  MailErrorRoutine errors_{loop_, dialogs_, commands_};
  MailServices Services() {
    return MailServices{host_, loop_, settings_, store_, clock_, random_, dialogs_, shell_, platform::IniFile(ini_),
                        commands_, errors_};
  }
  CompositionWindow composition_{Services()};
  std::unique_ptr<MailListWindow> window_;
  std::vector<std::string> attachments_;
  std::vector<std::pair<std::string, std::string>> offered_;
  std::vector<std::string> presented_;
};

TEST_F(MailListWindowTest, AFreshInstallShowsAnEmptyInboxAndNoImportFolder) {
  MailListWindow& window = Window();
  EXPECT_EQ(Control<QTreeWidget>(window, "folderTree")->topLevelItemCount(), 5);
  EXPECT_EQ(window.SelectedFolder(), FolderKind::Inbox);
  EXPECT_EQ(window.Model().rowCount(), 0);
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("受信"));
  EXPECT_TRUE(platform::FileExists(store_.BodyPath(FolderKind::Inbox)));
  EXPECT_FALSE(Control<QAction>(window, "headersAction")->isEnabled());
  EXPECT_FALSE(Control<QAction>(window, "saveAsAction")->isEnabled());
}

TEST_F(MailListWindowTest, TheImportFolderIsListedWhenItsHeaderFileExists) {
  ASSERT_TRUE(platform::WriteFileAtomic(store_.HeaderPath(FolderKind::Import), ""));
  MailListWindow& window = Window();
  ASSERT_EQ(Control<QTreeWidget>(window, "folderTree")->topLevelItemCount(), 6);
  EXPECT_EQ(Control<QTreeWidget>(window, "folderTree")->topLevelItem(5)->text(0), QString::fromUtf8("インポート"));
}

TEST_F(MailListWindowTest, EachFolderShowsItsCaptionAndNewestMailFirst) {
  AddInbox("first", "a@x.jp");
  AddInbox("second", "b@x.jp");
  MailListWindow& window = Window();
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"second", "first"}));
  EXPECT_EQ(window.Model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString::fromUtf8("差出人"));
  window.ShowFolder(FolderKind::Sent);
  EXPECT_EQ(window.windowTitle(), QString::fromUtf8("送信済み"));
  EXPECT_EQ(window.Model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(), QString::fromUtf8("宛先"));
  EXPECT_EQ(window.Model().rowCount(), 0);
  // The trash shows the senders of received mails beside the recipients of written ones.
  window.ShowFolder(FolderKind::Trash);
  EXPECT_EQ(window.Model().headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
            QString::fromUtf8("差出人/宛先"));
}

TEST_F(MailListWindowTest, SelectingAnUnreadMailRewritesItsStatusOnDiskAndDropsTheBoldStyle) {
  AddInbox("old", "a@x.jp");
  AddInbox("new", "b@x.jp");
  MailListWindow& window = Window();
  const QModelIndex top = window.Model().index(0, 1);
  ASSERT_TRUE(window.Model().data(top, Qt::FontRole).value<QFont>().bold());
  window.SelectRows({0});
  const auto inbox = store_.ReadHeaderRecords(FolderKind::Inbox);
  EXPECT_EQ(inbox[1].status, StatusWord(MailStatus::Read));
  EXPECT_EQ(inbox[0].status, StatusWord(MailStatus::Unread));
  EXPECT_FALSE(window.Model().data(top, Qt::FontRole).value<QFont>().bold());
  EXPECT_EQ(window.Model().IconAt(0), 0);
  EXPECT_TRUE(Control<QAction>(window, "headersAction")->isEnabled());
  EXPECT_TRUE(Control<QAction>(window, "replyAction")->isEnabled());
  EXPECT_FALSE(Control<QAction>(window, "reEditAction")->isEnabled());
  EXPECT_EQ(Control<LongTextView>(window, "mailText")->Text(), QString::fromUtf8("text of new"));

  // Several selected: the single-mail commands go grey.
  window.SelectRows({0, 1});
  EXPECT_FALSE(Control<QAction>(window, "replyAction")->isEnabled());
  EXPECT_FALSE(Control<QAction>(window, "addSenderAction")->isEnabled());
}

TEST_F(MailListWindowTest, ShiftDeleteOnThreeMailsDeletesThemForGoodWithTheirFilesAndLeavesTheTrashAlone) {
  for (const char* subject : {"a", "b", "c"}) AddInbox(subject, "x@y.jp", MailStatus::Read, true);
  AddInbox("stays", "x@y.jp", MailStatus::Read);
  MailListWindow& window = Window();
  window.SelectRows({1, 2, 3});
  QTest::keyClick(Control<QTreeView>(window, "mailList"), Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"stays"}));
  for (const std::string& file : attachments_) EXPECT_FALSE(platform::FileExists(file)) << file;
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Trash)));
  EXPECT_TRUE(commands_.ReceiveEnabled());
}

TEST_F(MailListWindowTest, DeleteWithoutShiftMovesToTheTrashWhereDeletingDoesNothing) {
  AddInbox("a", "x@y.jp", MailStatus::Read, true);
  MailListWindow& window = Window();
  window.SelectRows({0});
  window.DeleteSelected(MailListWindow::Deletion::ToTrash);
  EXPECT_EQ(store_.RecordCount(FolderKind::Inbox), 0u);
  ASSERT_EQ(store_.RecordCount(FolderKind::Trash), 1u);
  EXPECT_TRUE(platform::FileExists(attachments_[0]));

  window.ShowFolder(FolderKind::Trash);
  window.SelectRows({0});
  window.DeleteSelected(MailListWindow::Deletion::ForGood);
  EXPECT_EQ(store_.RecordCount(FolderKind::Trash), 1u);

  // Emptying the trash is its own command, offered only on the trash, and
  // asks first: No (the default) keeps every mail.
  window.PrepareFolderMenu();
  EXPECT_TRUE(Control<QAction>(window, "emptyTrashAction")->isEnabled());
  dialogs_.calls.clear();
  window.EmptyTrash();
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].kind, "Question");
  EXPECT_EQ(dialogs_.calls[0].text, Sj("ごみ箱のメールをすべて完全に削除します。よろしいですか？"));
  EXPECT_EQ(store_.RecordCount(FolderKind::Trash), 1u);
  EXPECT_TRUE(platform::FileExists(attachments_[0]));
  dialogs_.yesNo = {true};
  window.EmptyTrash();
  EXPECT_EQ(window.Model().rowCount(), 0);
  EXPECT_FALSE(platform::FileExists(attachments_[0]));
  dialogs_.calls.clear();
  window.EmptyTrash();  // nothing left to lose: nothing to ask
  EXPECT_TRUE(dialogs_.calls.empty());
  window.ShowFolder(FolderKind::Inbox);
  window.PrepareFolderMenu();
  EXPECT_FALSE(Control<QAction>(window, "emptyTrashAction")->isEnabled());
}

TEST_F(MailListWindowTest, DropsMoveOnlyWhereTheTargetTakesTheSource) {
  struct Case {
    FolderKind target;
    bool moves;
  };
  const Case cases[] = {
      {FolderKind::Outbox, false},  // the outbox takes nothing
      {FolderKind::Inbox, false},   // the folder itself
      {FolderKind::Import, false},
      {FolderKind::Kept, true},
      {FolderKind::Sent, true},
  };
  AddInbox("m", "x@y.jp", MailStatus::Read);
  MailListWindow& window = Window();
  for (const Case& c : cases) {
    SCOPED_TRACE(FolderKeyword(c.target));
    const std::size_t before = store_.RecordCount(c.target);
    window.ShowFolder(FolderKind::Inbox);
    window.SelectRows({0});
    window.DropOnFolder(c.target, Qt::NoModifier);
    EXPECT_EQ(store_.RecordCount(FolderKind::Inbox), c.moves ? 0u : 1u);
    EXPECT_EQ(store_.RecordCount(c.target), before + (c.moves ? 1 : 0));
    if (c.moves) {
      // Back again by a drop from the target's own list.
      window.ShowFolder(c.target);
      window.SelectRows({0});
      window.DropOnFolder(FolderKind::Inbox, Qt::NoModifier);
      ASSERT_EQ(store_.RecordCount(FolderKind::Inbox), 1u);
    }
  }
}

TEST_F(MailListWindowTest, TheFirstClickOnTheSubjectSortsInReverseAndTheSecondInOrder) {
  for (const char* subject : {"b", "a", "C"}) AddInbox(subject, "x@y.jp", MailStatus::Read);
  MailListWindow& window = Window();
  window.SortByColumn(1);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"C", "b", "a"}));
  window.SortByColumn(1);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"a", "b", "C"}));
  window.SortByColumn(0);  // the icon column does not sort
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"a", "b", "C"}));
}

// At its default size the list shows every column, the date whole in one
// local form; the sorted column shows its arrow, and a delete or a reload
// keeps the order the user chose.
TEST_F(MailListWindowTest, TheSortShowsItsArrowAndOutlivesDeletesAndReloads) {
  for (const char* date : {"Wed, 6 Mar 2024 09:00:00 +0900", "Mon, 4 Mar 2024 09:00:00 +0900",
                           "Tue, 5 Mar 2024 09:00:00 +0900", "Thu, 7 Mar 2024 09:00:00 +0900"}) {
    // Unread: drawn in bold, the widest the date gets.
    HeaderRecord header{StatusWord(MailStatus::Unread), std::string(date).substr(5, 1), "x@y.jp", date, "me", ""};
    ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, header, BodyRecord{{{"Subject: ", "s"}}, "t"}),
              StoreResult::Done);
  }
  MailListWindow& window = Window();
  window.show();
  QApplication::processEvents();
  QHeaderView* header = Control<QTreeView>(window, "mailList")->header();
  const QString shown = window.Model().data(window.Model().index(0, 3), Qt::DisplayRole).toString();
  EXPECT_TRUE(QRegularExpression("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}$").match(shown).hasMatch())
      << shown.toStdString();
  const QFont bold = window.Model().data(window.Model().index(0, 3), Qt::FontRole).value<QFont>();
  EXPECT_TRUE(bold.bold());
  // What a cell leaves for its text, as the view's style draws it.
  const int textMargin =
      Control<QTreeView>(window, "mailList")
          ->style()
          ->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, Control<QTreeView>(window, "mailList")) +
      1;
  EXPECT_GE(header->sectionSize(3) - 2 * textMargin, QFontMetrics(bold).horizontalAdvance(shown));
  EXPECT_LE(header->sectionViewportPosition(3) + header->sectionSize(3),
            Control<QTreeView>(window, "mailList")->viewport()->width())
      << "the date is out of view";
  EXPECT_EQ(header->sortIndicatorSection(), -1) << "an arrow before any sort";

  window.SortByColumn(3);  // oldest first
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"4", "5", "6", "7"}));
  EXPECT_EQ(header->sortIndicatorSection(), 3);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
  window.SelectRows({1});
  window.DeleteSelected(MailListWindow::Deletion::ToTrash);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"4", "6", "7"}));
  window.SortByColumn(3);  // newest first
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  window.ReloadIfShown(FolderKind::Inbox);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"7", "6", "4"}));
  window.SortByColumn(0);  // the icon column sorts nothing and moves no arrow
  EXPECT_EQ(header->sortIndicatorSection(), 3);
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"7", "6", "4"}));
  window.SortByColumn(1);
  EXPECT_EQ(header->sortIndicatorSection(), 1);
  EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
  window.hide();
}

// The selection follows the mail whose text is shown through a sort, in
// view, and Delete trashes that mail: a list long enough to scroll, its
// subjects, senders and dates each in an order of their own.
struct SortCase {
  const char* name;
  int column;
  int clicks;
};

class SortKeepsTheShownMail : public MailListWindowTest, public ::testing::WithParamInterface<SortCase> {
 protected:
  static constexpr int kMails = 40;
  void AddMails() {
    for (int i = 0; i < kMails; ++i) {
      char subject[16], from[24], date[48];
      std::snprintf(subject, sizeof subject, "s%02d", (i * 7) % kMails);
      std::snprintf(from, sizeof from, "x%02d@y.jp", (i * 11) % kMails);
      std::snprintf(date, sizeof date, "Tue, %d Mar 2024 %02d:00:00 +0900", 1 + i / 24, i % 24);
      HeaderRecord header{StatusWord(MailStatus::Read), subject, from, date, "me", ""};
      ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, header,
                                  BodyRecord{{{"Subject: ", subject}}, std::string("text of ") + subject}),
                StoreResult::Done);
    }
  }
};

TEST_P(SortKeepsTheShownMail, AndDeleteTrashesIt) {
  AddMails();
  MailListWindow& window = Window();
  window.show();
  window.resize(760, 420);
  QApplication::processEvents();
  window.SelectRows({kMails / 2});
  const std::string shown(window.Model().SubjectAt(kMails / 2));
  const QString text = Control<LongTextView>(window, "mailText")->Text();
  ASSERT_EQ(text, QString::fromStdString("text of " + shown));

  for (int click = 0; click < GetParam().clicks; ++click) window.SortByColumn(GetParam().column);
  QApplication::processEvents();

  const QModelIndexList selected = Control<QTreeView>(window, "mailList")->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(std::string(window.Model().SubjectAt(selected[0].row())), shown);
  EXPECT_EQ(Control<QTreeView>(window, "mailList")->selectionModel()->currentIndex().row(), selected[0].row());
  EXPECT_EQ(Control<LongTextView>(window, "mailText")->Text(), text);
  const QRect place = Control<QTreeView>(window, "mailList")->visualRect(selected[0]);
  EXPECT_TRUE(Control<QTreeView>(window, "mailList")->viewport()->rect().contains(place))
      << "the shown mail is out of view";

  QTest::keyClick(Control<QTreeView>(window, "mailList"), Qt::Key_Delete);
  const auto trash = store_.ReadHeaderRecords(FolderKind::Trash);
  ASSERT_EQ(trash.size(), 1u);
  EXPECT_EQ(trash[0].subject, shown);
  window.hide();
}

INSTANTIATE_TEST_SUITE_P(Cases, SortKeepsTheShownMail,
                         ::testing::Values(SortCase{"SubjectDescending", 1, 1}, SortCase{"SubjectAscending", 1, 2},
                                           SortCase{"SenderDescending", 2, 1}, SortCase{"SenderAscending", 2, 2},
                                           SortCase{"OldestFirst", 3, 1}, SortCase{"NewestFirst", 3, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// A reload (a mail arriving, another window's delete, another mail gone)
// keeps the shown mail selected where it now stands, and every command acts
// on it; a mail that is gone leaves nothing selected and nothing to act on.
TEST_F(MailListWindowTest, TheSelectionFollowsTheShownMailThroughReloads) {
  for (const char* subject : {"a", "b", "c", "d"}) AddInbox(subject, "x@y.jp", MailStatus::Read);
  host_.fileAtOnce = false;
  MailListWindow& window = Window();
  int noticeHidden = 0;
  window.links.hideReturnNotice = [&] { ++noticeHidden; };
  window.SelectRows({1});  // "c", record 2
  ASSERT_EQ(std::string(window.Model().SubjectAt(1)), "c");
  noticeHidden = 0;
  auto selectedSubjects = [&] {
    std::vector<std::string> subjects;
    for (const QModelIndex& row : Control<QTreeView>(window, "mailList")->selectionModel()->selectedRows()) {
      subjects.emplace_back(window.Model().SubjectAt(row.row()));
    }
    return subjects;
  };

  AddInbox("new", "n@y.jp", MailStatus::Unread);
  window.ReloadIfShown(FolderKind::Inbox);
  EXPECT_EQ(selectedSubjects(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(noticeHidden, 0) << "a reload hid the notice beside the viewer";

  // Records before it go: its index shifts, and a reply still answers it.
  ASSERT_EQ(store_.MoveMails(FolderKind::Inbox, FolderKind::Trash, {1, 0}), StoreResult::Done);
  window.ReloadIfShown(FolderKind::Inbox);
  EXPECT_EQ(selectedSubjects(), (std::vector<std::string>{"c"}));
  EXPECT_EQ(Control<LongTextView>(window, "mailText")->Text(), QString("text of c"));
  window.Reply();
  EXPECT_EQ(Control<QLineEdit>(composition_, "subjectEdit")->text(), QString("Re: c"));
  ASSERT_FALSE(host_.composed.empty());
  EXPECT_TRUE(host_.composed.back().replyMode);
  EXPECT_EQ(host_.composed.back().replyIndex, 0u);

  // Several selected: all stay selected through a reload.
  window.SelectRows({0, 2});  // "new" and "c"
  AddInbox("newer", "n@y.jp", MailStatus::Unread);
  window.ReloadIfShown(FolderKind::Inbox);
  auto both = selectedSubjects();
  std::sort(both.begin(), both.end());
  EXPECT_EQ(both, (std::vector<std::string>{"c", "new"}));

  // The shown mail itself is gone.
  window.SelectRows({3});  // newer, new, d, c
  ASSERT_EQ(selectedSubjects(), (std::vector<std::string>{"c"}));
  ASSERT_EQ(store_.MoveMails(FolderKind::Inbox, FolderKind::Trash, {0}), StoreResult::Done);
  window.ReloadIfShown(FolderKind::Inbox);
  EXPECT_TRUE(selectedSubjects().empty());
  EXPECT_TRUE(Control<LongTextView>(window, "mailText")->Text().isEmpty());
  EXPECT_FALSE(Control<QAction>(window, "headersAction")->isEnabled());
  host_.carriers.clear();
  window.Reply();
  EXPECT_TRUE(host_.carriers.empty()) << "answered a mail the list no longer shows";
}

TEST_F(MailListWindowTest, TheHeaderButtonStepsThroughTheModesAndBackAfterThreePresses) {
  AddInbox("s", "x@y.jp", MailStatus::Read);
  MailListWindow& window = Window();
  window.SelectRows({0});
  const std::vector<QString> shown = {Control<LongTextView>(window, "mailText")->Text()};
  window.SwitchHeaders();
  const QString fields = Control<LongTextView>(window, "mailText")->Text();
  EXPECT_TRUE(fields.startsWith("Subject: s\nDate: ")) << fields.toStdString();
  EXPECT_TRUE(fields.contains("From: x@y.jp")) << fields.toStdString();
  EXPECT_FALSE(fields.contains("To: ")) << fields.toStdString();
  EXPECT_TRUE(fields.endsWith("\n\n" + shown[0])) << "no blank line before the text";
  window.SwitchHeaders();
  EXPECT_TRUE(Control<LongTextView>(window, "mailText")->Text().contains("Content-Type: text/plain"));
  window.SwitchHeaders();
  EXPECT_EQ(window.CurrentHeaderMode(), HeaderMode::TextOnly);
  EXPECT_EQ(Control<LongTextView>(window, "mailText")->Text(), shown[0]);
}

// Texts that look like HTML are words all the same; a text of many lines
// shows its start at once and the rest while the loop turns; a subject of a
// megabyte shows its start in the list.
TEST_F(MailListWindowTest, TextsShowAsPlainTextAndHugeOnesInPieces) {
  std::string lines;
  for (int n = 0; n < 100000; ++n) lines += "line " + std::to_string(n) + "\r\n";
  const std::string longSubject(1024 * 1024, 's');
  const std::vector<std::string> texts = {"<b>bold</b> & <i>not</i>\r\n", lines};
  for (const std::string& text : texts) {
    HeaderRecord header{StatusWord(MailStatus::Read), &text == &texts[0] ? "html" : longSubject, "a@x.jp",
                        "Tue, 5 Mar 2024 14:07:09 +0900", "taro@example.jp", ""};
    ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, header, BodyRecord{{{"Subject: ", "x"}}, text}), StoreResult::Done);
  }
  MailListWindow& window = Window();
  auto* box = Control<LongTextView>(window, "mailText");
  window.SelectRows({1});
  EXPECT_EQ(box->Text(), QString("<b>bold</b> & <i>not</i>"));

  window.SelectRows({0});
  const QString cell = window.Model().data(window.Model().index(0, 1), Qt::DisplayRole).toString();
  EXPECT_GT(cell.size(), 100);
  EXPECT_LT(cell.size(), 10000);
  const QString whole = QString::fromStdString(lines).replace("\r\n", "\n").chopped(1);
  EXPECT_TRUE(box->Text().startsWith("line 0\nline 1\n"));
  EXPECT_LT(box->Text().size(), whole.size()) << "the whole text went in at once";
  for (int turn = 0; turn < 1000 && box->Text().size() < whole.size(); ++turn) QApplication::processEvents();
  EXPECT_EQ(box->Text(), whole);
  EXPECT_EQ(box->TopRow(), 0);
}

TEST_F(MailListWindowTest, AMailWithAttachmentsListsThemAndOpensOnlyFilesInsideTheStore) {
  AddInbox("a", "x@y.jp", MailStatus::Read, true);
  MailListWindow& window = Window();
  window.SelectRows({0});
  window.OpenAttachment(0);
  ASSERT_EQ(shell_.opened.size(), 1u);
  EXPECT_EQ(shell_.opened[0], attachments_[0]);

  // A record naming a file outside the store opens nothing.
  HeaderRecord header{StatusWord(MailStatus::Read), "evil", "x@y.jp", "d", "me", "f"};
  const std::string outside = outside_.Path() + "secret.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(outside, "x"));
  ASSERT_EQ(store_.AppendMail(FolderKind::Inbox, header, BodyRecord{{{"X-Attachments-File: ", outside}}, "t"}),
            StoreResult::Done);
  window.ShowFolder(FolderKind::Inbox);
  window.SelectRows({0});
  window.OpenAttachment(0);
  EXPECT_EQ(shell_.opened.size(), 1u);
}

// A mail with files shows its text too, in whichever header mode the
// button left, received or sent alike.
TEST_F(MailListWindowTest, AMailWithAttachmentsShowsItsTextInEveryHeaderMode) {
  AddInbox("received", "x@y.jp", MailStatus::Read, true);
  Composition sent;
  sent.to = "hanako@example.jp";
  sent.subject = "sent";
  sent.body = "text of sent\r\n";
  sent.attachments = {outside_.Path() + "plan.txt"};
  ASSERT_TRUE(platform::WriteFileAtomic(sent.attachments[0], "plan"));
  std::string error;
  ASSERT_TRUE(OutgoingRecords(store_, clock_, random_)
                  .File(OutgoingFolder::Sent, sent, "taro@example.jp", "<1@x>", error));
  MailListWindow& window = Window();

  struct Shown {
    FolderKind folder;
    const char* text;
    const char* file;
  };
  for (const Shown& mail : {Shown{FolderKind::Inbox, "text of received", "received.txt"},
                            Shown{FolderKind::Sent, "text of sent", "plan.txt"}}) {
    for (HeaderMode mode : {HeaderMode::TextOnly, HeaderMode::MainFields, HeaderMode::Whole}) {
      SCOPED_TRACE(std::string(mail.text) + " in mode " + std::to_string(static_cast<int>(mode)));
      window.ShowFolder(mail.folder);
      window.SelectRows({0});
      while (window.CurrentHeaderMode() != mode) window.SwitchHeaders();
      window.ShowFolder(mail.folder);  // the mode outlives the selection
      window.SelectRows({0});
      const QString text = Control<LongTextView>(window, "mailText")->Text();
      EXPECT_TRUE(text.contains(mail.text)) << text.toStdString();
      EXPECT_EQ(text.contains("Subject: "), mode != HeaderMode::TextOnly) << text.toStdString();
      if (mode != HeaderMode::MainFields) {
        EXPECT_EQ(text.contains("X-Attachments-File: "), mode == HeaderMode::Whole) << text.toStdString();
      }
      ASSERT_EQ(Control<QListWidget>(window, "attachmentList")->count(), 1);
      EXPECT_EQ(Control<QListWidget>(window, "attachmentList")->item(0)->text(), QString(mail.file));
    }
  }
}

TEST_F(MailListWindowTest, AnAttachmentNobodyCanOpenIsReportedAndCanBeSavedElsewhere) {
  AddInbox("a", "x@y.jp", MailStatus::Read, true);
  MailListWindow& window = Window();
  window.SelectRows({0});
  shell_.answer = false;
  window.OpenAttachment(0);
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_NE(Errors()[0].find(attachments_[0]), std::string::npos);

  EXPECT_EQ(Control<QAction>(window, "saveAttachmentAsAction")->text(), QString::fromUtf8("名前を付けて保存(&S)..."));
  dialogs_.folders = {outside_.Path()};
  Control<QListWidget>(window, "attachmentList")->setCurrentRow(0);
  Control<QAction>(window, "saveAttachmentAsAction")->trigger();
  EXPECT_EQ(platform::ReadFile(outside_.Path() + "a.txt").value_or(""), "bytes");
}

TEST_F(MailListWindowTest, TheSenderOfferedToTheAddressBookComesFromTheSelectedFoldersOwnRecord) {
  AddInbox("in", Sj("受信者 <inbox@x.jp>"), MailStatus::Read);
  // The import folder's mail at the same index has another sender.
  HeaderRecord imported{StatusWord(MailStatus::Imported), "imp", Sj("山田 花子 <hanako@example.jp>"), "d", "me", ""};
  ASSERT_EQ(store_.AppendMail(FolderKind::Import, imported, BodyRecord{{{"Subject: ", "imp"}}, "t"}),
            StoreResult::Done);
  AddInbox("bare", "bare@x.jp", MailStatus::Read);
  MailListWindow& window = Window();

  window.ShowFolder(FolderKind::Import);
  window.SelectRows({0});
  ASSERT_TRUE(Control<QAction>(window, "addSenderAction")->isEnabled());
  window.AddSenderToAddressBook();
  window.ShowFolder(FolderKind::Inbox);
  window.SelectRows({0});  // "bare", the newest
  window.AddSenderToAddressBook();
  using Offer = std::pair<std::string, std::string>;
  EXPECT_EQ(offered_, (std::vector<Offer>{{Sj("山田 花子"), "hanako@example.jp"}, {"", "bare@x.jp"}}));
}

TEST_F(MailListWindowTest, SendSendsTheWholeOutboxOverOneSessionAndTheCharactersDepart) {
  for (const char* subject : {"one", "two", "three"}) Queue(subject);
  testing::SinkLog log;
  test::ScriptedServer server;
  server.Do(testing::SmtpSink(log)).Start();
  settings_.smtpPort = server.PortText();
  MailListWindow& window = Window();
  window.ShowFolder(FolderKind::Outbox);
  EXPECT_EQ(window.Model().rowCount(), 3);

  window.SendOutbox();
  EXPECT_FALSE(Control<QAction>(window, "sendAction")->isEnabled());
  ASSERT_TRUE(RunUntil([&] { return commands_.SendEnabled() && server.Finished(); }));
  EXPECT_TRUE(Control<QAction>(window, "sendAction")->isEnabled());
  EXPECT_EQ(log.messages.size(), 3u);
  EXPECT_FALSE(platform::FileExists(store_.HeaderPath(FolderKind::Outbox)));
  EXPECT_FALSE(platform::FileExists(store_.BodyPath(FolderKind::Outbox)));
  EXPECT_EQ(window.Model().rowCount(), 0);
  EXPECT_EQ(host_.departed, (std::vector<std::string>(3, host_.characterId)));
  const auto sent = store_.ReadHeaderRecords(FolderKind::Sent);
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0].subject, "one");
  EXPECT_TRUE(Errors().empty());

  // An empty outbox: the button does nothing.
  window.SendOutbox();
  EXPECT_TRUE(Control<QAction>(window, "sendAction")->isEnabled());
}

TEST_F(MailListWindowTest, AFailedOutboxRunEndsThroughTheCommonErrorRoutineSayingWhatFailed) {
  Queue("one");
  const std::string port = std::to_string(test::ScriptedServer::ClosedPort());
  settings_.smtpPort = port;
  MailListWindow& window = Window();
  window.SendOutbox();
  ASSERT_TRUE(RunUntil([&] { return !Errors().empty(); }));
  ASSERT_EQ(Errors().size(), 1u);
  const std::string shown = SjisToUtf8(Errors()[0]);
  EXPECT_NE(shown.find("127.0.0.1 のポート " + port + " に接続できません"), std::string::npos) << shown;
  EXPECT_NE(shown.find("「送信待ち」に残っています"), std::string::npos) << shown;
  EXPECT_TRUE(Control<QAction>(window, "sendAction")->isEnabled());
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 1u);
}

TEST_F(MailListWindowTest, ImportingAnEmlPutsItInTheInboxUnreadAndShowsItAndRefusesWhatIsNoMail) {
  const std::string eml = outside_.Path() + "mail.eml";
  ASSERT_TRUE(platform::WriteFileAtomic(eml, "From: a@x.jp\r\nSubject: imported\r\n\r\nhello\r\n"));
  MailListWindow& window = Window();
  dialogs_.paths = {eml};
  window.Import();
  const auto inbox = store_.ReadHeaderRecords(FolderKind::Inbox);
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].status, StatusWord(MailStatus::Unread));
  EXPECT_EQ(presented_, (std::vector<std::string>{"imported"}));
  EXPECT_EQ(Subjects(), (std::vector<std::string>{"imported"}));

  const std::string junk = outside_.Path() + "junk.txt";
  ASSERT_TRUE(platform::WriteFileAtomic(junk, "no header that ends"));
  dialogs_.paths = {junk};
  window.Import();
  EXPECT_EQ(Errors(), (std::vector<std::string>{Sj("ファイルの内部形式が不正です")}));
  EXPECT_EQ(store_.RecordCount(FolderKind::Inbox), 1u);
}

TEST_F(MailListWindowTest, ReEditingAnOutboxMailAndQueueingItAgainLeavesOneCopy) {
  Queue("first");
  Queue("second");
  MailListWindow& window = Window();
  window.ShowFolder(FolderKind::Outbox);
  window.SelectRows({1});  // "first"
  window.ReEdit();
  EXPECT_EQ(host_.carriers, (std::vector<std::string>{host_.characterId}));
  const auto outbox = store_.ReadHeaderRecords(FolderKind::Outbox);
  ASSERT_EQ(outbox.size(), 2u);
  EXPECT_EQ(outbox[0].subject, "second");
  EXPECT_EQ(outbox[1].subject, "first");
  EXPECT_EQ(window.Model().rowCount(), 2);

  // From the kept folder the original stays.
  window.ShowFolder(FolderKind::Outbox);
  window.SelectRows({0});
  window.DropOnFolder(FolderKind::Kept, Qt::NoModifier);
  window.ShowFolder(FolderKind::Kept);
  window.SelectRows({0});
  window.ReEdit();
  EXPECT_EQ(store_.RecordCount(FolderKind::Kept), 1u);
  EXPECT_EQ(store_.RecordCount(FolderKind::Outbox), 2u);
}

// A mail that may have arrived goes back to the waiting ones only when the
// user agrees to its arriving twice.
TEST_F(MailListWindowTest, AnUnconfirmedMailGoesBackToWaitingOnlyWhenTheUserAgrees) {
  Queue("waits");
  Queue("may have arrived");
  ASSERT_EQ(store_.MarkOutboxUnconfirmed(1, true), StoreResult::Done);
  MailListWindow& window = Window();
  window.ShowFolder(FolderKind::Outbox);
  auto* sendAgain = Control<QAction>(window, "sendAgainAction");
  window.SelectRows({1});  // "waits", the older
  EXPECT_FALSE(sendAgain->isEnabled());
  window.SelectRows({0});
  ASSERT_TRUE(sendAgain->isEnabled());
  const auto status = [&] { return store_.ReadHeaderRecords(FolderKind::Outbox)[1].status; };
  dialogs_.yesNo.push_back(false);
  sendAgain->trigger();
  EXPECT_EQ(status(), Sj("送信不明"));
  dialogs_.yesNo.push_back(true);
  sendAgain->trigger();
  EXPECT_EQ(status(), Sj("送信待ち"));
  window.SelectRows({0});
  EXPECT_FALSE(sendAgain->isEnabled());

  // With only such mails waiting, "送信" sends nothing and says why.
  ASSERT_EQ(store_.MarkOutboxUnconfirmed(0, true), StoreResult::Done);
  ASSERT_EQ(store_.MarkOutboxUnconfirmed(1, true), StoreResult::Done);
  window.ShowFolder(FolderKind::Outbox);
  EXPECT_FALSE(window.Model().data(window.Model().index(0, 0), Qt::ToolTipRole).toString().isEmpty());
  dialogs_.calls.clear();
  window.SendOutbox();
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_NE(dialogs_.calls[0].text.find(Sj("送信不明")), std::string::npos);
}

TEST_F(MailListWindowTest, AReplyQuotesTheMailAndCarriesItsAttachmentsButNotThePackage) {
  AddInbox("Re: s", Sj("花子 <hanako@example.jp>"), MailStatus::Read, true);
  // A character package beside the file: not a valid one, and never an attachment of the answer.
  const std::string package = platform::ExtractFilePath(attachments_[0]) + "MofutanData.mfd";
  ASSERT_TRUE(platform::WriteFileAtomic(package, "not a package"));
  std::string body = platform::ReadFile(store_.BodyPath(FolderKind::Inbox)).value_or("");
  const std::string marker = "X-Character: ";
  body.insert(body.find(marker), "X-Attachments-File: " + package + "\r\n");
  ASSERT_TRUE(platform::WriteFileAtomic(store_.BodyPath(FolderKind::Inbox), body));
  host_.fileAtOnce = false;
  MailListWindow& window = Window();
  window.SelectRows({0});
  window.Reply();
  EXPECT_EQ(host_.carriers, (std::vector<std::string>{host_.characterId}));
  EXPECT_EQ(Control<QLineEdit>(composition_, "subjectEdit")->text(), QString("Re: s"));
  EXPECT_EQ(platform::FromQString(Control<QLineEdit>(composition_, "toEdit")->text()), Sj("花子 <hanako@example.jp>"));
  EXPECT_EQ(composition_.AttachmentPaths(), (std::vector<std::string>{attachments_[0]}));
  EXPECT_TRUE(Control<QTextEdit>(composition_, "bodyEdit")->toPlainText().contains("> text of Re: s"));
  EXPECT_FALSE(composition_.Current().replyMode) << "the reply mode outlived the opening";

  // Forwarding: no recipient and "Fwd: ".
  window.Forward();
  EXPECT_EQ(Control<QLineEdit>(composition_, "subjectEdit")->text(), QString("Fwd: Re: s"));
  EXPECT_TRUE(Control<QLineEdit>(composition_, "toEdit")->text().isEmpty());
  EXPECT_EQ(composition_.AttachmentPaths(), (std::vector<std::string>{attachments_[0]}));
}

TEST_F(MailListWindowTest, ANewMailStartsEmptyOrWithTheSignatureWhenItsSwitchIsOn) {
  MailListWindow& window = Window();
  Control<QLineEdit>(composition_, "subjectEdit")->setText("left over");
  window.WriteNewMail();
  EXPECT_TRUE(Control<QLineEdit>(composition_, "subjectEdit")->text().isEmpty());
  EXPECT_TRUE(Control<QTextEdit>(composition_, "bodyEdit")->toPlainText().isEmpty());
  composition_.hide();

  settings_.mailSign = true;
  settings_.signature = {"--", Sj("山田太郎")};
  window.WriteNewMail();
  EXPECT_EQ(Control<QTextEdit>(composition_, "bodyEdit")->toPlainText(), QString::fromUtf8("\n\n--\n山田太郎"));
  composition_.hide();
}

TEST_F(MailListWindowTest, ActivatingTheProgramBringsTheLentCharacterIntoView) {
  MailListWindow& window = Window();
  CarrierRef presenting{3, "<viewer@test>"};
  window.links.viewerCarrier = [&] { return presenting; };
  window.ApplicationActivated();
  EXPECT_EQ(host_.broughtIntoView, (std::vector<std::string>{"<viewer@test>"}));

  // The composition window's carrier comes first.
  composition_.StandBeside(CarrierRef{0, host_.characterId}, ScreenPoint{0, 0}, 46);
  composition_.show();
  window.ApplicationActivated();
  composition_.hide();
  EXPECT_EQ(host_.broughtIntoView, (std::vector<std::string>{"<viewer@test>", host_.characterId}));

  presenting = CarrierRef{};
  window.ApplicationActivated();
  EXPECT_EQ(host_.broughtIntoView.size(), 2u);
}

TEST_F(MailListWindowTest, SavingAMailWritesItsStoredTextWithATextExtension) {
  AddInbox("s", "x@y.jp", MailStatus::Read);
  MailListWindow& window = Window();
  window.SelectRows({0});
  const QString shown = Control<LongTextView>(window, "mailText")->Text();
  dialogs_.paths = {outside_.Path() + "saved"};
  window.SaveAs();
  EXPECT_EQ(Control<LongTextView>(window, "mailText")->Text(), shown) << "saving changed what the pane shows";
  const auto saved = platform::ReadFile(outside_.Path() + "saved.txt");
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ(*saved, window.CurrentMailText() + "\r\n");
  EXPECT_NE(saved->find("text of s"), std::string::npos);
}

// The filter chosen in the save dialog decides the form of the file: a
// name typed without an extension under "Outlookメール(*.eml)" is a
// standard message, under "テキストファイル(*.txt)" the stored text.
TEST_F(MailListWindowTest, SavingUnderTheMessageFilterWritesAStandardMessage) {
  AddInbox("s", "\"Alice\" <alice@example.test>", MailStatus::Read);
  MailListWindow& window = Window();
  window.SelectRows({0});
  dialogs_.paths = {outside_.Path() + "as message", outside_.Path() + "as text"};
  dialogs_.chosenFilters = {0, 1};
  window.SaveAs();
  window.SaveAs();
  const auto message = platform::ReadFile(outside_.Path() + "as message.eml");
  ASSERT_TRUE(message.has_value());
  EXPECT_NE(message->find("\r\nFrom: Alice <alice@example.test>\r\n"), std::string::npos) << *message;
  EXPECT_NE(message->find("MIME-Version: 1.0\r\n"), std::string::npos);
  EXPECT_NE(message->find("\r\n\r\ntext of s"), std::string::npos);
  EXPECT_EQ(platform::ReadFile(outside_.Path() + "as text.txt"), window.CurrentMailText() + "\r\n");
  for (const auto& call : dialogs_.calls) EXPECT_NE(call.kind, "Error") << call.text;
}

TEST_F(MailListWindowTest, TheWindowGeometryIsKeptInTheSettingsFile) {
  MailListWindow& window = Window();
  window.show();
  window.setGeometry(40, 50, 500, 400);
  window.CloseList();
  EXPECT_FALSE(window.isVisible());
  platform::IniFile file(ini_);
  EXPECT_EQ(file.ReadInteger("Window", "Width", 0), 500);
  EXPECT_EQ(file.ReadInteger("Window", "Height", 0), 400);

  // Resized again and never closed: the program ends (the hut closed, the
  // tray's "終了") and the window goes with it.
  window.show();
  window.resize(620, 380);
  window_.reset();
  EXPECT_EQ(file.ReadInteger("Window", "Width", 0), 620);
  EXPECT_EQ(file.ReadInteger("Window", "Height", 0), 380);
  // A window never shown keeps what the file says.
  Window();
  window_.reset();
  EXPECT_EQ(file.ReadInteger("Window", "Width", 0), 620);
}

// End to end: three mails written in the composition window and put aside
// with "後で送る" leave with one press of "送信", through the real Postfix
// after a POP-before-SMTP log-in at the real Dovecot, and all arrive.
TEST_F(MailListWindowTest, SendDeliversThreeMailsQueuedInTheCompositionWindowThroughTheRealServers) {
  platform::TemporaryFolder serversFolder;
  std::string path = serversFolder.Path();
  path.pop_back();
  test::MailServers servers = test::MailServers::Start(path + "/servers");
  if (servers.Failed()) FAIL() << servers.WhyNot();
  if (!servers.Running()) GTEST_SKIP() << servers.WhyNot();
  settings_.smtpPort = std::to_string(servers.SmtpPort());
  settings_.popBeforeSmtp = true;
  settings_.pop3Server = "127.0.0.1";
  settings_.pop3Port = std::to_string(servers.Pop3Port());
  settings_.pop3User = "bob";
  settings_.pop3Password = test::MailServers::kPassword;
  settings_.mailAddress = test::MailServers::Address("bob");
  const std::string line = std::string(1200, 'y');
  for (int n = 1; n <= 3; ++n) {
    composition_.Reset();
    Control<QLineEdit>(composition_, "toEdit")->setText(QString::fromStdString(test::MailServers::Address("alice")));
    Control<QLineEdit>(composition_, "subjectEdit")->setText(QString::fromUtf8("後で送るメール") + QString::number(n));
    Control<QTextEdit>(composition_, "bodyEdit")->setPlainText(QString::fromStdString(line + std::to_string(n)));
    composition_.SendLater();
  }
  MailListWindow& window = Window();
  window.ShowFolder(FolderKind::Outbox);
  ASSERT_EQ(window.Model().rowCount(), 3);
  window.SendOutbox();
  ASSERT_TRUE(RunUntil([&] { return commands_.SendEnabled() || !Errors().empty(); }, 60s));
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(window.Model().rowCount(), 0);
  EXPECT_EQ(store_.RecordCount(FolderKind::Sent), 3u);
  std::vector<std::string> names;
  ASSERT_TRUE(RunUntil(
      [&] {
        names = platform::ListFolder(servers.Maildir("alice") + "/new", "*", platform::ListKind::FilesOnly);
        return names.size() >= 3;
      },
      10s));
  for (const std::string& name : names) {
    const std::string message = platform::ReadFile(servers.Maildir("alice") + "/new/" + name).value_or("");
    EXPECT_NE(message.find("X-Mailer: MofutanMail"), std::string::npos);
    std::string joined = message;
    joined.erase(std::remove(joined.begin(), joined.end(), '\r'), joined.end());
    joined.erase(std::remove(joined.begin(), joined.end(), '\n'), joined.end());
    EXPECT_NE(joined.find(line), std::string::npos) << "a long line was cut";
  }
}

}  // namespace
}  // namespace mf
