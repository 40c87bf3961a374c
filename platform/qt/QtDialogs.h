#pragma once

#include <string>
#include <string_view>

#include "platform/Dialogs.h"

class QString;
class QWidget;

namespace mf::platform {

// Message boxes and standard dialogs of Qt, with Japanese captions. Each
// opens above the window the user works in (see DialogOwner), else above
// `parent`.
class QtDialogs final : public Dialogs {
 public:
  explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
  void Error(const std::string& text) override;
  void Information(const std::string& text) override;
  bool Question(const std::string& text, DefaultButton defaultButton, const std::string& caption) override;
  Answer WarningYesNoCancel(const std::string& text) override;
  std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt,
                                      const std::string& initial) override;
  std::optional<std::string> PasswordBox(const std::string& caption, const std::string& prompt) override;
  std::optional<std::string> OpenFile(const std::string& filter, const std::string& initialFolder) override;
  std::optional<std::string> SaveFile(const std::string& filter, const std::string& initialFolder,
                                      const std::string& defaultExtension) override;
  std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) override;
  std::optional<std::string> ChooseFolder(const std::string& caption, const std::string& initialFolder) override;

 private:
  QWidget* parent_;
};

// Shift_JIS <-> QString at the widget edge.
QString ToQString(std::string_view sjis);
std::string FromQString(const QString& text);

}  // namespace mf::platform
