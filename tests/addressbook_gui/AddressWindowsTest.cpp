#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdlib>
#include <string>
#include <vector>

#include "addressbook/AddressFile.h"
#include "addressbook/gui/AddressBookWindow.h"
#include "addressbook/gui/AddressEntryDialog.h"
#include "addressbook/gui/AddressListView.h"
#include "addressbook/gui/AddressPicker.h"
#include "base/ShiftJis.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/qt/QtDialogs.h"
#include "tests/support/Controls.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

using platform::Answer;
using platform::FromQString;
using platform::ToQString;

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

// The three address windows over a fresh program folder, as the program
// makes them.
class AddressWindowsTest : public ::testing::Test {
 protected:
  void TearDown() override {
    entry.hide();
    book.hide();
    picker.hide();
  }

  // "新規作成" in the address book window, the fields typed, "OK".
  void AddThroughBook(const std::string& name, const std::string& address, const std::string& contact = {},
                      int icon = 0) {
    book.NewEntry();
    ASSERT_TRUE(entry.isVisible());
    ASSERT_EQ(entry.windowTitle(), U("新しいアドレス帳データの入力"));
    Control<QLineEdit>(entry, "nameEdit")->setText(ToQString(name));
    Control<QLineEdit>(entry, "addressEdit")->setText(ToQString(address));
    Control<QLineEdit>(entry, "contactEdit")->setText(ToQString(contact));
    Control<QComboBox>(entry, "iconBox")->setCurrentIndex(icon);
    entry.Accept();
    ASSERT_FALSE(entry.isVisible());
  }

  void AddABC() {
    book.show();
    AddThroughBook("A", "a@x", "3");
    AddThroughBook("B", "b@x", "1");
    AddThroughBook("C", "c@x", "2");
  }

  std::vector<std::string> FileNames() const {
    std::vector<std::string> names;
    for (const auto& record : file.Load()) names.push_back(record.name);
    return names;
  }

  static std::vector<std::string> ListNames(const QTreeWidget& list, int column = 1) {
    std::vector<std::string> names;
    for (int row = 0; row < list.topLevelItemCount(); ++row) {
      names.push_back(FromQString(list.topLevelItem(row)->text(column)));
    }
    return names;
  }

  std::string FileBytes() const { return platform::ReadFile(file.Path()).value_or(""); }

  platform::TemporaryFolder home;
  AddressFile file{home.Path()};
  platform::FakeDialogs dialogs;
  AddressEntryDialog entry{file, dialogs};
  AddressBookWindow book{file, entry, dialogs};
  AddressPicker picker{file, entry, dialogs};
};

TEST_F(AddressWindowsTest, EntriesListNewestFirstAndDeletingOneKeepsTheOthersWorking) {
  AddABC();
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(ListNames(*Control<AddressListView>(book, "addressList")), (std::vector<std::string>{"C", "B", "A"}));
  EXPECT_FALSE(Control<QPushButton>(book, "deleteButton")->isEnabled());

  Control<AddressListView>(book, "addressList")->SelectIndex(1);  // B
  EXPECT_TRUE(Control<QPushButton>(book, "deleteButton")->isEnabled());
  EXPECT_TRUE(Control<QAction>(book, "deleteAction")->isEnabled());
  book.DeleteEntries();
  EXPECT_TRUE(dialogs.calls.empty());  // no question asked
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(ListNames(*Control<AddressListView>(book, "addressList")), (std::vector<std::string>{"C", "A"}));

  // C, now record 1, still opens and changes as itself.
  Control<AddressListView>(book, "addressList")->SelectIndex(1);
  book.EditEntry();
  ASSERT_TRUE(entry.isVisible());
  EXPECT_FALSE(entry.isModal());
  EXPECT_EQ(entry.windowTitle(), U("Cのアドレスデータ帳変更"));
  EXPECT_EQ(Control<QLineEdit>(entry, "addressEdit")->text(), U("c@x"));
  EXPECT_EQ(Control<QLineEdit>(entry, "contactEdit")->text(), U("2"));
  EXPECT_EQ(Control<QLabel>(entry, "headingLabel")->text(), U("C のデータ"));
  Control<QLineEdit>(entry, "nameEdit")->setText(U("シー"));
  dialogs.answers = {Answer::Yes};
  entry.Accept();
  EXPECT_FALSE(entry.isVisible());
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", Sj("シー")}));
  EXPECT_EQ(ListNames(*Control<AddressListView>(book, "addressList")), (std::vector<std::string>{Sj("シー"), "A"}));
}

