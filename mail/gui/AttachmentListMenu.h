#pragma once

#include <functional>

class QAction;
class QListWidget;

namespace mf {

// A received or stored mail's attachment list as the mail list and the
// viewer both offer it: a double click opens an attachment, and its context
// menu, on an item only, offers to save that one elsewhere. `open` and
// `saveAs` get the row. Returns the menu's save action (owned by the list).
QAction* WireAttachmentList(QListWidget& list, std::function<void(int row)> open,
                            std::function<void(int row)> saveAs);

}  // namespace mf
