#include "character/gui/ShapedPicture.h"

#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include "character/CharacterShape.h"
#include "platform/qt/AccessibleControls.h"
#include "platform/x11/X11WindowGeometry.h"
#include "platform/x11/X11WindowLayer.h"
#include "platform/x11/X11WindowPicture.h"

namespace mf {
namespace {

PixelView ViewOf(const QImage& picture) {
  PixelView view;
  if (picture.isNull()) return view;
  view.width = picture.width();
  view.height = picture.height();
  view.pixels = reinterpret_cast<const std::uint32_t*>(picture.constBits());
  view.stride = picture.bytesPerLine() / 4;
  return view;
}

xcb_connection_t* X11Connection() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

}  // namespace

ShapedPicture::ShapedPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The picture is the character; it goes by its window's name.
  platform::MakeAccessible(*this, {QAccessible::Graphic, [this] { return window()->windowTitle(); }, {}, {}});
}

ShapedPicture::~ShapedPicture() = default;

void ShapedPicture::SetPicture(const QImage& picture) {
  // Most frames of a scene show the picture already shown: drawing it again
  // would only cost the display server a copy.
  if (!picture_.isNull() && picture.cacheKey() == shownKey_) return;
  shownKey_ = picture.cacheKey();
  picture_ = picture.format() == QImage::Format_RGB32 ? picture
                                                      : picture.convertToFormat(QImage::Format_RGB32);
  if (!picture_.isNull() && size() != picture_.size()) resize(picture_.size());
  scaled_ = QImage();
  drawn_ = false;
  if (ServerPicture() == nullptr) update();
}

void ShapedPicture::Present() {
  if (!drawn_ && ServerPicture() != nullptr) Draw();
}

void ShapedPicture::SendRequests() { platform::SendRequests(X11Connection()); }

bool ShapedPicture::Exposed(std::uint16_t sequence) {
  // The first showing of the window goes to the toolkit, which counts the
  // window as shown only once it has seen one. Its back buffer holds the
  // picture of an earlier showing (later ones went to the server), so it
  // paints the current one first.
  const QWindow* native = window()->windowHandle();
  if (native == nullptr || !native->isExposed() || ServerPicture() == nullptr) {
    update();
    return false;
  }
  // Shown anew before the picture went to the server: the picture covers it.
  if (drawn_ && platform::X11WindowPicture::DrawnAfter(sequence, drawRequest_)) return true;
  Draw();
  SendRequests();
  return drawn_;
}

platform::X11WindowPicture* ShapedPicture::ServerPicture() {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr || !window()->testAttribute(Qt::WA_WState_Created)) return nullptr;
  const std::uint32_t id = NativeWindow();
  if (!serverPicture_ || serverPicture_->Window() != id) {
    serverPicture_ = std::make_unique<platform::X11WindowPicture>(connection, id);
  }
  return serverPicture_->Usable() ? serverPicture_.get() : nullptr;
}

void ShapedPicture::Draw() {
  platform::X11WindowPicture* server = ServerPicture();
  const QImage& shown = ShownPicture();
  drawRequest_ = server && !shown.isNull()
                     ? server->Draw(reinterpret_cast<const std::uint32_t*>(shown.constBits()), shown.width(),
                                    shown.height())
                     : 0;
  drawn_ = drawRequest_ != 0;
  // Too large for one request: the toolkit draws it.
  if (!drawn_) update();
}

std::uint32_t ShapedPicture::NativeWindow() const {
  // The window the toolkit shows now. The toolkit's X11 backend makes a
  // window anew at its next showing after its stays-on-top flag changed
  // (characters leave that flag alone, see KeepAbove), and the widget's own
  // id then still names the one it replaced, which is gone: the shape and
  // the pictures sent there would be lost, and the new one would show as a
  // square of the transparent colour that never changes.
  const WId created = window()->winId();
  const QWindow* native = window()->windowHandle();
  return static_cast<std::uint32_t>(native != nullptr && native->handle() != nullptr ? native->winId() : created);
}

int ShapedPicture::DeviceSize() const {
  // The toolkit rounds a scaled window size the same way.
  return qRound(picture_.width() * devicePixelRatioF());
}

const QImage& ShapedPicture::ShownPicture() {
  const int size = DeviceSize();
  if (picture_.isNull() || size == picture_.width()) return picture_;
  if (scaled_.isNull() || scaled_.width() != size) {
    std::vector<std::uint32_t> pixels = ScalePicture(ViewOf(picture_), size);
    scaled_ = QImage(size, size, QImage::Format_RGB32);
    for (int y = 0; y < size; ++y) {
      std::copy_n(pixels.data() + static_cast<std::size_t>(y) * size, size,
                  reinterpret_cast<std::uint32_t*>(scaled_.scanLine(y)));
    }
    scaled_.setDevicePixelRatio(devicePixelRatioF());
  }
  return scaled_;
}

