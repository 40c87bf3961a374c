#pragma once

#include <QScrollArea>

namespace mf {

// A page of controls that asks for its whole size and scrolls only where
// its window had to be made smaller than that (a small screen at a large
// scale).
class ScrollingPage final : public QScrollArea {
 public:
  explicit ScrollingPage(QWidget* page);

  QSize sizeHint() const override;
};

}  // namespace mf
