#pragma once

#include <QDialog>

#include "charedit/PictureHost.h"
#include "platform/Dialogs.h"

namespace mf {

// "画像の追加": picks one of the character's pictures and adds it, with its
// timing and movement, as a frame of the editor's selected scene.
class TaddImageForm : public QDialog {
  Q_OBJECT

 public:
  TaddImageForm(PictureHost& host, platform::Dialogs& dialogs, QWidget* parent = nullptr);
  ~TaddImageForm() override;

  // Called by the editor's add-picture command before showing the window.
  void Prepare(bool sceneOnWindowTop);
  // True while this window or the picture creation window is showing.
  bool PictureWindowShowing() const;

 private:
  PictureHost& host_;
  platform::Dialogs& dialogs_;
};

}  // namespace mf
