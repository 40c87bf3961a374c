#include "platform/qt/DesktopApplications.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMimeDatabase>
#include <QSet>
#include <QStandardPaths>
#include <QTextStream>

namespace mf::platform {

namespace {

// One "key=value" file of groups ("[Desktop Entry]", "[Added Associations]").
using Groups = QHash<QString, QHash<QString, QString>>;

Groups ReadGroups(const QString& path) {
  Groups groups;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return groups;
  QTextStream in(&file);
  QString group;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.isEmpty() || line.startsWith('#')) continue;
    if (line.startsWith('[') && line.endsWith(']')) {
      group = line.mid(1, line.size() - 2);
      continue;
    }
    const qsizetype equals = line.indexOf('=');
    if (equals > 0) groups[group].insert(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
  }
  return groups;
}

QStringList ListValue(const QString& value) { return value.split(';', Qt::SkipEmptyParts); }

// Every desktop entry by its id: the path below "applications" with "/"
// turned into "-" ("kde4/app.desktop" is "kde4-app.desktop"); the first
// data folder that has an id wins.
QHash<QString, QString> DesktopEntries(const QStringList& dataFolders) {
  QHash<QString, QString> entries;
  for (const QString& data : dataFolders) {
    const QDir applications(data + "/applications");
    if (!applications.exists()) continue;
    QDirIterator files(applications.path(), {"*.desktop"}, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
      const QString path = files.next();
      const QString id = applications.relativeFilePath(path).replace('/', '-');
      if (!entries.contains(id)) entries.insert(id, path);
    }
  }
  return entries;
}

}  // namespace

bool HasDesktopApplication(const QStringList& types, const QStringList& configFolders,
                           const QStringList& dataFolders) {
  const QHash<QString, QString> entries = DesktopEntries(dataFolders);
  QStringList lists;
  for (const QString& config : configFolders) lists << config + "/mimeapps.list";
  for (const QString& data : dataFolders) lists << data + "/applications/mimeapps.list";

  // Associations are pairs of a type and an entry id.
  auto pair = [](const QString& type, const QString& id) { return type + '\n' + id; };
  QSet<QString> removed;
  QSet<QString> associated;
  for (const QString& list : lists) {
    const Groups groups = ReadGroups(list);
    for (const QString& type : types) {
      for (const QString& id : ListValue(groups.value("Removed Associations").value(type))) {
        removed.insert(pair(type, id));
      }
      for (const char* group : {"Added Associations", "Default Applications"}) {
        for (const QString& id : ListValue(groups.value(group).value(type))) associated.insert(pair(type, id));
      }
    }
  }
  for (const QString& association : associated) {
    const QString id = association.section('\n', 1);
    if (!removed.contains(association) && entries.contains(id)) return true;
  }
  for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
    const QHash<QString, QString> desktop = ReadGroups(entry.value()).value("Desktop Entry");
    if (desktop.value("Hidden") == "true") continue;
    for (const QString& type : ListValue(desktop.value("MimeType"))) {
      if (types.contains(type) && !removed.contains(pair(type, entry.key()))) return true;
    }
  }
  return false;
}

bool HasDesktopApplicationForFile(const QString& path) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
  QStringList types{type.name()};
  types << type.aliases() << type.allAncestors();
  return HasDesktopApplication(types, QStandardPaths::standardLocations(QStandardPaths::GenericConfigLocation),
                               QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation));
}

}  // namespace mf::platform
