#include "app/JapaneseInterface.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstring>

namespace mf {
namespace {

// Texts of Qt's dialogs that its Japanese translation leaves in English:
// the kinds in the file dialog's "種類" column.
class MissingJapanese final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    struct Entry {
      const char* context;
      const char* source;
      const char* japanese;
    };
    static const Entry kEntries[] = {
        {"QAbstractFileIconProvider", "Folder", "フォルダー"},
        {"QAbstractFileIconProvider", "File", "ファイル"},
        {"QAbstractFileIconProvider", "%1 File", "%1 ファイル"},
        {"QAbstractFileIconProvider", "Drive", "ドライブ"},
    };
    for (const Entry& entry : kEntries) {
      if (std::strcmp(context, entry.context) == 0 && std::strcmp(source, entry.source) == 0) {
        return QString::fromUtf8(entry.japanese);
      }
    }
    return {};
  }
};

}  // namespace

bool UseJapaneseInterface(QCoreApplication& application) {
  const QLocale japanese(QLocale::Japanese, QLocale::Japan);
  QLocale::setDefault(japanese);
  // Asked last, after Qt's own translation.
  QCoreApplication::installTranslator(new MissingJapanese(&application));
  auto* translator = new QTranslator(&application);
  if (!translator->load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace mf
