#pragma once

#include <QDialog>
#include <vector>

#include "charedit/PictureHost.h"
#include "platform/Dialogs.h"

class QAction;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace mf {

class UpDown;
class NewPictureWindow;

// "画像の追加": picks one of the character's pictures and adds it, with its
// timing and movement, as a frame of the editor's selected scene.
class PictureImportWindow : public QDialog {
  Q_OBJECT

 public:
  PictureImportWindow(PictureHost& host, platform::Dialogs& dialogs, QWidget* parent = nullptr);
  ~PictureImportWindow() override;

  // Called by the editor's add-picture command before showing the window.
  void Prepare(bool sceneOnWindowTop);
  // True while this window or the picture creation window is showing.
  bool PictureWindowShowing() const;

  // The window's commands, also driven by the tests.
  void AddSelectedPicture();
  void DeletePicture();
  void NewPicture();
  // Selects the list item of a picture number; false when it is not listed.
  bool SelectPicture(int number);
  // The picture numbers listed, in order.
  std::vector<int> ListedPictures() const;

  // The pixel editor ("新規画像作成") NewPicture opens.
  NewPictureWindow& PictureEditor() const { return *pictureEditor_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SelectionChanged();
  void SetFieldsEnabled(bool enabled);
  int SelectedPicture() const;

  PictureHost& host_;
  platform::Dialogs& dialogs_;

  QListWidget* pictureList_;
  QLineEdit* speedEdit_;
  UpDown* speedUpDown_;
  QLineEdit* dxEdit_;
  UpDown* dxUpDown_;
  QLineEdit* dyEdit_;
  UpDown* dyUpDown_;
  QPushButton* addButton_;
  QPushButton* deleteButton_;
  QAction* addAction_;
  QAction* deleteAction_;
  NewPictureWindow* pictureEditor_;
};

}  // namespace mf