TEST_F(AddressWindowsTest, SelectedEntriesAreDeletedWhateverTheirOrder) {
  AddABC();
  Control<AddressListView>(book, "addressList")->topLevelItem(2)->setSelected(true);  // A
  Control<AddressListView>(book, "addressList")->topLevelItem(0)->setSelected(true);  // C
  Control<QAction>(book, "deleteAction")->trigger();  // the main menu's "削除(&D)" deletes too
  EXPECT_EQ(FileNames(), std::vector<std::string>{"B"});
  EXPECT_EQ(FileBytes(), "B\r\nb@x\r\n1\r\n0\r\n\x01\x01\r\n");
}

TEST_F(AddressWindowsTest, AChangeAnsweredNoOrCancelLeavesTheFile) {
  AddABC();
  const std::string before = FileBytes();
  struct Case {
    Answer answer;
    bool staysOpen;
  };
  for (const Case& c : {Case{Answer::No, false}, Case{Answer::Cancel, true}}) {
    Control<AddressListView>(book, "addressList")->SelectIndex(0);
    book.EditEntry();
    Control<QLineEdit>(entry, "nameEdit")->setText(U("changed"));
    dialogs.answers = {c.answer};
    dialogs.calls.clear();
    entry.Accept();
    ASSERT_EQ(dialogs.calls.size(), 1u);
    EXPECT_EQ(dialogs.calls[0].kind, "Warning");
    EXPECT_EQ(dialogs.calls[0].text, Sj("変更してもよろしいですか？"));
    EXPECT_EQ(entry.isVisible(), c.staysOpen);
    EXPECT_EQ(FileBytes(), before);
    entry.Cancel();  // "取り消し" never writes either
    EXPECT_EQ(FileBytes(), before);
  }
}

TEST_F(AddressWindowsTest, AnOpenChangeWritesTheRecordItStartedWith) {
  AddABC();
  Control<AddressListView>(book, "addressList")->SelectIndex(2);  // C
  book.EditEntry();
  Control<QLineEdit>(entry, "contactEdit")->setText(U("new contact"));
  // While the change is open the user selects A and deletes B.
  Control<AddressListView>(book, "addressList")->SelectIndex(1);
  book.DeleteEntries();
  Control<AddressListView>(book, "addressList")->SelectIndex(0);
  dialogs.answers = {Answer::Yes};
  entry.Accept();
  auto records = file.Load();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (AddressRecord{"A", "a@x", "3", 0}));
  EXPECT_EQ(records[1], (AddressRecord{"C", "c@x", "new contact", 0}));
}

