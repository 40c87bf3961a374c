// The recipient picker behind the composition window's "宛先", wired as the
// program wires it.
#include <gtest/gtest.h>

#include <QTimer>

#include "addressbook/AddressFile.h"
#include "addressbook/gui/AddressEntryDialog.h"
#include "addressbook/gui/AddressListView.h"
#include "addressbook/gui/AddressPicker.h"
#include "tests/mail/gui/MailWindowFixture.h"
#include "tests/support/Controls.h"

namespace mf {
namespace {

class PickerToCompositionTest : public testing::MailWindowTest {
 protected:
  PickerToCompositionTest() {
    for (const char* name : {"A", "B", "C"}) file_.Append({name, std::string(name) + "@x.jp", "", 0});
    window_.links.pickRecipients = [this] { picker_.exec(); };
    window_.links.clearPickerSelection = [this](bool alsoCc) {
      picker_.ClearTo();
      if (alsoCc) picker_.ClearCc();
    };
    picker_.SetResultHook([this](const PickedAddresses& picked) { window_.SetRecipients(picked.to, picked.cc); });
  }

  // "宛先" pressed; while the picker is up, `pick` runs and OK is pressed.
  void PickThroughWindow(const std::function<void()>& pick) {
    QTimer::singleShot(0, &picker_, [this, pick] {
      pick();
      picker_.Accept();
    });
    window_.ChooseRecipients();
  }

  AddressFile file_{folder_.Path()};
  AddressEntryDialog entry_{file_, dialogs_};
  AddressPicker picker_{file_, entry_, dialogs_};
};

TEST_F(PickerToCompositionTest, TwoPickedRecipientsReplaceWhatWasTypedAndOneRemovedLeavesTheOther) {
  window_.Reset();
  Control<QLineEdit>(window_, "toEdit")->setText("typed@before");
  PickThroughWindow([this] {
    for (std::size_t index : {0u, 1u}) {
      Control<AddressListView>(picker_, "addressList")->SelectIndex(index);
      picker_.Choose(AddressPicker::Target::To);
    }
    Control<AddressListView>(picker_, "addressList")->SelectIndex(2);
    picker_.Choose(AddressPicker::Target::Cc);
  });
  EXPECT_EQ(Control<QLineEdit>(window_, "toEdit")->text(), QString("A <A@x.jp>, B <B@x.jp>"));
  EXPECT_EQ(window_.Current().cc, "C <C@x.jp>");

  PickThroughWindow([this] {
    Control<QTreeWidget>(picker_, "toList")->topLevelItem(0)->setSelected(true);
    picker_.DeleteEntries();
  });
  EXPECT_EQ(Control<QLineEdit>(window_, "toEdit")->text(), QString("B <B@x.jp>"));
  EXPECT_TRUE(Errors().empty());

  // A mail a character carries starts with no picked To; a new one from the
  // mail list with neither list.
  window_.ClearRecipientPicker(false);
  EXPECT_EQ(picker_.Result().to, "");
  EXPECT_EQ(picker_.Result().cc, "C <C@x.jp>");
  window_.ClearRecipientPicker(true);
  EXPECT_EQ(picker_.Result().cc, "");
}

}  // namespace
}  // namespace mf
