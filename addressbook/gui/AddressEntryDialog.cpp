#include "addressbook/gui/AddressEntryDialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "platform/Dialogs.h"
#include "platform/qt/QtDialogs.h"
#include "settings/InputChecks.h"
#include "widgets/LabelButton.h"

namespace mf {
namespace {

using platform::FromQString;
using platform::ToQString;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

const QColor kButtonColour(255, 221, 255);
const QColor kButtonHoverColour(221, 255, 255);

}  // namespace

AddressEntryDialog::AddressEntryDialog(AddressFile& file, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), file_(file), dialogs_(dialogs) {
  setWindowTitle(Text("アドレス帳データ"));
  headingLabel_ = new QLabel(this);
  headingLabel_->setObjectName("headingLabel");
  QFont heading = headingLabel_->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.2);
  headingLabel_->setFont(heading);
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName("nameEdit");
  addressEdit_ = new QLineEdit(this);
  addressEdit_->setObjectName("addressEdit");
  contactEdit_ = new QLineEdit(this);
  contactEdit_->setObjectName("contactEdit");
  addressProblem_ = new QLabel(this);
  addressProblem_->setObjectName("addressProblem");
  QPalette red = addressProblem_->palette();
  red.setColor(QPalette::WindowText, QColor(0xC0, 0, 0));
  addressProblem_->setPalette(red);
  // Its line is kept, wide enough for any text, whether or not it shows:
  // nothing under it moves while the user mends the address.
  QSizePolicy keptRoom = addressProblem_->sizePolicy();
  keptRoom.setRetainSizeWhenHidden(true);
  addressProblem_->setSizePolicy(keptRoom);
  int widest = 0;
  for (const std::string& text : ProblemTexts()) {
    widest = std::max(widest, addressProblem_->fontMetrics().horizontalAdvance(ToQString(text)));
  }
  addressProblem_->setMinimumSize(widest, addressProblem_->fontMetrics().height());
  addressProblem_->hide();
  iconBox_ = new QComboBox(this);
  iconBox_->setObjectName("iconBox");
  iconBox_->setIconSize(QSize(16, 16));
  for (int number = 0; number < icons_.Count(); ++number) iconBox_->addItem(icons_.Icon(number), QString());
  okButton_ = new LabelButton(Text("OK"), kButtonColour, kButtonHoverColour, this);
  okButton_->setObjectName("okButton");
  cancelButton_ = new LabelButton(Text("取り消し"), kButtonColour, kButtonHoverColour, this);
  cancelButton_->setObjectName("cancelButton");
  for (LabelButton* button : {okButton_, cancelButton_}) button->setMinimumSize(80, 24);

