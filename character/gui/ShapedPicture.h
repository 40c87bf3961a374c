#pragma once

#include <QImage>
#include <QRegion>
#include <QRgb>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/DesktopWindows.h"

namespace mf::platform {
class X11WindowPicture;
}

class QMouseEvent;

namespace mf {

// The picture of a character window that also cuts the window to the
// picture's opaque pixels: everything of the TransparentColor is outside.
// On a screen with a device pixel ratio above 1 the picture is enlarged with
// square pixels (no blur) and the shape follows the enlarged picture pixel
// for pixel.
class ShapedPicture final : public QWidget {
  Q_OBJECT

 public:
  explicit ShapedPicture(QWidget* parent);
  ~ShapedPicture() override;

  // The picture shown; the widget takes its size. Drawn by Present, after
  // the window has its new shape: drawn before, the parts the shape adds
  // would be drawn again.
  void SetPicture(const QImage& picture);
  void Present();
  // What Present, ApplyRegion and PlaceWindowExactly asked of the X server
  // waits until this sends it.
  void SendRequests();
  // The X server shows part of the window anew, having done up to the
  // request numbered `sequence`; false leaves the redrawing to the toolkit.
  bool Exposed(std::uint16_t sequence);
  const QImage& Picture() const { return picture_; }

  QRgb TransparentColor = 0;

  // Works the shape out from the picture: one rectangle per horizontal run
  // of opaque pixels, in the window's coordinates.
  void BuildRegion();
  // Cuts the window this picture sits in to the shape (nothing without one).
  void ApplyRegion();
  const QRegion& Region() const { return region_; }
  bool HasRegion() const { return hasRegion_; }
  // Puts the window this picture sits in at a point in device pixels,
  // exactly, where the display takes them (X11); false elsewhere. A
  // position already set is not sent again until the window is shown anew.
  bool PlaceWindowExactly(QPoint device);
  // The window was moved by other means.
  void ForgetPlacement() { placedAt_.reset(); }

  // Puts the window into the window manager's band of windows kept above
  // the others, or out of it, on X11, and keeps it there each time it is
  // shown; false elsewhere, where the toolkit's window flag does it.
  bool KeepAbove(bool above);
  bool PlacedExactly() const { return placedAt_.has_value(); }
  const std::optional<QPoint>& PlacedAt() const { return placedAt_; }
  // The picture as drawn on the screen the window is on (device pixels).
  const QImage& ShownPicture();

  // Mouse handlers of the window that owns the picture.
  std::function<void(QMouseEvent*)> OnMouseDown;
  std::function<void(QMouseEvent*)> OnMouseMove;
  std::function<void(QMouseEvent*)> OnMouseUp;
  std::function<void(const QPoint& globalPos)> OnContextMenu;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // The X11 id of the native window the toolkit shows the picture in.
  std::uint32_t NativeWindow() const;
  // The device pixels across the picture on the window's screen.
  int DeviceSize() const;
  // Where the picture goes to the X server directly (null elsewhere).
  platform::X11WindowPicture* ServerPicture();
  void Draw();

  // What the shape was last worked out from.
  struct RegionKey {
    qint64 picture = 0;
    QRgb transparent = 0;
    int deviceSize = 0;
    QPoint origin;
    bool operator==(const RegionKey&) const = default;
  };

  QImage picture_;
  std::unique_ptr<platform::X11WindowPicture> serverPicture_;
  // The request that last drew the picture shown, and whether it did.
  std::uint32_t drawRequest_ = 0;
  bool drawn_ = false;
  std::optional<QPoint> placedAt_;
  std::optional<bool> keptAbove_;
  qint64 shownKey_ = 0;
  RegionKey regionKey_;
  QImage scaled_;
  QRegion region_;
  std::vector<platform::Rect> deviceRects_;
  int deviceSize_ = 0;
  bool hasRegion_ = false;
  // The shape last handed to the window: most frames of a scene share one,
  // and an unchanged shape is not sent to the display again.
  QRegion applied_;
  std::vector<platform::Rect> appliedDevice_;
  bool applied_valid_ = false;
  std::uint32_t appliedWindow_ = 0;
};

}  // namespace mf
