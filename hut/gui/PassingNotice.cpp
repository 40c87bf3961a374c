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
  titleLabel = new QLabel(this);
  QFont bold = titleLabel->font();
  bold.setBold(true);
  titleLabel->setFont(bold);
  textLabel = new QLabel(this);
  textLabel->setWordWrap(true);
  textLabel->setMaximumWidth(kMaxTextWidth);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(12, 8, 12, 10);
  layout->addWidget(titleLabel);
  layout->addWidget(textLabel);

  hideTimer = new QTimer(this);
  hideTimer->setSingleShot(true);
  hideTimer->setInterval(kShownMs);
  connect(hideTimer, &QTimer::timeout, this, &QWidget::hide);
  setWindowTitle(QString::fromUtf8("お知らせ"));
  platform::MakeAccessible(*this, {QAccessible::Notification, [this] {
                                     return textLabel->text().isEmpty() ? windowTitle() : textLabel->text();
                                   }, {}, {}});
}

void PassingNotice::Show(const std::string& title, const std::string& text, QPoint near) {
  setWindowTitle(platform::ToQString(title));
  titleLabel->setText(platform::ToQString(title));
  textLabel->setText(platform::ToQString(text));
  adjustSize();
  move(platform::OntoScreenOf(QRect(near, size()), near).topLeft());
  show();
  raise();
  hideTimer->start();
}

void PassingNotice::mousePressEvent(QMouseEvent*) {
  hideTimer->stop();
  hide();
}

void PassingNotice::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), kNoticeColour);
  painter.setPen(kBorderColour);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace mf
