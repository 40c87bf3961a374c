#include "charedit/FrameFields.h"

#include "base/Integer.h"

namespace mf {

bool AcceptsFrameKey(FrameField field, std::string_view text, int caret, char key) {
  if (key == kBackspaceKey) return true;
  if (key == '0') return caret > 0;
  if (key >= '1' && key <= '9') return true;
  if (key == '-' && field == FrameField::Move) {
    return caret == 0 && text.find('-') == std::string_view::npos;
  }
  return false;
}

std::optional<std::string> FrameCaption(std::string_view speed, std::string_view dx, std::string_view dy) {
  // The key filter keeps other characters out, but a pasted text gets past it.
  if (!IsInteger(speed) || !IsInteger(dx) || !IsInteger(dy)) return std::nullopt;
  if (speed.front() == '-') return std::nullopt;
  std::string caption;
  caption.append(speed).append(":").append(dx).append(":").append(dy);
  return caption;
}

}  // namespace mf