  auto* fields = new QGridLayout;
  auto caption = [this](const char* text, QWidget* field) {
    auto* label = new QLabel(Text(text), this);
    label->setBuddy(field);
    return label;
  };
  iconBox_->setAccessibleName(Text("アイコン"));
  fields->addWidget(caption("名前", nameEdit_), 0, 0);
  fields->addWidget(nameEdit_, 0, 1);
  fields->addWidget(iconBox_, 0, 2);
  fields->addWidget(caption("メールアドレス", addressEdit_), 1, 0);
  fields->addWidget(addressEdit_, 1, 1, 1, 2);
  fields->addWidget(addressProblem_, 2, 1, 1, 2);
  fields->addWidget(caption("連絡先", contactEdit_), 3, 0);
  fields->addWidget(contactEdit_, 3, 1, 1, 2);
  fields->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(okButton_);
  buttons->addWidget(cancelButton_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(headingLabel_);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  resize(380, 170);

  connect(nameEdit_, &QLineEdit::textChanged, this,
          [this](const QString& name) { headingLabel_->setText(name + Text(" のデータ")); });
  // A refused address says so until it is mended, as the user types.
  connect(addressEdit_, &QLineEdit::textChanged, this, [this] {
    if (addressProblem_->isVisibleTo(this)) ShowAddressProblem();
  });
  connect(okButton_, &LabelButton::clicked, this, &AddressEntryDialog::Accept);
  connect(cancelButton_, &LabelButton::clicked, this, &AddressEntryDialog::Cancel);
  ResetFields();
}

void AddressEntryDialog::ResetFields() {
  addressProblem_->hide();
  nameEdit_->clear();
  addressEdit_->clear();
  contactEdit_->clear();
  headingLabel_->setText(Text("新しいアドレス帳データ"));
  iconBox_->setCurrentIndex(0);
  nameEdit_->setFocus();
}

void AddressEntryDialog::Fill(const AddressRecord& record) {
  nameEdit_->setText(ToQString(record.name));
  addressEdit_->setText(ToQString(record.address));
  contactEdit_->setText(ToQString(record.contact));
  iconBox_->setCurrentIndex(record.icon);
}

AddressRecord AddressEntryDialog::Entered() const {
  return {FromQString(nameEdit_->text()), FromQString(addressEdit_->text()), FromQString(contactEdit_->text()),
          iconBox_->currentIndex() < 0 ? 0 : iconBox_->currentIndex()};
}

void AddressEntryDialog::ShowOver(QWidget* opener) {
  // A top-level window is blocked by a modal one unless it belongs to it:
  // the address book window is itself shown modally by the mail list.
  if (parentWidget() != opener) setParent(opener, windowFlags());
  show();
  raise();
  activateWindow();
}

void AddressEntryDialog::ForgetOpener(QWidget* opener) {
  if (parentWidget() == opener) setParent(nullptr, windowFlags());
}

void AddressEntryDialog::OpenNew(QWidget* opener, const std::optional<std::string>& caption, const std::string& name,
                       const std::string& address) {
  mode_ = Mode::Add;
  if (caption) setWindowTitle(ToQString(*caption));
  ResetFields();
  if (!name.empty()) nameEdit_->setText(ToQString(name));
  addressEdit_->setText(ToQString(address));
  setWindowModality(Qt::ApplicationModal);
  ShowOver(opener);
}

void AddressEntryDialog::OpenForSender(QWidget* opener, const std::string& name, const std::string& address) {
  const std::vector<AddressRecord> records = file_.Load();
  if (const auto index = FindAddress(records, address)) {
    // A second entry for the same person would only be one more to keep
    // up to date: the user may change the one there is.
    std::string text = Sj("「") + Trim(address) + Sj("」はアドレス帳に登録されています");
    if (!records[*index].name.empty()) text += Sj("（") + records[*index].name + Sj("）");
    text += Sj("。登録されているデータを変更しますか？");
    if (dialogs_.Question(text, platform::DefaultButton::No, std::string())) {
      OpenEdit(opener, *index, EditCaption::WithName);
    }
    return;
  }
  OpenNew(opener, Sj("アドレス帳データ"), name, address);
}

bool AddressEntryDialog::OpenEdit(QWidget* opener, std::size_t index, EditCaption caption) {
  auto record = file_.ReadRecord(index);
  if (!record) return false;
  mode_ = Mode::Change;
  editIndex_ = index;
  editOriginal_ = *record;
  // A modal new entry may still be showing; an edit lets the lists be used.
  if (isVisible() && isModal()) hide();
  setWindowModality(Qt::NonModal);
  ResetFields();
  Fill(*record);
  if (caption == EditCaption::WithName) setWindowTitle(ToQString(record->name) + Text("のアドレスデータ帳変更"));
  ShowOver(opener);
  return true;
}

std::optional<std::size_t> AddressEntryDialog::EditedIndex() const {
  if (mode_ != Mode::Change) return std::nullopt;
  return editIndex_;
}

std::optional<std::size_t> AddressEntryDialog::LocateEditedRecord() const {
  const auto records = file_.Load();
  if (editIndex_ < records.size() && records[editIndex_] == editOriginal_) return editIndex_;
  // The lists stay usable while a change is open: records before this one
  // may have been deleted.
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i] == editOriginal_) return i;
  }
  return std::nullopt;
}

void AddressEntryDialog::Change() {
  switch (dialogs_.WarningYesNoCancel(Sj("変更してもよろしいですか？"))) {
    case platform::Answer::Cancel:
      return;
    case platform::Answer::No:
      reject();
      return;
    case platform::Answer::Yes:
      break;
  }
  auto index = LocateEditedRecord();
  if (!index) {
    dialogs_.Error(Sj("変更するアドレス帳データが見つかりません"));
    return;
  }
  if (!file_.Rewrite(*index, Entered())) {
    dialogs_.Error(Sj(kAddressWriteError));
    return;
  }
  accept();
}

bool AddressEntryDialog::ShowAddressProblem() {
  const auto problem = AddressEntryProblem(Entered());
  addressProblem_->setText(problem ? ToQString(*problem) : QString());
  addressProblem_->setVisible(problem.has_value());
  return !problem;
}

void AddressEntryDialog::Accept() {
  // Nothing is written while the address is refused.
  if (!ShowAddressProblem()) {
    addressEdit_->setFocus();
    return;
  }
  if (mode_ == Mode::Change) {
    Change();
    return;
  }
  if (!file_.Append(Entered())) {
    dialogs_.Error(Sj(kAddressWriteError));
    return;
  }
  accept();
}

void AddressEntryDialog::Cancel() { reject(); }

}  // namespace mf
