#include "platform/qt/QtDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>

#include "base/ShiftJis.h"
#include "platform/FileFilters.h"
#include "platform/Files.h"
#include "platform/qt/DialogOwner.h"

namespace mf::platform {
namespace {

QString Caption() { return QStringLiteral("MFMail"); }

// "説明|*.a;*.b|説明|*.*" -> "説明 (*.a *.b);;説明 (*)". A description that
// already ends with its patterns in brackets ("Outlookメール(*.eml)") is
// shown as it is, not with the patterns twice.
QString QtFilter(const std::string& filter) {
  QStringList parts = ToQString(filter).split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    if (patterns == "*.*") patterns = "*";
    const QString& description = parts[i];
    if (description.endsWith("(" + parts[i + 1] + ")")) {
      entries << description.left(description.size() - parts[i + 1].size() - 2) + "(" + patterns + ")";
    } else {
      entries << description + " (" + patterns + ")";
    }
  }
  return entries.join(";;");
}

// A box or dialog belongs to the window the user works in, else to the
// window the dialogs were made for, and opens above it.
QWidget* Owner(QWidget* fallback) {
  QWidget* owner = DialogOwner();
  return owner ? owner : fallback;
}

// A dialog made for one question and deleted afterwards. Its owner may go
// while it is open (a character leaving with a mail); the dialog then goes
// with it and counts as cancelled.
template <typename Dialog>
class OneQuestion {
 public:
  explicit OneQuestion(Dialog* dialog) : dialog_(dialog) {}
  ~OneQuestion() { delete dialog_.data(); }
  OneQuestion(const OneQuestion&) = delete;
  OneQuestion& operator=(const OneQuestion&) = delete;

  Dialog* operator->() const { return dialog_.data(); }
  // True when it was answered with its accepting button.
  bool Accepted() { return Exec() == QDialog::Accepted; }
  int Exec() {
    JoinOwnersBand(*dialog_);
    const int result = dialog_->exec();
    return dialog_ ? result : QDialog::Rejected;
  }

 private:
  QPointer<Dialog> dialog_;
};

int RunMessageBox(QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text,
                  QMessageBox::StandardButtons buttons,
                  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
  OneQuestion box(new QMessageBox(icon, caption, text, buttons, owner));
  if (defaultButton != QMessageBox::NoButton) box->setDefaultButton(defaultButton);
  return box.Exec();
}

// Qt's own file and colour dialogs: the desktop's may ignore which window
// they belong to, and speak the desktop's language instead of the program's.
constexpr auto kOwnFileDialog = QFileDialog::DontUseNativeDialog;

}  // namespace

QString ToQString(std::string_view sjis) { return QString::fromStdString(SjisToUtf8(sjis)); }
std::string FromQString(const QString& text) { return Utf8ToSjis(text.toStdString()); }

void QtDialogs::Error(const std::string& text) {
  RunMessageBox(Owner(parent_), QMessageBox::Critical, Caption(), ToQString(text), QMessageBox::Ok);
}

void QtDialogs::Information(const std::string& text) {
  RunMessageBox(Owner(parent_), QMessageBox::Information, Caption(), ToQString(text), QMessageBox::Ok);
}

bool QtDialogs::Question(const std::string& text, DefaultButton defaultButton, const std::string& caption) {
  auto chosen = RunMessageBox(Owner(parent_), QMessageBox::Question, caption.empty() ? Caption() : ToQString(caption),
                              ToQString(text), QMessageBox::Yes | QMessageBox::No,
                              defaultButton == DefaultButton::Yes ? QMessageBox::Yes : QMessageBox::No);
  return chosen == QMessageBox::Yes;
}

