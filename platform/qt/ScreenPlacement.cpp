#include "platform/qt/ScreenPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWindow>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace mf::platform {
namespace {

long long DistanceSquared(const QRect& r, QPoint p) {
  long long dx = p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
  long long dy = p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
  return dx * dx + dy * dy;
}

// The frame a window manager usually puts around a window: a title bar and
// thin borders. A window not shown yet has no frame to measure.
constexpr QSize kUsualFrame(8, 32);

}  // namespace

QScreen* ScreenNear(QPoint point) {
  if (QScreen* screen = QGuiApplication::screenAt(point)) return screen;
  QScreen* best = QGuiApplication::primaryScreen();
  long long bestDistance = std::numeric_limits<long long>::max();
  for (QScreen* screen : QGuiApplication::screens()) {
    long long distance = DistanceSquared(screen->geometry(), point);
    if (distance < bestDistance) {
      best = screen;
      bestDistance = distance;
    }
  }
  return best;
}

QScreen* WorkingScreen() {
  if (QWindow* focus = QGuiApplication::focusWindow(); focus && focus->screen()) return focus->screen();
  return ScreenNear(QCursor::pos());
}

QRect OntoScreen(const QRect& frame, const QScreen* screen) {
  if (!screen) return frame;
  const QRect area = screen->availableGeometry();
  const int left = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
  const int top = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
  return QRect(QPoint(left, top), frame.size());
}

QRect OntoScreenOf(const QRect& frame, QPoint anchor) { return OntoScreen(frame, ScreenNear(anchor)); }

QRect OntoOneScreen(const QRect& frame) {
  QScreen* most = nullptr;
  long long mostArea = 0;
  for (QScreen* screen : QGuiApplication::screens()) {
    const QRect shown = screen->geometry().intersected(frame);
    if (shown == frame) return frame;
    const long long area = static_cast<long long>(shown.width()) * shown.height();
    if (!shown.isEmpty() && area > mostArea) {
      most = screen;
      mostArea = area;
    }
  }
  return OntoScreen(frame, most ? most : ScreenNear(frame.center()));
}

void FitOnScreen(QWidget& window, QSize wanted) {
  const QScreen* screen = window.screen();
  if (!screen) return;
  const QRect area = screen->availableGeometry();
  QSize frame = window.frameGeometry().size() - window.size();
  if (frame.isEmpty()) frame = kUsualFrame;
  const QSize size = (wanted.isValid() ? wanted : window.size()).boundedTo(area.size() - frame);
  QRect placed(window.frameGeometry().topLeft(), window.size() + frame);
  if (size != window.size()) {
    // Around the same centre, as the toolkit centres a dialog on showing it.
    window.resize(size.expandedTo(window.minimumSize()));
    const QPoint centre = placed.center();
    placed.setSize(window.size() + frame);
    placed.moveCenter(centre);
  }
  // Placed by its frame, so that the title bar stays on the screen too.
  window.move(OntoScreen(placed, screen).topLeft());
}

}  // namespace mf::platform
