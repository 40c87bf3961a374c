#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The six mail folders, in the order of the folder tree; the numeric value
// is the tree node's position.
enum class FolderKind { Inbox = 0, Sent = 1, Outbox = 2, Kept = 3, Trash = 4, Import = 5 };

inline constexpr std::array<FolderKind, 6> kAllFolders = {FolderKind::Inbox, FolderKind::Sent,
                                                           FolderKind::Outbox, FolderKind::Kept,
                                                           FolderKind::Trash, FolderKind::Import};

// File names inside "FileKeep" (Shift_JIS).
const std::string& HeaderFileName(FolderKind folder);
const std::string& BodyFileName(FolderKind folder);

// The tree caption, which is also the name the mail list keeps as the
// current folder of a selection ("受信", "送信", ...), and the window caption.
const std::string& TreeCaption(FolderKind folder);
const std::string& WindowCaption(FolderKind folder);
std::optional<FolderKind> FolderFromTreeCaption(std::string_view caption);

// "inbox", "outbox", "sent", "kept", "trash", "import" (tools and tests).
const char* FolderKeyword(FolderKind folder);
std::optional<FolderKind> FolderFromKeyword(std::string_view keyword);

// Whether the user can move a mail from `from` into `to`. The outbox and the
// import folder never receive moved mail; the import folder gives only to
// the trash.
bool CanMove(FolderKind from, FolderKind to);

}  // namespace mf
