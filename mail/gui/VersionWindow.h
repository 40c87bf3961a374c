#pragma once

#include <QColor>
#include <QDialog>
#include <QIcon>

class QLabel;

namespace mf {

class LabelButton;

// "バージョン情報": the program's name and version, closed by its "OK" label
// button. Created once at start-up and shown modally from the hut's menu.
class VersionWindow final : public QDialog {
  Q_OBJECT

 public:
  static const QColor kColour;
  static const QColor kButtonColour;
  static const QColor kButtonHoverColour;

  explicit VersionWindow(const QIcon& programIcon);

 private:
  // Controls.
  QLabel* iconLabel_;
  QLabel* productLabel_;  // "モフタンメール　　Version   1.4"
  LabelButton* okButton_;
};

}  // namespace mf
