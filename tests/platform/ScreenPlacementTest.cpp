// Windows larger than the screen they open on: made to fit it, frame and
// all, around the same centre.

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "platform/qt/ScreenPlacement.h"

namespace mf::platform {
namespace {

TEST(FitOnScreen, AWindowTooLargeShrinksOntoTheWorkAreaAndOneThatFitsKeepsItsSize) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  struct Case {
    const char* what;
    QSize size;
    QSize wanted;
    QSize minimum;
    QSize expected;
  };
  // A window not shown yet has no frame: room is left for a usual one.
  const QSize most = area.size() - QSize(8, 32);
  const Case cases[] = {
      {"fits", {300, 200}, {}, {}, {300, 200}},
      {"too tall", {300, area.height() + 100}, {}, {}, {300, most.height()}},
      {"too wide and tall", area.size() * 2, {}, {}, most},
      {"its wish too large", {300, 200}, {area.width(), 400}, {}, {most.width(), 400}},
      {"its wish fits", {300, 200}, {500, 400}, {}, {500, 400}},
      {"its minimum is larger", {300, area.height() + 100}, {}, {100, area.height() + 50}, {300, area.height() + 50}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QWidget window;
    if (c.minimum.isValid()) window.setMinimumSize(c.minimum);
    window.resize(c.size);
    window.move(area.center() - QRect(QPoint(), c.size).center());
    const QPoint centre = window.geometry().center();
    FitOnScreen(window, c.wanted);
    EXPECT_EQ(window.size(), c.expected);
    // One that fits stays whole on the work area; one not made smaller keeps
    // its centre.
    if (c.expected.width() <= most.width() && c.expected.height() <= most.height()) {
      EXPECT_TRUE(area.contains(QRect(window.pos(), window.size() + QSize(8, 32))))
          << window.x() << "," << window.y();
      if ((c.wanted.isValid() ? c.wanted : c.size) == c.expected) {
        EXPECT_LE((window.geometry().center() - centre).manhattanLength(), 1);
      }
    }
  }
}

}  // namespace
}  // namespace mf::platform
