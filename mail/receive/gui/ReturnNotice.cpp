#include "mail/receive/gui/ReturnNotice.h"

#include <QLabel>
#include <QPainterPath>
#include <QPushButton>

#include "mail/receive/AnsweredMail.h"
#include "platform/qt/AccessibleControls.h"
#include "platform/qt/QtDialogs.h"

namespace mf {
namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 170;
constexpr int kShapeInset = 30;  // the shape starts this far left of the heading
constexpr int kCaptionLeft = 50;
constexpr int kValueLeft = 100;
constexpr int kValueWidth = 230;

QLabel* Line(QWidget* parent, const QString& text, int left, int top, int width) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(left, top, width, 20);
  return label;
}

}  // namespace

const QColor ReturnNotice::kColour(166, 202, 240);
const QColor ReturnNotice::kReferenceColour(185, 209, 234);

ReturnNotice::ReturnNotice() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint) {
  setWindowTitle(QString::fromUtf8("返事"));
  setAutoFillBackground(true);
  SetColour(kColour);

  headingLabel_ = Line(this, QString::fromUtf8("あなたが送ったメールへの返事です"), kCaptionLeft, 14, 280);
  headingLabel_->setObjectName("headingLabel");
  Line(this, QString::fromUtf8("件名"), kCaptionLeft, 40, 48);
  subjectLabel_ = Line(this, {}, kValueLeft, 40, kValueWidth);
  subjectLabel_->setObjectName("subjectLabel");
  QFont title = subjectLabel_->font();
  title.setBold(true);
  title.setItalic(true);
  title.setUnderline(true);
  subjectLabel_->setFont(title);
  Line(this, QString::fromUtf8("宛先"), kCaptionLeft, 64, 48);
  recipientLabel_ = Line(this, {}, kValueLeft, 64, kValueWidth);
  recipientLabel_->setObjectName("recipientLabel");
  Line(this, QString::fromUtf8("本文"), kCaptionLeft, 88, 48);
  bodyLineLabel_ = Line(this, {}, kValueLeft, 88, kValueWidth);
  bodyLineLabel_->setObjectName("bodyLineLabel");
  characterLabel_ = Line(this, {}, kValueLeft, 112, kValueWidth);
  characterLabel_->setObjectName("characterLabel");
  characterLabel_->hide();  // read by receiving, not shown

  closeButton_ = new QPushButton(QStringLiteral("Close"), this);
  closeButton_->setObjectName("closeButton");
  closeButton_->setGeometry(kWidth - 100, kHeight - 36, 70, 24);
  connect(closeButton_, &QPushButton::clicked, this, &QWidget::hide);
  resize(kWidth, kHeight);
  platform::MakeAccessible(*this, {QAccessible::Window, {}, {}, {}});
}

void ReturnNotice::SetColour(const QColor& colour) {
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colour);
  setPalette(colours);
}

QColor ReturnNotice::Colour() const { return palette().color(QPalette::Window); }

void ReturnNotice::Fill(const AnsweredMail& answered) {
  subjectLabel_->setText(platform::ToQString(answered.title));
  recipientLabel_->setText(platform::ToQString(answered.recipient));
  bodyLineLabel_->setText(platform::ToQString(answered.bodyLine));
  characterLabel_->setText(platform::ToQString(answered.character));
  SetColour(answered.foundByReference ? kReferenceColour : kColour);
}

void ReturnNotice::Clear() {
  subjectLabel_->clear();
  recipientLabel_->clear();
  bodyLineLabel_->clear();
  characterLabel_->clear();
  SetColour(kColour);
}

void ReturnNotice::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int left = headingLabel_->x() - kShapeInset;
  QPainterPath path;
  path.addRoundedRect(QRectF(left, 0, width() - left, height()), kCornerSize / 2.0, kCornerSize / 2.0);
  shape_ = QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
  setMask(shape_);
}

}  // namespace mf