void ShapedPicture::BuildRegion() {
  // Everything in RGB32 carries alpha 0xFF; compare colours only.
  const QRgb transparent = TransparentColor | 0xFF000000u;
  // The picture's place in the window; a borderless window has no frame to
  // add, so this is the picture's own position.
  QPoint origin = mapTo(window(), QPoint(0, 0));
  const RegionKey key{picture_.cacheKey(), transparent, DeviceSize(), origin};
  if (hasRegion_ && key == regionKey_) return;
  regionKey_ = key;
  std::vector<platform::Rect> rects = BuildRegionRects(ViewOf(picture_), transparent, origin.x(), origin.y());
  QRegion region;
  for (const auto& rect : rects) region += QRect(rect.left, rect.top, rect.Width(), rect.Height());
  region_ = region;
  deviceSize_ = DeviceSize();
  deviceRects_ = deviceSize_ == picture_.width()
                     ? std::move(rects)
                     : ScaleRects(rects, picture_.width(), picture_.height(), deviceSize_);
  hasRegion_ = true;
}

bool ShapedPicture::PlaceWindowExactly(QPoint device) {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr || !window()->testAttribute(Qt::WA_WState_Created)) return false;
  if (placedAt_ == device) return true;
  platform::MoveWindowTo(connection, NativeWindow(), device.x(), device.y());
  placedAt_ = device;
  return true;
}

bool ShapedPicture::KeepAbove(bool above) {
  xcb_connection_t* connection = X11Connection();
  if (connection == nullptr) return false;
  keptAbove_ = above;
  platform::KeepAbove(connection, NativeWindow(), above, window()->isVisible());
  SendRequests();
  return true;
}

void ShapedPicture::ApplyRegion() {
  if (!hasRegion_) return;
  if (xcb_connection_t* connection = X11Connection()) {
    // On X11 the shape goes to the server in its own pixels, exact at any
    // scale; the toolkit's mask stays unset so it never adds its own.
    // A window the toolkit made anew has no shape yet, whatever the last
    // one had.
    const std::uint32_t id = NativeWindow();
    if (applied_valid_ && appliedWindow_ == id && appliedDevice_ == deviceRects_) return;
    platform::SetWindowShape(connection, id, deviceRects_);
    appliedWindow_ = id;
    appliedDevice_ = deviceRects_;
    applied_valid_ = true;
    return;
  }
  if (applied_valid_ && applied_ == region_) return;
  // An empty mask means "no mask" to the toolkit, which would show the whole
  // square; a picture without opaque pixels must show nothing, so it gets a
  // shape that lies entirely outside the window.
  window()->setMask(region_.isEmpty() ? QRegion(-1, -1, 1, 1) : region_);
  applied_ = region_;
  applied_valid_ = true;
}

bool ShapedPicture::event(QEvent* event) {
  // Moved onto a screen of another scale: a picture and a shape in its
  // pixels.
  if (event->type() == QEvent::ScreenChangeInternal && hasRegion_ && deviceSize_ != DeviceSize()) {
    BuildRegion();
    ApplyRegion();
    drawn_ = false;
    if (ServerPicture() != nullptr) {
      Draw();
      SendRequests();
    } else {
      update();
    }
  }
  // Shown again, the window stands where the toolkit last put it. Its shape
  // and picture are sent anew: a window manager or the toolkit may have
  // handled the window while it was away, and a window without its shape
  // shows as a square of the transparent colour.
  if (event->type() == QEvent::Show || event->type() == QEvent::Hide) ForgetPlacement();
  if (event->type() == QEvent::Show) {
    // The window manager forgot the band when the window went; the window
    // is not on the screen yet, so its property tells it, and keeps the
    // character out of taskbars and window lists, where the window manager
    // had listed it among the windows to switch to.
    if (xcb_connection_t* connection = X11Connection()) {
      platform::LeaveOutOfWindowLists(connection, NativeWindow());
      if (keptAbove_) platform::KeepAbove(connection, NativeWindow(), *keptAbove_, false);
    }
    applied_valid_ = false;
    drawn_ = false;
    ApplyRegion();
  }
  return QWidget::event(event);
}

void ShapedPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  // Drawn one to one into the device pixels: the enlarged picture already
  // carries the screen's scale.
  painter.drawImage(QPointF(0, 0), ShownPicture());
}

void ShapedPicture::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown) OnMouseDown(event);
}

void ShapedPicture::mouseMoveEvent(QMouseEvent* event) {
  if (OnMouseMove) OnMouseMove(event);
}

void ShapedPicture::mouseReleaseEvent(QMouseEvent* event) {
  if (OnMouseUp) OnMouseUp(event);
}

void ShapedPicture::contextMenuEvent(QContextMenuEvent* event) {
  if (OnContextMenu) OnContextMenu(event->globalPos());
}

}  // namespace mf
