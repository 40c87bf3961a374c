#pragma once

class QDialog;
class QWidget;

namespace mf::platform {

// The window a message box or dialog opened now belongs to: the program's
// active window, else its active modal one; null when the program has
// neither (another program is in front).
QWidget* DialogOwner();

// Whether the top-level window of `widget` stays in the topmost band.
bool StaysOnTop(const QWidget* widget);

// Prepares a dialog made with its owner as parent and not shown yet: it
// joins the topmost band when its owner is in it, as a window manager
// keeps a stay-on-top window above every ordinary one, its owner's
// dialogs included.
void JoinOwnersBand(QWidget& dialog);

// Runs `dialog`, a window kept for the whole run of the program, modally
// above the window it belongs to whatever that window's stay-on-top state:
// the window manager learns whose dialog it is (and keeps it above that
// window), and the dialog stays on top while its owner does. Its own
// flags come back when it closes.
int ExecAbove(QDialog& dialog);

}  // namespace mf::platform
