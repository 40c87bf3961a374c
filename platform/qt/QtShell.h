#pragma once

#include <QIcon>
#include <string>

#include "platform/Shell.h"

namespace mf::platform {

// Opens documents through the desktop's URL handlers (xdg-open on X11).
class QtShell final : public Shell {
 public:
  bool OpenDocument(const std::string& path, const std::string& workingFolder) override;
};

// The desktop theme's small icon for a file of this name's kind, found by
// its extension; the file need not exist.
QIcon SmallFileIcon(const std::string& fileName);

}  // namespace mf::platform
