#pragma once

#include <functional>
#include <string>

namespace mf::platform {

// Shows a notice through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). Texts are Shift_JIS.
// False, with `unavailable` run at once, when there is no session bus;
// `unavailable` runs later, from the event loop, when no service answers
// the notice (none runs, or it fails), so the caller can say it another way.
bool ShowDesktopNotification(const std::string& title, const std::string& text,
                             std::function<void()> unavailable = {});

}  // namespace mf::platform
