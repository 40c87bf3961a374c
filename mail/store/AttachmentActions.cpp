#include "mail/store/AttachmentActions.h"

#include "base/ShiftJis.h"
#include "mail/store/AttachmentNames.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Shell.h"

namespace mf {

void OpenAttachmentFile(platform::Shell& shell, platform::Dialogs& dialogs, const std::string& path) {
  if (!platform::FileExists(path)) {
    dialogs.Error(Sj("添付ファイルが見つかりません: ") + path);
    return;
  }
  if (shell.OpenDocument(path, platform::ExtractFilePath(path))) return;
  dialogs.Error(Sj("添付ファイルを開けませんでした。この種類のファイルを開くアプリケーションが見つかりません。") +
                "\r\n" + Sj("ファイルの場所: ") + path);
}

std::string AttachmentCopyPath(const std::string& folder, const std::string& attachmentPath) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  const std::string target = base + SafeAttachmentFileName(platform::ExtractFileName(attachmentPath));
  if (!platform::IsInside(base, target)) return {};
  return target;
}

bool SaveAttachmentCopy(platform::Dialogs& dialogs, const std::string& attachmentPath) {
  if (!platform::FileExists(attachmentPath)) {
    dialogs.Error(Sj("添付ファイルが見つかりません: ") + attachmentPath);
    return false;
  }
  const auto folder = dialogs.ChooseFolder(Sj("添付ファイルを保存するフォルダー"), std::string());
  if (!folder) return false;
  const std::string target = AttachmentCopyPath(*folder, attachmentPath);
  if (target.empty()) {
    dialogs.Error(Sj("このフォルダーには保存できません: ") + *folder);
    return false;
  }
  bool copied = false;
  if (platform::DirectoryExists(target)) {
    dialogs.Error(Sj("同じ名前のフォルダーがあるため保存できません: ") + target);
    return false;
  }
  if (platform::FileExists(target)) {
    if (!dialogs.Question(Sj("「") + platform::ExtractFileName(target) + Sj("」は既にあります。上書きしますか？"),
                          platform::DefaultButton::No, Sj("確認"))) {
      return false;
    }
    // Replaced whole through a file beside it, so that a failure keeps the old one.
    const auto bytes = platform::ReadFile(attachmentPath);
    copied = bytes && platform::WriteFileAtomic(target, *bytes);
  } else {
    copied = platform::CopyFile(attachmentPath, target, false);
  }
  if (!copied) dialogs.Error(Sj("添付ファイルを保存できませんでした: ") + target);
  return copied;
}

}  // namespace mf
