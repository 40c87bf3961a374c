#include "charedit/gui/PictureImportWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Integer.h"
#include "base/ShiftJis.h"
#include "character/gui/CharacterWindow.h"
#include "charedit/FrameFields.h"
#include "charedit/PictureFiles.h"
#include "charedit/PixelEditor.h"
#include "charedit/gui/NewPictureWindow.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "widgets/UpDown.h"

namespace mf {
namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kMostSpeed = 9999;
constexpr int kMostMove = 100;
constexpr int kIconSide = PixelEditor::kSide;

// An edit with the up-down arrows beside it; the arrows step from whatever
// number the edit holds.
QLineEdit* MakeField(QWidget* parent, const char* name, const char* initial, UpDown*& upDown, int minimum,
                     int maximum) {
  auto* edit = new QLineEdit(Text(initial), parent);
  edit->setObjectName(QString(name) + "Edit");
  edit->setFixedWidth(60);
  upDown = new UpDown(minimum, maximum, parent);
  upDown->setObjectName(QString(name) + "UpDown");
  UpDown* arrows = upDown;
  arrows->SetPosition(ToIntegerOr(initial, minimum));
  QObject::connect(edit, &QLineEdit::textChanged, arrows, [arrows](const QString& text) {
    if (auto value = ToInteger(text.toStdString())) arrows->SetPosition(*value);
  });
  arrows->onChanged = [edit](int position) { edit->setText(QString::number(position)); };
  return edit;
}

QHBoxLayout* FieldRow(QWidget* parent, const char* caption, QLineEdit* edit, UpDown* upDown, const char* unit) {
  auto* row = new QHBoxLayout;
  auto* label = new QLabel(Text(caption), parent);
  label->setMinimumWidth(140);
  label->setBuddy(edit);
  row->addWidget(label);
  row->addWidget(edit);
  row->addWidget(upDown);
  if (unit != nullptr) row->addWidget(new QLabel(Text(unit), parent));
  row->addStretch();
  return row;
}

}  // namespace

PictureImportWindow::PictureImportWindow(PictureHost& host, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), host_(host), dialogs_(dialogs) {
  setWindowTitle(Text("画像の追加"));

  pictureList_ = new QListWidget(this);
  pictureList_->setAccessibleName(Text("現在利用可能な画像一覧"));
  pictureList_->setViewMode(QListView::IconMode);
  pictureList_->setIconSize(QSize(kIconSide, kIconSide));
  pictureList_->setResizeMode(QListView::Adjust);
  pictureList_->setMovement(QListView::Static);
  pictureList_->setSelectionMode(QAbstractItemView::SingleSelection);
  pictureList_->setContextMenuPolicy(Qt::ActionsContextMenu);
  pictureList_->setMinimumHeight(160);
  connect(pictureList_, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });

  speedEdit_ = MakeField(this, "speed", "2", speedUpDown_, 0, kMostSpeed);
  dxEdit_ = MakeField(this, "dx", "-10", dxUpDown_, -kMostMove, kMostMove);
  dyEdit_ = MakeField(this, "dy", "0", dyUpDown_, -kMostMove, kMostMove);
  for (QLineEdit* edit : {speedEdit_, dxEdit_, dyEdit_}) edit->installEventFilter(this);

  addButton_ = new QPushButton(Text("追加"), this);
  connect(addButton_, &QPushButton::clicked, this, [this] { AddSelectedPicture(); });
  deleteButton_ = new QPushButton(Text("画像削除"), this);
  connect(deleteButton_, &QPushButton::clicked, this, [this] { DeletePicture(); });
  auto* newImage = new QPushButton(Text("新規画像作成"), this);
  connect(newImage, &QPushButton::clicked, this, [this] { NewPicture(); });
  auto* cancel = new QPushButton(Text("取り消し"), this);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  addAction_ = new QAction(Text("追加(&A)"), this);
  connect(addAction_, &QAction::triggered, this, [this] { AddSelectedPicture(); });
  deleteAction_ = new QAction(Text("削除(&D)"), this);
  connect(deleteAction_, &QAction::triggered, this, [this] { DeletePicture(); });
  pictureList_->addAction(addAction_);
  pictureList_->addAction(deleteAction_);

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {addButton_, deleteButton_, newImage, cancel}) buttons->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Text("現在利用可能な画像一覧"), this));
  // The list takes the window's whole width when it is resized.
  layout->addWidget(pictureList_, 1);
  layout->addLayout(FieldRow(this, "画像表示後の停止時間", speedEdit_, speedUpDown_, "×0.1秒"));
  layout->addLayout(FieldRow(this, "X方向の移動速度", dxEdit_, dxUpDown_, nullptr));
  layout->addLayout(FieldRow(this, "Y方向の移動速度", dyEdit_, dyUpDown_, nullptr));
  layout->addLayout(buttons);
  resize(420, 380);

  pictureEditor_ = new NewPictureWindow(host_, dialogs_, this);
  SelectionChanged();
}