// An address without its "@", or none at all, is named in red under the
// field; OK writes nothing (and asks nothing) until it is mended, for a new
// entry and a change. The fields and the dialog stay where they are
// meanwhile, so that a click lands where the user aims.
TEST_F(AddressWindowsTest, ARefusedAddressIsNamedBesideItAndNothingIsWrittenUntilMended) {
  AddABC();
  struct Refused {
    const char* address;
    const char* said;
  };
  for (const bool change : {false, true}) {
    for (const Refused& refused : {Refused{"d.example.jp", "「@」がありません"}, Refused{"", "入力してください"}}) {
      SCOPED_TRACE(std::string(change ? "change" : "new entry") + " of '" + refused.address + "'");
      const std::string before = FileBytes();
      if (change) {
        Control<AddressListView>(book, "addressList")->SelectIndex(0);
        book.EditEntry();
      } else {
        book.NewEntry();
        Control<QLineEdit>(entry, "nameEdit")->setText(U("D"));
      }
      QCoreApplication::processEvents();
      const QRect dialog = entry.geometry();
      const QPoint contact = Control<QLineEdit>(entry, "contactEdit")->pos();
      EXPECT_FALSE(Control<QLabel>(entry, "addressProblem")->isVisible());
      Control<QLineEdit>(entry, "addressEdit")->setText(U(refused.address));
      dialogs.calls.clear();
      entry.Accept();
      QCoreApplication::processEvents();
      EXPECT_TRUE(entry.isVisible());
      EXPECT_TRUE(Control<QLabel>(entry, "addressProblem")->isVisible());
      EXPECT_TRUE(Control<QLabel>(entry, "addressProblem")->text().contains(U(refused.said)))
          << Control<QLabel>(entry, "addressProblem")->text().toStdString();
      EXPECT_TRUE(dialogs.calls.empty()) << "asked about a change that cannot be written";
      EXPECT_EQ(FileBytes(), before);
      EXPECT_EQ(Control<QLineEdit>(entry, "contactEdit")->pos(), contact) << "the field under the address moved";
      EXPECT_EQ(entry.geometry(), dialog);

      Control<QLineEdit>(entry, "addressEdit")->setText(U("d@example.jp"));
      QCoreApplication::processEvents();
      EXPECT_FALSE(Control<QLabel>(entry, "addressProblem")->isVisible()) << "the mended address is still refused";
      EXPECT_EQ(Control<QLineEdit>(entry, "contactEdit")->pos(), contact);
      EXPECT_EQ(entry.geometry(), dialog);
      dialogs.answers = {Answer::Yes};
      entry.Accept();
      EXPECT_FALSE(entry.isVisible());
      EXPECT_NE(FileBytes().find("d@example.jp"), std::string::npos);
    }
  }
  EXPECT_EQ(file.Load().size(), 5u);
}

// "送信者をアドレス帳に追加" for an address the book has (written with
// other capitals or blanks): the user is told and may change that entry;
// nothing is added twice. A new sender gets a new entry without a question.
TEST_F(AddressWindowsTest, ASenderAlreadyInTheBookIsOfferedForChangeAndNeverAddedTwice) {
  AddABC();
  const std::string before = FileBytes();
  dialogs.calls.clear();
  entry.OpenForSender(nullptr, "Bee", " B@X ");
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].kind, "Question");
  EXPECT_NE(SjisToUtf8(dialogs.calls[0].text).find("B@X」はアドレス帳に登録されています（B）"), std::string::npos)
      << SjisToUtf8(dialogs.calls[0].text);
  EXPECT_FALSE(entry.isVisible());
  EXPECT_EQ(FileBytes(), before);

  dialogs.yesNo = {true};
  entry.OpenForSender(nullptr, "Bee", "b@x");
  ASSERT_TRUE(entry.isVisible());
  EXPECT_EQ(entry.EditedIndex(), std::optional<std::size_t>(1));
  EXPECT_EQ(Control<QLineEdit>(entry, "nameEdit")->text(), U("B"));
  EXPECT_EQ(entry.windowTitle(), U("Bのアドレスデータ帳変更"));
  entry.Cancel();

  dialogs.calls.clear();
  entry.OpenForSender(nullptr, "Dee", "d@x");
  EXPECT_TRUE(dialogs.calls.empty());
  ASSERT_TRUE(entry.isVisible());
  EXPECT_EQ(entry.CurrentMode(), AddressEntryDialog::Mode::Add);
  EXPECT_EQ(entry.windowTitle(), U("アドレス帳データ"));
  EXPECT_EQ(Control<QLineEdit>(entry, "addressEdit")->text(), U("d@x"));
  entry.Accept();
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", "B", "C", "Dee"}));
}

