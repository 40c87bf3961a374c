#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace mf::platform {

// Where the program's windows open when the desktop has several monitors:
// on one monitor, the one of the character or window they belong to, never
// across two of them or where none shows them.

// The screen showing `point`, else the one nearest to it; null only when
// there is no screen at all.
QScreen* ScreenNear(QPoint point);

// The monitor the user is working on: the one of the window that has the
// focus, else the one under the mouse pointer.
QScreen* WorkingScreen();

// `frame` moved (never resized) wholly onto the work area of `screen`; a
// frame larger than the work area keeps its top-left corner on it.
QRect OntoScreen(const QRect& frame, const QScreen* screen);

// A window rectangle that belongs beside `anchor` (a character, a parent
// window): onto the anchor's screen.
QRect OntoScreenOf(const QRect& frame, QPoint anchor);

// A saved window rectangle: unchanged when one screen shows all of it, else
// onto the screen that shows most of it (the nearest when none shows any).
QRect OntoOneScreen(const QRect& frame);

// A top-level window of its size, or of `wanted`, but no larger than the
// work area of its screen, its frame included, and wholly on it: shrunk as
// far as its minimum size allows, then moved. A small screen at a large
// scale may be smaller than a window's usual size.
void FitOnScreen(QWidget& window, QSize wanted = QSize());

}  // namespace mf::platform
