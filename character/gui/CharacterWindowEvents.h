#pragma once

#include <QAbstractNativeEventFilter>

namespace mf {

// Drops the X server's news about character windows that the toolkit
// already knows. A walking character moves five times a second; the toolkit
// answers each confirmation of a move with four round trips to the server
// (it asks again where the window is and how wide its frame is), which cost
// the program and the server more than the walk itself.
class CharacterWindowEvents final : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
};

}  // namespace mf
