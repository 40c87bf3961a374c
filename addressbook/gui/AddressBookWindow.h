#pragma once

#include <QDialog>

#include "addressbook/AddressFile.h"

class QAction;
class QMenu;
class QMenuBar;
class QPushButton;

namespace mf {

namespace platform {
class Dialogs;
}

class AddressListView;
class AddressEntryDialog;

// "アドレス帳": the address file as a list, with new, change and delete.
// The entry dialog does the writing; this window reloads whenever the
// dialog closes.
class AddressBookWindow final : public QDialog {
  Q_OBJECT

 public:
  AddressBookWindow(AddressFile& file, AddressEntryDialog& entry, platform::Dialogs& dialogs, QWidget* parent = nullptr);
  ~AddressBookWindow() override;

  // "再表示(&R)", and every showing.
  void Reload();
  // "新規作成" and "新しい項目(&N)".
  void NewEntry();
  // A double click and "編集(&E)": changes the selected entry.
  void EditEntry();
  // "削除" and both "削除(&D)": the selected entries go, without asking.
  void DeleteEntries();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildMenus();
  void SelectionChanged();

  AddressFile& file_;
  AddressEntryDialog& entry_;
  platform::Dialogs& dialogs_;

  // Controls.
  QMenuBar* mainMenu_;
  AddressListView* addressList_;
  QPushButton* newButton_;
  QPushButton* deleteButton_;
  QAction* newAction_;
  QAction* deleteAction_;  // main menu, Del
  QAction* reloadAction_;
  QAction* closeAction_;
  QMenu* popupMenu_;
  QAction* editPopupAction_;
  QAction* deletePopupAction_;
};

}  // namespace mf
