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

  headingLabel = Line(this, QString::fromUtf8("あなたが送ったメールへの返事です"), kCaptionLeft, 14, 280);
  Line(this, QString::fromUtf8("件名"), kCaptionLeft, 40, 48);
  LabelTitleText = Line(this, {}, kValueLeft, 40, kValueWidth);
  QFont title = LabelTitleText->font();
  title.setBold(true);
  title.setItalic(true);
  title.setUnderline(true);
  LabelTitleText->setFont(title);
  Line(this, QString::fromUtf8("宛先"), kCaptionLeft, 64, 48);
  LabelToName = Line(this, {}, kValueLeft, 64, kValueWidth);
  Line(this, QString::fromUtf8("本文"), kCaptionLeft, 88, 48);
  LabelBodyLine = Line(this, {}, kValueLeft, 88, kValueWidth);
  LabelCharacter = Line(this, {}, kValueLeft, 112, kValueWidth);
  LabelCharacter->hide();  // read by receiving, not shown

  closeButton = new QPushButton(QStringLiteral("Close"), this);
  closeButton->setGeometry(kWidth - 100, kHeight - 36, 70, 24);
  connect(closeButton, &QPushButton::clicked, this, &QWidget::hide);
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
  LabelTitleText->setText(platform::ToQString(answered.title));
  LabelToName->setText(platform::ToQString(answered.recipient));
  LabelBodyLine->setText(platform::ToQString(answered.bodyLine));
  LabelCharacter->setText(platform::ToQString(answered.character));
  SetColour(answered.foundByReference ? kReferenceColour : kColour);
}

void ReturnNotice::Clear() {
  LabelTitleText->clear();
  LabelToName->clear();
  LabelBodyLine->clear();
  LabelCharacter->clear();
  SetColour(kColour);
}

void ReturnNotice::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int left = headingLabel->x() - kShapeInset;
  QPainterPath path;
  path.addRoundedRect(QRectF(left, 0, width() - left, height()), kCornerSize / 2.0, kCornerSize / 2.0);
  shape_ = QRegion(path.toFillPolygon().toPolygon(), Qt::WindingFill);
  setMask(shape_);
}

}  // namespace mf
