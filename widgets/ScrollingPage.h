#pragma once

#include <QScrollArea>

namespace mf {

// A page of controls that asks for its whole size and scrolls only where
// its window had to be made smaller than that (a small screen at a large
// scale). The wheel scrolls it even over a choice or a number field: those
// turn with the wheel only once the user has given them the keyboard.
class ScrollingPage final : public QScrollArea {
 public:
  explicit ScrollingPage(QWidget* page);

  QSize sizeHint() const override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace mf
