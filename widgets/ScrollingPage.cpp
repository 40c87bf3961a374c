#include "widgets/ScrollingPage.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>

namespace mf {

ScrollingPage::ScrollingPage(QWidget* page) {
  setWidget(page);
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  // The keyboard goes to the page's fields; the area follows the field that
  // has the focus.
  setFocusPolicy(Qt::NoFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // The page's own background, as if it were not wrapped.
  setBackgroundRole(QPalette::NoRole);
  viewport()->setAutoFillBackground(false);
  page->setAutoFillBackground(false);
  // Scrolling the page with the wheel went through a choice under the
  // pointer and changed it unseen (a mail server's security, for one).
  QList<QWidget*> turning;
  for (QComboBox* box : page->findChildren<QComboBox*>()) turning.push_back(box);
  for (QAbstractSpinBox* box : page->findChildren<QAbstractSpinBox*>()) turning.push_back(box);
  for (QWidget* control : turning) {
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(this);
  }
}

bool ScrollingPage::eventFilter(QObject* watched, QEvent* event) {
  // The area watches its own parts as well; only the page's choices and
  // number fields are passed over.
  QWidget* control = qobject_cast<QComboBox*>(watched);
  if (control == nullptr) control = qobject_cast<QAbstractSpinBox*>(watched);
  if (event->type() != QEvent::Wheel || control == nullptr || control->hasFocus()) {
    return QScrollArea::eventFilter(watched, event);
  }
  QCoreApplication::sendEvent(verticalScrollBar(), event);
  return true;
}

QSize ScrollingPage::sizeHint() const {
  // A scroll area otherwise asks for a few dozen lines at most, whatever its
  // page needs. The room for a scroll bar keeps a page that must scroll
  // upwards from scrolling sideways as well.
  if (!widget()) return QScrollArea::sizeHint();
  return widget()->sizeHint() + QSize(verticalScrollBar()->sizeHint().width(), 0);
}

}  // namespace mf
