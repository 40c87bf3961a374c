#pragma once

#include <QDialog>
#include <cstddef>
#include <optional>
#include <string>

#include "addressbook/AddressFile.h"
#include "addressbook/gui/AddressIcons.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace mf {

namespace platform {
class Dialogs;
}
class LabelButton;

// Shown when the address file cannot be written; the file stays as it was.
inline constexpr const char* kAddressWriteError = "アドレス帳に書き込めませんでした";

// "アドレス帳データ": adds an entry to the address file or changes one. It
// stays on top. A change remembers the record it edits from the moment it
// starts, so whatever is selected in a list meanwhile, OK writes that record.
// Every way of closing it emits finished(), on which the address lists
// reload.
class AddressEntryDialog final : public QDialog {
  Q_OBJECT

 public:
  enum class Mode { Add, Change };

  AddressEntryDialog(AddressFile& file, platform::Dialogs& dialogs, QWidget* parent = nullptr);

  // The eleven entry pictures, shared by every address list.
  const AddressIcons& Icons() const { return icons_; }

  // A new entry, shown modally without blocking. The fields are reset and
  // then filled with `name` and `address` (a sender taken from a mail);
  // `caption` replaces the window caption when given.
  // `opener` is the window it is opened from; it stays usable over that
  // window even when that one is modal.
  void OpenNew(QWidget* opener, const std::optional<std::string>& caption, const std::string& name = {},
               const std::string& address = {});
  // "送信者をアドレス帳に追加": a new entry for a mail's sender, unless the
  // book has the address already; then the user is told so and may change
  // that entry instead.
  void OpenForSender(QWidget* opener, const std::string& name, const std::string& address);
  // Changes record `index`, shown without modality; the address book
  // window sets the caption to the name + "のアドレスデータ帳変更", the
  // picker leaves it. False, showing nothing, when the record cannot be
  // read.
  enum class EditCaption { Unchanged, WithName };
  bool OpenEdit(QWidget* opener, std::size_t index, EditCaption caption);
  // An opener that goes away first gives the dialog back.
  void ForgetOpener(QWidget* opener);

  Mode CurrentMode() const { return mode_; }
  std::optional<std::size_t> EditedIndex() const;

  // "OK" and "取り消し".
  void Accept();
  void Cancel();

 private:
  void ShowOver(QWidget* opener);
  void ResetFields();
  void Fill(const AddressRecord& record);
  AddressRecord Entered() const;
  // Where the edited record is now; it moved when records before it went.
  std::optional<std::size_t> LocateEditedRecord() const;
  void Change();
  // Shows what is refused in the address beside it; true when nothing is.
  bool ShowAddressProblem();

  AddressFile& file_;
  platform::Dialogs& dialogs_;
  AddressIcons icons_;
  Mode mode_ = Mode::Add;
  std::size_t editIndex_ = 0;
  AddressRecord editOriginal_;

  // Controls.
  QLabel* headingLabel_;  // heading
  QLineEdit* nameEdit_;
  QLineEdit* addressEdit_;
  QLineEdit* contactEdit_;
  QLabel* addressProblem_;  // red, under the address while it is refused
  QComboBox* iconBox_;
  LabelButton* okButton_;
  LabelButton* cancelButton_;
};

}  // namespace mf
