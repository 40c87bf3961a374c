#include "character/gui/ScreenMonitors.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <cmath>
#include <limits>

namespace mf {
namespace {

int Down(double value) { return static_cast<int>(std::floor(value)); }

// A logical rectangle of `screen` in device pixels.
platform::Rect DeviceRect(const QRect& logical, const QScreen& screen) {
  const QPoint origin = screen.geometry().topLeft();
  const double ratio = screen.devicePixelRatio();
  int left = origin.x() + Down((logical.left() - origin.x()) * ratio + 0.5);
  int top = origin.y() + Down((logical.top() - origin.y()) * ratio + 0.5);
  return platform::Rect{left, top, left + Down(logical.width() * ratio),
                        top + Down(logical.height() * ratio)};
}

long long DistanceSquared(const platform::Rect& r, QPoint p) {
  long long dx = p.x() < r.left ? r.left - p.x() : (p.x() >= r.right ? p.x() - r.right + 1 : 0);
  long long dy = p.y() < r.top ? r.top - p.y() : (p.y() >= r.bottom ? p.y() - r.bottom + 1 : 0);
  return dx * dx + dy * dy;
}

platform::Rect LogicalRect(const QRect& r) {
  return platform::Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

template <typename RectOf>
QScreen* Nearest(QPoint point, RectOf rectOf) {
  QScreen* best = nullptr;
  long long bestDistance = std::numeric_limits<long long>::max();
  for (QScreen* screen : QGuiApplication::screens()) {
    long long distance = DistanceSquared(rectOf(*screen), point);
    if (distance < bestDistance) {
      best = screen;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

MonitorLayout ScreenMonitors() {
  std::vector<Monitor> monitors;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->geometry().isEmpty()) continue;
    monitors.push_back(Monitor{DeviceRect(screen->geometry(), *screen),
                               DeviceRect(screen->availableGeometry(), *screen),
                               screen->devicePixelRatio()});
  }
  return MonitorLayout(std::move(monitors));
}

QScreen* ScreenAtDevicePoint(QPoint device) {
  return Nearest(device, [](const QScreen& s) { return DeviceRect(s.geometry(), s); });
}

QScreen* ScreenAtLogicalPoint(QPoint logical) {
  return Nearest(logical, [](const QScreen& s) { return LogicalRect(s.geometry()); });
}

QPoint DeviceToLogical(QPoint device, const QScreen* screen) {
  if (!screen || screen->devicePixelRatio() == 1.0) return device;
  const QPoint origin = screen->geometry().topLeft();
  const double ratio = screen->devicePixelRatio();
  return origin + QPoint(Down((device.x() - origin.x()) / ratio + 0.5),
                         Down((device.y() - origin.y()) / ratio + 0.5));
}

QPoint LogicalToDevice(QPoint logical, const QScreen* screen) {
  if (!screen || screen->devicePixelRatio() == 1.0) return logical;
  const QPoint origin = screen->geometry().topLeft();
  const double ratio = screen->devicePixelRatio();
  return origin + QPoint(Down((logical.x() - origin.x()) * ratio + 0.5),
                         Down((logical.y() - origin.y()) * ratio + 0.5));
}

}  // namespace mf
