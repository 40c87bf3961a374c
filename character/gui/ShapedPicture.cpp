#include "character/gui/ShapedPicture.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>

#include "character/CharacterShape.h"
#include "platform/qt/AccessibleControls.h"

namespace mf {

ShapedPicture::ShapedPicture(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  // The picture is the character; it goes by its window's name.
  platform::MakeAccessible(*this, {QAccessible::Graphic, [this] { return window()->windowTitle(); }, {}, {}});
}

void ShapedPicture::SetPicture(const QImage& picture) {
  picture_ = picture.format() == QImage::Format_RGB32 ? picture
                                                      : picture.convertToFormat(QImage::Format_RGB32);
  if (!picture_.isNull() && size() != picture_.size()) resize(picture_.size());
  update();
}

void ShapedPicture::BuildRegion() {
  // Everything in RGB32 carries alpha 0xFF; compare colours only.
  const QRgb transparent = TransparentColor | 0xFF000000u;
  PixelView view;
  if (!picture_.isNull()) {
    view.width = picture_.width();
    view.height = picture_.height();
    view.pixels = reinterpret_cast<const std::uint32_t*>(picture_.constBits());
    view.stride = picture_.bytesPerLine() / 4;
  }
  // The picture's place in the window; a borderless window has no frame to
  // add, so this is the picture's own position.
  QPoint origin = mapTo(window(), QPoint(0, 0));
  QRegion region;
  for (const auto& rect : BuildRegionRects(view, transparent, origin.x(), origin.y())) {
    region += QRect(rect.left, rect.top, rect.Width(), rect.Height());
  }
  region_ = region;
  hasRegion_ = true;
}

void ShapedPicture::ApplyRegion() {
  if (!hasRegion_) return;
  if (applied_valid_ && applied_ == region_) return;
  // An empty mask means "no mask" to the toolkit, which would show the whole
  // square; a picture without opaque pixels must show nothing, so it gets a
  // shape that lies entirely outside the window.
  window()->setMask(region_.isEmpty() ? QRegion(-1, -1, 1, 1) : region_);
  applied_ = region_;
  applied_valid_ = true;
}

void ShapedPicture::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (picture_.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.drawImage(0, 0, picture_);
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
