#include "platform/qt/QtShell.h"

#include <QDesktopServices>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUrl>

#include "platform/Files.h"
#include "platform/qt/DesktopApplications.h"
#include "platform/qt/QtDialogs.h"

namespace mf::platform {

bool QtShell::OpenDocument(const std::string& path, const std::string&) {
  // The desktop's handler starts in its own folder; there is no portable way
  // to hand it another one, and the handlers take absolute paths anyway.
  if (!FileExists(path)) return false;
  const QString file = QString::fromStdString(NativePath(path));
  // The desktop's launcher starts whatever it is given and leaves it to a
  // handler that may not exist: ask first, so that a file nobody can open
  // is reported rather than dropped.
  if (!HasDesktopApplicationForFile(file)) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
}

QIcon SmallFileIcon(const std::string& fileName) {
  // Looked up by name only, as the file may be large, slow or gone.
  QMimeDatabase mimes;
  QMimeType type = mimes.mimeTypeForFile(ToQString(fileName), QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull()) icon = QFileIconProvider().icon(QFileIconProvider::File);
  return icon;
}

}  // namespace mf::platform
