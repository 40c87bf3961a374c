#pragma once

#include <QColor>
#include <QLabel>

namespace mf {

// A plain label that works as a button: it changes colour while the mouse is
// over it and reports a left click released over it.
class LabelButton final : public QLabel {
  Q_OBJECT

 public:
  LabelButton(const QString& caption, QColor normal, QColor hover, QWidget* parent);

  bool Hovered() const { return hovered_; }
  QColor Colour() const;
  // Sets the hover look without the mouse (keyboard-less tests, and a
  // button that moved away from under a pointer).
  void SetHovered(bool hovered);

 signals:
  void clicked();

 protected:
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Repaint();

  QColor normal_;
  QColor hover_;
  bool hovered_ = false;
  bool pressed_ = false;
};

}  // namespace mf