TEST_F(AddressWindowsTest, ANewEntryFromAMailIsFilledAfterTheResetAndNeverChangesARecord) {
  AddABC();
  // A change was started and left open; then the sender of a mail is added.
  Control<AddressListView>(book, "addressList")->SelectIndex(0);
  book.EditEntry();
  entry.OpenNew(nullptr, std::nullopt, Sj("山田 "), "yamada@example.jp");
  EXPECT_EQ(entry.CurrentMode(), AddressEntryDialog::Mode::Add);
  EXPECT_EQ(Control<QLineEdit>(entry, "nameEdit")->text(), U("山田 "));
  EXPECT_EQ(Control<QLineEdit>(entry, "addressEdit")->text(), U("yamada@example.jp"));
  EXPECT_EQ(Control<QLineEdit>(entry, "contactEdit")->text(), QString());
  EXPECT_EQ(Control<QComboBox>(entry, "iconBox")->currentIndex(), 0);
  EXPECT_EQ(Control<QLabel>(entry, "headingLabel")->text(), U("山田  のデータ"));
  entry.Accept();
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", "B", "C", Sj("山田 ")}));
  EXPECT_TRUE(dialogs.calls.empty());

  // A fresh entry dialog shows the reset heading.
  entry.OpenNew(nullptr, std::nullopt);
  EXPECT_EQ(Control<QLabel>(entry, "headingLabel")->text(), U("新しいアドレス帳データ"));
  EXPECT_EQ(Control<QLineEdit>(entry, "nameEdit")->text(), QString());
}

TEST_F(AddressWindowsTest, HeaderClicksSortByTheirColumn) {
  AddABC();
  Control<AddressListView>(book, "addressList")->SortByColumn(3);  // 連絡先: descending first
  EXPECT_EQ(ListNames(*Control<AddressListView>(book, "addressList")), (std::vector<std::string>{"A", "C", "B"}));
  Control<AddressListView>(book, "addressList")->SortByColumn(3);
  EXPECT_EQ(ListNames(*Control<AddressListView>(book, "addressList")), (std::vector<std::string>{"B", "C", "A"}));
  Control<AddressListView>(book, "addressList")->SortByColumn(0);  // the icon column does nothing
  EXPECT_EQ(ListNames(*Control<AddressListView>(book, "addressList")), (std::vector<std::string>{"B", "C", "A"}));
  // Editing still reaches the right record after sorting.
  Control<AddressListView>(book, "addressList")->SelectIndex(2);
  book.EditEntry();
  EXPECT_EQ(Control<QLineEdit>(entry, "nameEdit")->text(), U("C"));
}

