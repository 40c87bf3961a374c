#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "addressbook/AddressFile.h"
#include "addressbook/AddressList.h"

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;
class QTreeWidget;

namespace mf {

namespace platform {
class Dialogs;
}
class AddressListView;
class LabelButton;
class AddressEntryDialog;

// What the picker hands to the composition window: its To and Cc texts.
struct PickedAddresses {
  std::string to;
  std::string cc;
};

// "アドレス帳から選択": builds the composition's recipient texts from the
// address book. Its recipient lists keep their items between showings until
// an opener clears them.
class AddressPicker final : public QDialog {
  Q_OBJECT

 public:
  AddressPicker(AddressFile& file, AddressEntryDialog& entry, platform::Dialogs& dialogs, QWidget* parent = nullptr);
  ~AddressPicker() override;

  // Called with the result when the user presses OK; the composition window
  // puts it into its To and Cc fields, replacing what was typed.
  void SetResultHook(std::function<void(const PickedAddresses&)> hook) { resultHook_ = std::move(hook); }
  PickedAddresses Result() const { return {to_.Text(), cc_.Text()}; }

  // The openers' resets: a mail carried by a character clears the To list,
  // a new mail from the mail list both.
  void ClearTo();
  void ClearCc();

  // Every showing reloads the address book list.
  void ReloadAddresses();
  // "<<選択" or a drop on a recipient list: the selected entry joins it.
  enum class Target { To, Cc };
  void Choose(Target target);
  // "新規項目" and "新しい項目(&N)", a double click and "編集(&E)".
  void NewEntry();
  void EditEntry();
  // "削除" and "削除(&D)": on the address list the selected entries leave the
  // file, on a recipient list the selected recipients leave it.
  void DeleteEntries();
  // "OK": hands the result over and closes.
  void Accept();

  const RecipientList& ToRecipients() const { return to_; }
  const RecipientList& CcRecipients() const { return cc_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Focus { Addresses, To, Cc };
  void BuildControls();
  void BuildMenus();
  QTreeWidget* MakeRecipientView();
  void ShowRecipients(QTreeWidget* view, const RecipientList& list);
  void PrepareMenu();
  void SelectionChanged();

  AddressFile& file_;
  AddressEntryDialog& entry_;
  platform::Dialogs& dialogs_;
  RecipientList to_;
  RecipientList cc_;
  Focus focus_ = Focus::Addresses;
  std::function<void(const PickedAddresses&)> resultHook_;

  // Controls; their object names are these names without the underscore.
  QMenuBar* mainMenu_;
  AddressListView* addressList_;
  QTreeWidget* toList_;
  QTreeWidget* ccList_;    // lies hidden behind toList_
  QPushButton* ccButton_;  // hidden
  LabelButton* chooseButton_;
  LabelButton* okButton_;
  LabelButton* cancelButton_;
  QPushButton* newButton_;
  QPushButton* deleteButton_;
  QAction* newAction_;
  QAction* deleteAction_;
  QAction* closeAction_;
  QMenu* popupMenu_;
  QAction* editPopupAction_;
  QAction* deletePopupAction_;
};

}  // namespace mf
