#include "hut/gui/PassingNotice.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/qt/AccessibleControls.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/ScreenPlacement.h"

namespace mf {
namespace {

const QColor kNoticeColour(255, 255, 204);
const QColor kBorderColour(160, 160, 96);
constexpr int kMaxTextWidth = 320;

}  // namespace

PassingNotice::PassingNotice()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus) {
  // It must not take the keyboard from what the user is typing in.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFocusPolicy(Qt::NoFocus);
  titleLabel_ = new QLabel(this);
  titleLabel_->setObjectName("titleLabel");
  QFont bold = titleLabel_->font();
  bold.setBold(true);
  titleLabel_->setFont(bold);
  textLabel_ = new QLabel(this);
  textLabel_->setObjectName("textLabel");
  textLabel_->setWordWrap(true);
  textLabel_->setMaximumWidth(kMaxTextWidth);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 10);
  layout->addWidget(titleLabel_);
  layout->addWidget(textLabel_);

  hideTimer_ = new QTimer(this);
  hideTimer_->setObjectName("hideTimer");
  hideTimer_->setSingleShot(true);
  hideTimer_->setInterval(kShownMs);
  connect(hideTimer_, &QTimer::timeout, this, &QWidget::hide);
  setWindowTitle(QString::fromUtf8("お知らせ"));
  platform::MakeAccessible(*this, {QAccessible::Notification,
                                   [this] { return textLabel_->text().isEmpty() ? windowTitle() : textLabel_->text(); },
                                   {},
                                   {}});
}

void PassingNotice::Show(const std::string& title, const std::string& text, QPoint near) {
  setWindowTitle(platform::ToQString(title));
  titleLabel_->setText(platform::ToQString(title));
  textLabel_->setText(platform::ToQString(text));
  adjustSize();
  move(platform::OntoScreenOf(QRect(near, size()), near).topLeft());
  show();
  raise();
  hideTimer_->start();
}

void PassingNotice::mousePressEvent(QMouseEvent*) {
  hideTimer_->stop();
  hide();
}

void PassingNotice::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kNoticeColour);
  painter.setPen(kBorderColour);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace mf
