#include "platform/qt/QtDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "base/ShiftJis.h"
#include "platform/FileFilters.h"
#include "platform/Files.h"

namespace mf::platform {
namespace {

QString Caption() { return QStringLiteral("MFMail"); }

// "説明|*.a;*.b|説明|*.*" -> "説明 (*.a *.b);;説明 (*)"
QString QtFilter(const std::string& filter) {
  QStringList parts = ToQString(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    if (patterns == "*.*") patterns = "*";
    entries << parts[i] + " (" + patterns + ")";
  }
  return entries.join(";;");
}

}  // namespace

QString ToQString(std::string_view sjis) { return QString::fromStdString(SjisToUtf8(sjis)); }
std::string FromQString(const QString& text) { return Utf8ToSjis(text.toStdString()); }

void QtDialogs::Error(const std::string& text) {
  QMessageBox::critical(parent_, Caption(), ToQString(text));
}

void QtDialogs::Information(const std::string& text) {
  QMessageBox::information(parent_, Caption(), ToQString(text));
}

bool QtDialogs::Question(const std::string& text, DefaultButton defaultButton, const std::string& caption) {
  auto chosen = QMessageBox::question(parent_, caption.empty() ? Caption() : ToQString(caption), ToQString(text), QMessageBox::Yes | QMessageBox::No,
                                      defaultButton == DefaultButton::Yes ? QMessageBox::Yes : QMessageBox::No);
  return chosen == QMessageBox::Yes;
}

Answer QtDialogs::WarningYesNoCancel(const std::string& text) {
  auto chosen = QMessageBox::warning(parent_, Caption(), ToQString(text),
                                     QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (chosen == QMessageBox::Yes) return Answer::Yes;
  if (chosen == QMessageBox::No) return Answer::No;
  return Answer::Cancel;
}

std::optional<std::string> QtDialogs::InputBox(const std::string& caption, const std::string& prompt,
                                               const std::string& initial) {
  bool ok = false;
  QString text = QInputDialog::getText(parent_, ToQString(caption), ToQString(prompt), QLineEdit::Normal,
                                       ToQString(initial), &ok);
  if (!ok) return std::nullopt;
  return FromQString(text);
}

std::optional<std::string> QtDialogs::OpenFile(const std::string& filter, const std::string& initialFolder) {
  QString path = QFileDialog::getOpenFileName(parent_, QString(), ToQString(initialFolder), QtFilter(filter));
  if (path.isEmpty()) return std::nullopt;
  return FromNativePath(path.toStdString());
}

// The caller learns the chosen filter through the name: a name typed
// without an extension takes the chosen entry's. The dialog adds it itself
// while it runs, so that it asks before overwriting the file of that name.
std::optional<std::string> QtDialogs::SaveFile(const std::string& filter, const std::string& initialFolder,
                                               const std::string& defaultExtension) {
  const QString qtFilter = QtFilter(filter);
  const QStringList entries = qtFilter.split(";;");
  QFileDialog dialog(parent_, QString(), ToQString(initialFolder), qtFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  auto suffixFor = [&](const QString& entry) {
    const std::string chosen = FilterExtension(filter, static_cast<int>(entries.indexOf(entry)));
    return ToQString(chosen.empty() ? defaultExtension : chosen);
  };
  dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                   [&](const QString& entry) { dialog.setDefaultSuffix(suffixFor(entry)); });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const std::string path = FromNativePath(dialog.selectedFiles().first().toStdString());
  return WithChosenExtension(path, filter, static_cast<int>(entries.indexOf(dialog.selectedNameFilter())),
                             defaultExtension);
}

std::optional<std::uint32_t> QtDialogs::ChooseColour(std::uint32_t initial) {
  QColor start(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF);
  QColor chosen = QColorDialog::getColor(start, parent_);
  if (!chosen.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(chosen.red()) | (static_cast<std::uint32_t>(chosen.green()) << 8) |
         (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& caption, const std::string& initialFolder) {
  QString path = QFileDialog::getExistingDirectory(parent_, ToQString(caption), ToQString(initialFolder));
  if (path.isEmpty()) return std::nullopt;
  return FromNativePath(path.toStdString());
}

}  // namespace mf::platform
