#include "platform/qt/ScreenPlacement.h"

#include <QCursor>
#include <QGuiApplication>
#include <QWindow>
#include <QScreen>
#include <algorithm>
#include <limits>

namespace mf::platform {
namespace {

long long DistanceSquared(const QRect& r, QPoint p) {
  long long dx = p.x() < r.left() ? r.left() - p.x() : (p.x() > r.right() ? p.x() - r.right() : 0);
  long long dy = p.y() < r.top() ? r.top() - p.y() : (p.y() > r.bottom() ? p.y() - r.bottom() : 0);
  return dx * dx + dy * dy;
}

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

}  // namespace mf::platform