Answer QtDialogs::WarningYesNoCancel(const std::string& text) {
  auto chosen = RunMessageBox(Owner(parent_), QMessageBox::Warning, Caption(), ToQString(text),
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (chosen == QMessageBox::Yes) return Answer::Yes;
  if (chosen == QMessageBox::No) return Answer::No;
  return Answer::Cancel;
}

namespace {

std::optional<std::string> AskText(QWidget* owner, const std::string& caption, const std::string& prompt,
                                   const std::string& initial, QLineEdit::EchoMode echo) {
  OneQuestion dialog(new QInputDialog(owner));
  dialog->setInputMode(QInputDialog::TextInput);
  dialog->setWindowTitle(ToQString(caption));
  dialog->setLabelText(ToQString(prompt));
  dialog->setTextEchoMode(echo);
  dialog->setTextValue(ToQString(initial));
  if (!dialog.Accepted()) return std::nullopt;
  return FromQString(dialog->textValue());
}

}  // namespace

std::optional<std::string> QtDialogs::InputBox(const std::string& caption, const std::string& prompt,
                                               const std::string& initial) {
  return AskText(Owner(parent_), caption, prompt, initial, QLineEdit::Normal);
}

std::optional<std::string> QtDialogs::PasswordBox(const std::string& caption, const std::string& prompt) {
  return AskText(Owner(parent_), caption, prompt, "", QLineEdit::Password);
}

std::optional<std::string> QtDialogs::OpenFile(const std::string& filter, const std::string& initialFolder) {
  OneQuestion dialog(new QFileDialog(Owner(parent_), QString(), ToQString(initialFolder), QtFilter(filter)));
  dialog->setOption(kOwnFileDialog);
  dialog->setFileMode(QFileDialog::ExistingFile);
  if (!dialog.Accepted() || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return FromNativePath(dialog->selectedFiles().first().toStdString());
}

// The caller learns the chosen filter through the name: a name typed
// without an extension takes the chosen entry's. The dialog adds it itself
// while it runs, so that it asks before overwriting the file of that name.
std::optional<std::string> QtDialogs::SaveFile(const std::string& filter, const std::string& initialFolder,
                                               const std::string& defaultExtension) {
  const QString qtFilter = QtFilter(filter);
  const QStringList entries = qtFilter.split(";;");
  OneQuestion dialog(new QFileDialog(Owner(parent_), QString(), ToQString(initialFolder), qtFilter));
  dialog->setOption(kOwnFileDialog);
  dialog->setAcceptMode(QFileDialog::AcceptSave);
  auto suffixFor = [&](const QString& entry) {
    const std::string chosen = FilterExtension(filter, static_cast<int>(entries.indexOf(entry)));
    return ToQString(chosen.empty() ? defaultExtension : chosen);
  };
  dialog->setDefaultSuffix(suffixFor(dialog->selectedNameFilter()));
  QFileDialog* shown = dialog.operator->();
  QObject::connect(shown, &QFileDialog::filterSelected, shown,
                   [shown, suffixFor](const QString& entry) { shown->setDefaultSuffix(suffixFor(entry)); });
  if (!dialog.Accepted() || dialog->selectedFiles().isEmpty()) return std::nullopt;
  const std::string path = FromNativePath(dialog->selectedFiles().first().toStdString());
  return WithChosenExtension(path, filter, static_cast<int>(entries.indexOf(dialog->selectedNameFilter())),
                             defaultExtension);
}

std::optional<std::uint32_t> QtDialogs::ChooseColour(std::uint32_t initial) {
  OneQuestion dialog(new QColorDialog(QColor(initial & 0xFF, (initial >> 8) & 0xFF, (initial >> 16) & 0xFF),
                                      Owner(parent_)));
  dialog->setOption(QColorDialog::DontUseNativeDialog);
  if (!dialog.Accepted()) return std::nullopt;
  const QColor chosen = dialog->selectedColor();
  if (!chosen.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(chosen.red()) | (static_cast<std::uint32_t>(chosen.green()) << 8) |
         (static_cast<std::uint32_t>(chosen.blue()) << 16);
}

std::optional<std::string> QtDialogs::ChooseFolder(const std::string& caption, const std::string& initialFolder) {
  OneQuestion dialog(new QFileDialog(Owner(parent_), ToQString(caption), ToQString(initialFolder)));
  dialog->setOption(kOwnFileDialog);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  if (!dialog.Accepted() || dialog->selectedFiles().isEmpty()) return std::nullopt;
  return FromNativePath(dialog->selectedFiles().first().toStdString());
}

}  // namespace mf::platform
