#include "platform/qt/DialogOwner.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QWindow>

namespace mf::platform {

QWidget* DialogOwner() {
  // The active window is where the user clicked what opens the dialog (an
  // entry dialog shown over its modal address book, for one); without one
  // (a timer, a finished transfer) the modal window in front still blocks
  // every other, so the dialog must come above it.
  if (QWidget* active = QApplication::activeWindow()) return active;
  return QApplication::activeModalWidget();
}

bool StaysOnTop(const QWidget* widget) {
  return widget && widget->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

void JoinOwnersBand(QWidget& dialog) {
  if (StaysOnTop(dialog.parentWidget())) dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

int ExecAbove(QDialog& dialog) {
  QWidget* owner = DialogOwner();
  if (owner) owner = owner->window();
  if (!owner || owner == &dialog || !owner->isVisible()) return dialog.exec();

  const Qt::WindowFlags own = dialog.windowFlags();
  // Flags are only changed while the dialog is hidden: changing them
  // re-creates its native window, and the owner is set on that one.
  if (StaysOnTop(owner) && !own.testFlag(Qt::WindowStaysOnTopHint) && !dialog.isVisible()) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  }
  // Not a widget parent: the dialog lives as long as the program, the
  // owner (a character window, for one) may not.
  dialog.createWinId();
  owner->createWinId();
  QPointer<QWindow> handle = dialog.windowHandle();
  if (handle) handle->setTransientParent(owner->windowHandle());

  const int result = dialog.exec();

  if (handle) handle->setTransientParent(nullptr);
  if (dialog.windowFlags() != own && !dialog.isVisible()) dialog.setWindowFlags(own);
  return result;
}

}  // namespace mf::platform
