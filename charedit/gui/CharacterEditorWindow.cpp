#include "charedit/gui/CharacterEditorWindow.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/Integer.h"
#include "character/SceneScript.h"
#include "character/gui/CharacterWindow.h"
#include "charedit/gui/PictureImportWindow.h"
#include "platform/Files.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "widgets/UpDown.h"

namespace mf {
namespace {

using platform::FromQString;
using platform::ToQString;

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kMostRepeat = 100;
constexpr int kMostFrequency = 4;
constexpr int kFrameGrid = 80;

QLineEdit* NumberEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setMaximumWidth(60);
  return edit;
}

QHBoxLayout* WithUpDown(QLineEdit* edit, UpDown* upDown) {
  auto* row = new QHBoxLayout;
  row->setSpacing(0);
  row->addWidget(edit);
  row->addWidget(upDown);
  row->addStretch();
  return row;
}

}  // namespace

CharacterEditorWindow::CharacterEditorWindow(platform::Dialogs& dialogs, RegisterCharacterFn registerCharacter, QWidget* parent)
    : QDialog(parent), editor_(dialogs, std::move(registerCharacter)) {
  setWindowTitle(Text("キャラクターの作成・編集"));
  setModal(true);
  BuildControls();
  ShowCharacter();
}

CharacterEditorWindow::~CharacterEditorWindow() = default;

