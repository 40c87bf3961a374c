#pragma once

#include <QWidget>
#include <functional>

class QToolButton;

namespace mf {

// A pair of arrow buttons that step a position within a range and hand it
// to their companion edit, as the period field's spinner does.
class UpDown final : public QWidget {
 public:
  UpDown(int minimum, int maximum, QWidget* parent = nullptr);

  int Position() const { return position_; }
  // Sets the position without reporting it.
  void SetPosition(int position);

  // Called with the new position after an arrow was pressed.
  std::function<void(int)> onChanged;

 private:
  void Step(int delta);

  int minimum_;
  int maximum_;
  int position_;
};

}  // namespace mf
