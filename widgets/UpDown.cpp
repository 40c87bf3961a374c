#include "widgets/UpDown.h"

#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <tuple>

namespace mf {

UpDown::UpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent), minimum_(minimum), maximum_(maximum), position_(minimum) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  for (auto [arrow, delta, name] :
       {std::tuple{Qt::UpArrow, 1, "増やす"}, std::tuple{Qt::DownArrow, -1, "減らす"}}) {
    auto* button = new QToolButton(this);
    button->setArrowType(arrow);
    button->setAccessibleName(QString::fromUtf8(name));
    button->setAutoRepeat(true);
    button->setFixedSize(16, 11);
    connect(button, &QToolButton::clicked, this, [this, delta = delta] { Step(delta); });
    layout->addWidget(button);
  }
}

void UpDown::SetPosition(int position) { position_ = std::clamp(position, minimum_, maximum_); }

void UpDown::Step(int delta) {
  int next = std::clamp(position_ + delta, minimum_, maximum_);
  if (next == position_) return;
  position_ = next;
  if (onChanged) onChanged(position_);
}

}  // namespace mf
