#include "widgets/ScrollingPage.h"

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
}

QSize ScrollingPage::sizeHint() const {
  // A scroll area otherwise asks for a few dozen lines at most, whatever its
  // page needs. The room for a scroll bar keeps a page that must scroll
  // upwards from scrolling sideways as well.
  if (!widget()) return QScrollArea::sizeHint();
  return widget()->sizeHint() + QSize(verticalScrollBar()->sizeHint().width(), 0);
}

}  // namespace mf
