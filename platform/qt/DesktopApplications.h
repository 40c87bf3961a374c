#pragma once

#include <QStringList>

namespace mf::platform {

// Whether the desktop has an application for files of any of `types` (a
// MIME type with the types it derives from), by the XDG rules for MIME
// applications: the desktop entries in each data folder's "applications"
// that name a type in their MimeType key, and the associations of
// "mimeapps.list" in the config folders and the data folders' "applications"
// ([Added Associations] and [Default Applications] add installed entries,
// [Removed Associations] takes entries away).
bool HasDesktopApplication(const QStringList& types, const QStringList& configFolders,
                           const QStringList& dataFolders);

// The same for a file, with this desktop's folders: its type found by name
// and content.
bool HasDesktopApplicationForFile(const QString& path);

}  // namespace mf::platform
