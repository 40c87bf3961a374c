#pragma once

#include <string>

namespace mf {

namespace platform {
class Dialogs;
class Shell;
}  // namespace platform

// Opens an attachment with the desktop's application for its kind. When
// the file is gone, or no application takes it, the user is told so and
// where the file lies, so that it can be opened some other way.
void OpenAttachmentFile(platform::Shell& shell, platform::Dialogs& dialogs, const std::string& path);

// Where a copy of the attachment at `attachmentPath` goes in `folder`: its
// own name made safe, so that a name that came with a mail never leaves
// the folder. Empty when it would all the same (a link in the folder
// pointing elsewhere).
std::string AttachmentCopyPath(const std::string& folder, const std::string& attachmentPath);

// "名前を付けて保存(&S)...": asks for a folder and copies the attachment
// there under its own name. A file of that name is replaced only when the
// user says so, and then whole or not at all. True when a copy was written.
bool SaveAttachmentCopy(platform::Dialogs& dialogs, const std::string& attachmentPath);

}  // namespace mf
