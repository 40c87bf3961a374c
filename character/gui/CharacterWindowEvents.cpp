#include "character/gui/CharacterWindowEvents.h"

#include <QApplication>
#include <QRect>
#include <QWindow>
#include <xcb/xcb.h>

#include "character/gui/CharacterWindow.h"

namespace mf {
namespace {

CharacterWindow* CharacterOf(xcb_window_t window) {
  if (auto* known = qobject_cast<CharacterWindow*>(QWidget::find(static_cast<WId>(window)))) return known;
  // A native window the toolkit made anew is not listed under its id; left
  // to the toolkit, its exposures would bring back a picture long gone.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* character = qobject_cast<CharacterWindow*>(widget);
    const QWindow* native = character != nullptr ? character->windowHandle() : nullptr;
    if (native != nullptr && native->handle() != nullptr && native->winId() == window) return character;
  }
  return nullptr;
}

bool AlreadyKnown(const xcb_configure_notify_event_t& event) {
  CharacterWindow* character = CharacterOf(event.window);
  return character != nullptr && character->IsPlacedAt(QRect(event.x, event.y, event.width, event.height));
}

}  // namespace

bool CharacterWindowEvents::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
  if (eventType != "xcb_generic_event_t") return false;
  const auto* event = static_cast<const xcb_generic_event_t*>(message);
  // A window manager's own notice (synthetic) of where its frame put the
  // window is dropped too when it tells nothing new.
  switch (event->response_type & 0x7F) {
    case XCB_CONFIGURE_NOTIFY:
      return AlreadyKnown(*reinterpret_cast<const xcb_configure_notify_event_t*>(event));
    case XCB_EXPOSE: {
      const auto* expose = reinterpret_cast<const xcb_expose_event_t*>(event);
      CharacterWindow* character = CharacterOf(expose->window);
      return character != nullptr && character->PictureExposed(expose->sequence);
    }
    case XCB_PROPERTY_NOTIFY: {
      // The size hints the toolkit rewrites with each move.
      const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
      return notify->atom == XCB_ATOM_WM_NORMAL_HINTS && CharacterOf(notify->window) != nullptr;
    }
    default:
      return false;
  }
}

}  // namespace mf