PictureImportWindow::~PictureImportWindow() = default;

void PictureImportWindow::Prepare(bool sceneOnWindowTop) {
  SetFieldsEnabled(false);
  if (sceneOnWindowTop) dyEdit_->setText(Text("0"));
  pictureList_->clear();
  for (int number : UsablePictures(host_.CharDir(), host_.MirrorDir(), host_.PictureCount())) {
    QString caption = QString("image%1").arg(number);
    auto* item = new QListWidgetItem(caption, pictureList_);
    QImage picture = LoadPicture(PicturePath(host_.CharDir(), number));
    if (!picture.isNull()) item->setIcon(QIcon(QPixmap::fromImage(picture)));
    item->setData(Qt::UserRole, number);
  }
  SelectionChanged();
}

bool PictureImportWindow::PictureWindowShowing() const { return isVisible() || pictureEditor_->isVisible(); }

void PictureImportWindow::SelectionChanged() {
  bool selected = SelectedPicture() > 0;
  addButton_->setEnabled(selected);
  deleteButton_->setEnabled(selected);
  addAction_->setEnabled(selected);
  deleteAction_->setEnabled(selected);
  SetFieldsEnabled(selected);
}

void PictureImportWindow::SetFieldsEnabled(bool enabled) {
  for (QWidget* field : std::initializer_list<QWidget*>{speedEdit_, speedUpDown_, dxEdit_, dxUpDown_, dyEdit_,
                                                         dyUpDown_}) {
    field->setEnabled(enabled);
  }
}

int PictureImportWindow::SelectedPicture() const {
  auto selected = pictureList_->selectedItems();
  if (selected.isEmpty()) return 0;
  return selected.front()->data(Qt::UserRole).toInt();
}

bool PictureImportWindow::SelectPicture(int number) {
  for (int row = 0; row < pictureList_->count(); ++row) {
    if (pictureList_->item(row)->data(Qt::UserRole).toInt() == number) {
      pictureList_->setCurrentRow(row);
      return true;
    }
  }
  return false;
}

std::vector<int> PictureImportWindow::ListedPictures() const {
  std::vector<int> numbers;
  for (int row = 0; row < pictureList_->count(); ++row) {
    numbers.push_back(pictureList_->item(row)->data(Qt::UserRole).toInt());
  }
  return numbers;
}

void PictureImportWindow::AddSelectedPicture() {
  int number = SelectedPicture();
  if (number <= 0) return;
  auto caption = FrameCaption(platform::FromQString(speedEdit_->text()), platform::FromQString(dxEdit_->text()),
                              platform::FromQString(dyEdit_->text()));
  if (!caption) {
    dialogs_.Error(Sj("データが不正です"));
    return;
  }
  host_.AddFrame(number, *caption);
  accept();
}

void PictureImportWindow::DeletePicture() {
  int number = SelectedPicture();
  if (number <= 0) return;
  if (!DeletePicturePair(host_.CharDir(), host_.MirrorDir(), number)) {
    dialogs_.Error(Sj("画像を削除できませんでした"));
  }
  delete pictureList_->selectedItems().front();
  host_.RefreshPictureList();
}

void PictureImportWindow::NewPicture() {
  pictureEditor_->Reset();
  platform::ExecAbove(*pictureEditor_);
}

bool PictureImportWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* edit = qobject_cast<QLineEdit*>(watched);
  auto* key = static_cast<QKeyEvent*>(event);
  // Only typed characters are filtered; caret keys, Delete and shortcuts pass.
  QString typed = key->text();
  if (edit == nullptr || typed.size() != 1 || (!typed[0].isPrint() && typed[0] != QChar('\b'))) {
    return QDialog::eventFilter(watched, event);
  }
  FrameField field = edit == speedEdit_ ? FrameField::Speed : FrameField::Move;
  char character = typed[0].unicode() < 0x80 ? static_cast<char>(typed[0].unicode()) : '\0';
  // A typed character replaces the selected text: judge it against what
  // stays, at the place where the selection starts.
  QString kept = edit->text();
  int caret = edit->cursorPosition();
  if (edit->hasSelectedText()) {
    caret = edit->selectionStart();
    kept.remove(caret, edit->selectedText().size());
  }
  return !AcceptsFrameKey(field, platform::FromQString(kept), caret, character);
}

}  // namespace mf
