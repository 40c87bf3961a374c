#pragma once

#include <functional>
#include <string>
#include <vector>

class QAction;
class QListWidget;

namespace mf {

// A received or stored mail's attachment list as the mail list and the
// viewer both offer it: a double click opens an attachment, and its context
// menu, on an item only, offers to save that one elsewhere. `open` and
// `saveAs` get the row. Returns the menu's save action (owned by the list).
QAction* WireAttachmentList(QListWidget& list, std::function<void(int row)> open,
                            std::function<void(int row)> saveAs);

// Puts the names into the list with their small icons. A mail may carry
// thousands of files: the theme's icon is looked up once per kind of file
// and shared, and the list lays its items out in batches, so that neither
// memory nor the time before the window answers grows with each name.
void FillAttachmentList(QListWidget& list, const std::vector<std::string>& names);

}  // namespace mf