void CharacterEditorWindow::BuildControls() {
  auto* layout = new QVBoxLayout(this);

  auto* character = new QFormLayout;
  nameEdit_ = new QLineEdit(this);
  nameEdit_->setObjectName("nameEdit");
  character->addRow(Text("キャラクター名"), nameEdit_);
  modestyCombo_ = new QComboBox(this);
  modestyCombo_->setObjectName("modestyCombo");
  for (const char* item : {"5", "4", "3", "2", "1"}) modestyCombo_->addItem(Text(item));
  character->addRow(Text("謙虚さ"), modestyCombo_);
  sceneCombo_ = new QComboBox(this);
  sceneCombo_->setObjectName("sceneCombo");
  character->addRow(Text("シーン"), sceneCombo_);
  layout->addLayout(character);

  auto* sceneButtons = new QHBoxLayout;
  newSceneButton_ = new QPushButton(Text("新規シーンの作成"), this);
  newSceneButton_->setObjectName("newSceneButton");
  deleteSceneButton_ = new QPushButton(Text("シーンを削除"), this);
  deleteSceneButton_->setObjectName("deleteSceneButton");
  sceneButtons->addWidget(newSceneButton_);
  sceneButtons->addWidget(deleteSceneButton_);
  sceneButtons->addStretch();
  layout->addLayout(sceneButtons);

  auto* sceneBox = new QGroupBox(this);
  auto* scene = new QFormLayout(sceneBox);
  sceneNameLabel_ = new QLabel(sceneBox);
  sceneNameLabel_->setObjectName("sceneNameLabel");
  scene->addRow(Text("シーン名："), sceneNameLabel_);
  repeatEdit_ = NumberEdit(sceneBox);
  repeatEdit_->setObjectName("repeatEdit");
  repeatUpDown_ = new UpDown(0, kMostRepeat, sceneBox);
  scene->addRow(Text("繰り返し回数"), WithUpDown(repeatEdit_, repeatUpDown_));
  repeatEdit_->setAccessibleName(Text("繰り返し回数"));
  placeCombo_ = new QComboBox(sceneBox);
  placeCombo_->setObjectName("placeCombo");
  for (const char* item : {"ウィンドウ上部", "ウィンドウ端", "落下中", "上昇中", "自由"}) {
    placeCombo_->addItem(Text(item));
  }
  scene->addRow(Text("場所"), placeCombo_);
  frequencyEdit_ = NumberEdit(sceneBox);
  frequencyEdit_->setObjectName("frequencyEdit");
  frequencyUpDown_ = new UpDown(0, kMostFrequency, sceneBox);
  scene->addRow(Text("出現頻度"), WithUpDown(frequencyEdit_, frequencyUpDown_));
  frequencyEdit_->setAccessibleName(Text("出現頻度"));
  nextCombo_ = new QComboBox(sceneBox);
  nextCombo_->setObjectName("nextCombo");
  scene->addRow(Text("終了後に移るシーン"), nextCombo_);
  frameList_ = new QListWidget(sceneBox);
  frameList_->setObjectName("frameList");
  frameList_->setViewMode(QListView::IconMode);
  frameList_->setIconSize(QSize(CharacterWindow::kPictureSize, CharacterWindow::kPictureSize));
  frameList_->setGridSize(QSize(kFrameGrid, kFrameGrid));
  frameList_->setMovement(QListView::Static);
  frameList_->setResizeMode(QListView::Adjust);
  frameList_->setSelectionMode(QAbstractItemView::SingleSelection);
  frameList_->setMinimumSize(420, 180);
  frameList_->setAccessibleName(Text("シーンの画像"));
  scene->addRow(frameList_);
  auto* pictureButtons = new QHBoxLayout;
  addPictureButton_ = new QPushButton(Text("画像を追加"), sceneBox);
  addPictureButton_->setObjectName("addPictureButton");
  deletePictureButton_ = new QPushButton(Text("画像を削除"), sceneBox);
  deletePictureButton_->setObjectName("deletePictureButton");
  pictureButtons->addWidget(addPictureButton_);
  pictureButtons->addWidget(deletePictureButton_);
  pictureButtons->addStretch();
  scene->addRow(pictureButtons);
  layout->addWidget(sceneBox);

  auto* closing = new QHBoxLayout;
  closing->addStretch();
  okButton_ = new QPushButton(Text("OK"), this);
  cancelButton_ = new QPushButton(Text("取り消し"), this);
  closing->addWidget(okButton_);
  closing->addWidget(cancelButton_);
  layout->addLayout(closing);

  frameMenu_ = new QMenu(frameList_);
  addPictureAction_ = frameMenu_->addAction(Text("画像を追加(&A)"));
  deletePictureAction_ = frameMenu_->addAction(Text("画像を削除(&D)"));
  frameList_->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(frameList_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { frameMenu_->popup(frameList_->viewport()->mapToGlobal(at)); });

  // The user's changes go to the core; refilling the controls does not.
  connect(nameEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (loading_) return;
    editor_.SetName(FromQString(text));
    UpdateEnabling();
  });
  connect(modestyCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!loading_) editor_.SetModestyChoice(index);
  });
  connect(sceneCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!loading_) ChooseScene(index);
  });
  connect(repeatEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (loading_) return;
    editor_.SetRepeat(FromQString(text));
    ShowScene();
  });
  repeatUpDown_->onChanged = [this](int position) { repeatEdit_->setText(QString::number(position)); };
  connect(placeCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!loading_) editor_.SetPlace(index);
  });
  connect(frequencyEdit_, &QLineEdit::textChanged, this, [this](const QString& text) {
    if (loading_) return;
    editor_.SetFrequency(FromQString(text));
    ShowScene();
  });
  frequencyUpDown_->onChanged = [this](int position) { frequencyEdit_->setText(QString::number(position)); };
  connect(nextCombo_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (loading_) return;
    editor_.SetNext(index <= 0 ? std::string() : FromQString(nextCombo_->itemText(index)));
  });
  connect(frameList_, &QListWidget::currentRowChanged, this, [this](int) { UpdateEnabling(); });
  repeatEdit_->installEventFilter(this);
  frequencyEdit_->installEventFilter(this);

  connect(newSceneButton_, &QPushButton::clicked, this, [this] { CreateScene(); });
  connect(deleteSceneButton_, &QPushButton::clicked, this, [this] { RemoveScene(); });
  connect(addPictureButton_, &QPushButton::clicked, this, [this] { AddScenePicture(); });
  connect(addPictureAction_, &QAction::triggered, this, [this] { AddScenePicture(); });
  connect(deletePictureButton_, &QPushButton::clicked, this, [this] { RemoveScenePicture(); });
  connect(deletePictureAction_, &QAction::triggered, this, [this] { RemoveScenePicture(); });
  connect(okButton_, &QPushButton::clicked, this, [this] { Accept(); });
  connect(cancelButton_, &QPushButton::clicked, this, [this] { Cancel(); });
}

void CharacterEditorWindow::Open(EditorOpening opening) {
  editor_.Open(std::move(opening));
  ShowCharacter();
}

void CharacterEditorWindow::ShowCharacter() {
  loading_ = true;
  nameEdit_->setText(ToQString(editor_.Name()));
  modestyCombo_->setCurrentIndex(editor_.ModestyChoice());
  sceneCombo_->clear();
  nextCombo_->clear();
  nextCombo_->addItem(QString());
  for (const auto& name : editor_.SceneNames()) {
    sceneCombo_->addItem(ToQString(name));
    nextCombo_->addItem(ToQString(name));
  }
  loading_ = false;
  ShowScene();
}

