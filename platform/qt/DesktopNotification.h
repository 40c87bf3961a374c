#pragma once

#include <string>

namespace mf::platform {

// Shows a notice through the desktop's notification service
// (org.freedesktop.Notifications on the session bus). Texts are Shift_JIS.
// False when there is no session bus; the service's answer is not waited
// for, so where no service runs nothing is shown and nothing is said.
bool ShowDesktopNotification(const std::string& title, const std::string& text);

}  // namespace mf::platform
