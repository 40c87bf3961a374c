#pragma once

#include <QPoint>

#include "character/MonitorLayout.h"

class QScreen;

namespace mf {

// The monitors as the program's screens show them, in the X server's
// (device) pixels: each screen keeps its top-left corner in both kinds of
// coordinates and scales from there by its device pixel ratio. Sizes are
// rounded down, so a monitor never reaches beyond what it shows.
MonitorLayout ScreenMonitors();

// The screen showing a point of device pixels, else the nearest one; and
// the same for a point of the program's own (logical) coordinates.
QScreen* ScreenAtDevicePoint(QPoint device);
QScreen* ScreenAtLogicalPoint(QPoint logical);

// A point converted by the scale of `screen` (unchanged without one).
QPoint DeviceToLogical(QPoint device, const QScreen* screen);
QPoint LogicalToDevice(QPoint logical, const QScreen* screen);

}  // namespace mf
