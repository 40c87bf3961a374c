#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The three fields of a new frame: the pause after the picture and the
// movement across and down.
enum class FrameField { Speed, Move };

inline constexpr char kBackspaceKey = '\b';

// Whether a typed character goes into a field holding `text` with the caret
// at `caret`. Digits and backspace always, except a "0" in front; a minus
// only in the movement fields, at their start, and only once.
bool AcceptsFrameKey(FrameField field, std::string_view text, int caret, char key);

// The frame's caption "speed:dx:dy" as typed, or nothing when a field is
// blank or not a whole number (a lone "-" included).
std::optional<std::string> FrameCaption(std::string_view speed, std::string_view dx, std::string_view dy);

}  // namespace mf
