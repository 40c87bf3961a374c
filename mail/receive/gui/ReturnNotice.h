#pragma once

#include <QColor>
#include <QRegion>
#include <QWidget>

class QLabel;
class QPushButton;

namespace mf {

struct AnsweredMail;

// The return notice: what is known of the sent mail that a received mail
// answers (its subject, recipient, first text and the character that carried
// it). Receiving writes it; "Close" hides it.
class ReturnNotice final : public QWidget {
  Q_OBJECT

 public:
  static const QColor kColour;          // sky blue
  static const QColor kReferenceColour;  // found only through References
  static constexpr int kCornerSize = 100;

  ReturnNotice();

  // Writes the labels; a mail found only through its References is shown in
  // another colour, as the match is less certain.
  void Fill(const AnsweredMail& answered);
  // Empties the labels.
  void Clear();

  const QRegion& Shape() const { return shape_; }
  QColor Colour() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void SetColour(const QColor& colour);

  QRegion shape_;

  // Controls.
  QLabel* subjectLabel_;
  QLabel* recipientLabel_;
  QLabel* bodyLineLabel_;
  QLabel* characterLabel_;
  QLabel* headingLabel_;
  QPushButton* closeButton_;
};

}  // namespace mf