TEST_F(AddressWindowsTest, PickerBuildsTheRecipientTextInTheOrderPicked) {
  AddABC();
  picker.show();
  std::vector<PickedAddresses> results;
  picker.SetResultHook([&](const PickedAddresses& picked) { results.push_back(picked); });

  Control<AddressListView>(picker, "addressList")->clearSelection();
  EXPECT_FALSE(Control<LabelButton>(picker, "chooseButton")->isEnabled());
  picker.Choose(AddressPicker::Target::To);
  ASSERT_EQ(dialogs.calls.size(), 1u);
  EXPECT_EQ(dialogs.calls[0].kind, "Error");
  EXPECT_EQ(dialogs.calls[0].text, Sj("宛先を選択して下さい"));

  for (std::size_t index : {2u, 0u, 1u}) {  // C, A, B
    Control<AddressListView>(picker, "addressList")->SelectIndex(index);
    EXPECT_TRUE(Control<LabelButton>(picker, "chooseButton")->isEnabled());
    picker.Choose(AddressPicker::Target::To);
  }
  EXPECT_EQ(ListNames(*Control<QTreeWidget>(picker, "toList")),
            (std::vector<std::string>{"C <c@x>", "A <a@x>", "B <b@x>"}));
  picker.Accept();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].to, "C <c@x>, A <a@x>, B <b@x>");
  EXPECT_EQ(results[0].cc, "");

  // Removing the picked A (selected in the recipient list) leaves C and B.
  picker.show();
  EXPECT_EQ(Control<QTreeWidget>(picker, "toList")->topLevelItemCount(), 3);  // kept between showings
  Control<QTreeWidget>(picker, "toList")->topLevelItem(1)->setSelected(true);
  EXPECT_TRUE(Control<QAction>(picker, "deletePopupAction")->isEnabled());
  EXPECT_FALSE(Control<QAction>(picker, "editPopupAction")->isEnabled());
  picker.DeleteEntries();
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", "B", "C"}));  // the book is untouched
  picker.Accept();
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[1].to, "C <c@x>, B <b@x>");

  picker.ClearTo();
  EXPECT_EQ(picker.Result().to, "");
}

TEST_F(AddressWindowsTest, PickerDeletesFromTheBookWhenTheBookHasTheFocusAndFillsTheCcList) {
  AddABC();
  picker.show();
  Control<AddressListView>(picker, "addressList")->SelectIndex(0);
  picker.Choose(AddressPicker::Target::Cc);
  EXPECT_EQ(picker.Result().cc, "A <a@x>");
  EXPECT_FALSE(Control<QTreeWidget>(picker, "ccList")->isVisible());
  EXPECT_FALSE(Control<QPushButton>(picker, "ccButton")->isVisible());

  // Anything dropped on the To list adds the selected entry.
  Control<AddressListView>(picker, "addressList")->SelectIndex(2);
  QMimeData dragged;
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Control<QTreeWidget>(picker, "toList")->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(Control<QTreeWidget>(picker, "toList")->viewport(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(picker.Result().to, "C <c@x>");

  Control<AddressListView>(picker, "addressList")->SelectIndex(1);
  EXPECT_TRUE(Control<QAction>(picker, "editPopupAction")->isEnabled());
  picker.DeleteEntries();
  EXPECT_EQ(FileNames(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(ListNames(*Control<AddressListView>(picker, "addressList")), (std::vector<std::string>{"C", "A"}));
  EXPECT_EQ(picker.Result().cc, "A <a@x>");  // the picked stay picked

  // A change made from the picker keeps the caption and reloads its list.
  const QString caption = entry.windowTitle();
  Control<AddressListView>(picker, "addressList")->SelectIndex(1);
  picker.EditEntry();
  EXPECT_EQ(entry.windowTitle(), caption);
  Control<QLineEdit>(entry, "nameEdit")->setText(U("Cee"));
  dialogs.answers = {Answer::Yes};
  entry.Accept();
  EXPECT_EQ(ListNames(*Control<AddressListView>(picker, "addressList")), (std::vector<std::string>{"Cee", "A"}));
}

TEST_F(AddressWindowsTest, EveryEntryPictureIsDrawnAndOfferedInOrder) {
  ASSERT_EQ(Control<QComboBox>(entry, "iconBox")->count(), 11);
  std::vector<QImage> images;
  for (int number = 0; number < 11; ++number) {
    QImage image = entry.Icons().Icon(number).pixmap(16, 16).toImage();
    int painted = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    }
    EXPECT_GT(painted, 40) << number;
    for (const QImage& earlier : images) EXPECT_NE(image, earlier) << number;
    images.push_back(image);
  }
  file.Append({"X", "x@x", "", 10});
  book.show();
  EXPECT_EQ(Control<AddressListView>(book, "addressList")->topLevelItem(0)->icon(0).pixmap(16, 16).toImage(),
            images[10]);
}

}  // namespace
}  // namespace mf