void CharacterEditorWindow::ShowScene() {
  loading_ = true;
  const SceneFields& scene = editor_.Scene();
  sceneCombo_->setCurrentIndex(editor_.SelectedScene());
  sceneNameLabel_->setText(ToQString(scene.name));
  // Rewriting an edit's text would move the caret while the user types.
  if (FromQString(repeatEdit_->text()) != scene.repeat) repeatEdit_->setText(ToQString(scene.repeat));
  repeatUpDown_->SetPosition(ToIntegerOr(scene.repeat, 0));
  placeCombo_->setCurrentIndex(scene.place);
  if (FromQString(frequencyEdit_->text()) != scene.frequency) frequencyEdit_->setText(ToQString(scene.frequency));
  frequencyUpDown_->SetPosition(ToIntegerOr(scene.frequency, 0));
  const int next = scene.next.empty() ? 0 : nextCombo_->findText(ToQString(scene.next));
  nextCombo_->setCurrentIndex(next < 0 ? 0 : next);
  loading_ = false;
  ShowFrames();
}

void CharacterEditorWindow::ShowFrames() {
  frameList_->clear();
  for (const auto& frame : editor_.Scene().frames) {
    auto* item = new QListWidgetItem(ToQString(frame.caption), frameList_);
    item->setData(Qt::UserRole, ToQString(frame.picture));
    const std::string picture = PicturePath(editor_.CharDir(), frame.picture, false);
    if (platform::FileExists(picture)) {
      QImage image = LoadPicture(picture);
      if (!image.isNull()) item->setIcon(QIcon(QPixmap::fromImage(image)));
    }
  }
  UpdateEnabling();
}

void CharacterEditorWindow::UpdateEnabling() {
  const bool scene = editor_.SelectedScene() >= 0;
  newSceneButton_->setEnabled(editor_.CanAddScene());
  for (QWidget* control : std::initializer_list<QWidget*>{
           deleteSceneButton_, repeatEdit_, repeatUpDown_, placeCombo_, frequencyEdit_, frequencyUpDown_,
           nextCombo_, addPictureButton_}) {
    control->setEnabled(scene);
  }
  addPictureAction_->setEnabled(scene);
  const bool frame = scene && frameList_->currentRow() >= 0;
  deletePictureButton_->setEnabled(frame);
  deletePictureAction_->setEnabled(frame);
}

void CharacterEditorWindow::ChooseScene(int index) {
  editor_.SelectScene(index);
  ShowScene();
}

void CharacterEditorWindow::CreateScene() {
  if (!editor_.CanAddScene()) return;
  const auto before = editor_.SceneNames().size();
  editor_.NewScene();
  if (editor_.SceneNames().size() != before) ShowCharacter();
}

void CharacterEditorWindow::RemoveScene() {
  const auto before = editor_.SceneNames().size();
  editor_.DeleteScene();
  if (editor_.SceneNames().size() != before) ShowCharacter();
}

void CharacterEditorWindow::AddScenePicture() {
  if (editor_.SelectedScene() < 0 || !importWindow_) return;
  importWindow_->Prepare(editor_.Scene().place == static_cast<int>(Place::OnWindowTop));
  // The import and creation windows ask for a refill while they show.
  if (importWindow_->PictureWindowShowing()) return;
  platform::ExecAbove(*importWindow_);
}

void CharacterEditorWindow::RemoveScenePicture() {
  const int row = frameList_->currentRow();
  if (row < 0) return;
  editor_.DeleteFrame(row);
  ShowScene();
}

void CharacterEditorWindow::AddFrame(int pictureNumber, const std::string& caption) {
  editor_.AddFrame(pictureNumber, caption);
  ShowFrames();
}

void CharacterEditorWindow::Accept() {
  if (editor_.Ok() == EditorResult::Close) accept();
}

void CharacterEditorWindow::Cancel() { reject(); }

void CharacterEditorWindow::done(int result) {
  editor_.Cancel();
  QDialog::done(result);
}

bool CharacterEditorWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || (watched != repeatEdit_ && watched != frequencyEdit_)) {
    return QDialog::eventFilter(watched, event);
  }
  // Only typed characters are filtered; caret keys, Delete and shortcuts pass.
  const QString typed = static_cast<QKeyEvent*>(event)->text();
  if (typed.size() != 1 || (!typed[0].isPrint() && typed[0] != QChar('\b'))) {
    return QDialog::eventFilter(watched, event);
  }
  const char key = typed[0].unicode() < 0x80 ? static_cast<char>(typed[0].unicode()) : '\0';
  if (watched == repeatEdit_) return !CharacterEditor::AcceptRepeatKey(key);
  // A typed digit replaces selected text, so only what stays counts.
  QString staying = frequencyEdit_->text();
  if (frequencyEdit_->hasSelectedText()) {
    staying.remove(frequencyEdit_->selectionStart(), frequencyEdit_->selectedText().size());
  }
  return !CharacterEditor::AcceptFrequencyKey(key, FromQString(staying));
}

}  // namespace mf
