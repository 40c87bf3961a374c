#pragma once

#include <QIcon>

namespace mf {

// The program's icon, the starter cat at every size the desktop installs
// (packaging/icons): the windows, the tray and the menu entry show the same
// picture. Compiled in, so a program run from its build folder has it too.
QIcon ApplicationIcon();

}  // namespace mf
