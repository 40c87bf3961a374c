#include "mail/store/MailFolders.h"

#include <vector>

#include "base/ShiftJis.h"

namespace mf {
namespace {

struct FolderNames {
  std::string header;
  std::string body;
  std::string tree;
  std::string window;
};

const FolderNames& NamesOf(FolderKind folder) {
  // Converted once: the literals are UTF-8 in the source, Shift_JIS in use.
  static const std::vector<FolderNames> names = {
      {Sj("受信.txt"), Sj("本文.txt"), Sj("受信"), Sj("受信")},
      {"TransmittedHeader.txt", "TransmittedBody.txt", Sj("送信"), Sj("送信済み")},
      {"WaitTransmissionHeader.txt", "WaitTransmissionAllBody.txt", Sj("送信待ち"), Sj("送信待ち")},
      {"KeepNewMailHeader.txt", "KeepNewMailBody.txt", Sj("保存"), Sj("保存")},
      {"TrashCanHeader.txt", "TrashCanAllBody.txt", Sj("ごみ箱"), Sj("ごみ箱")},
      {"InportHeader.txt", "InportBody.txt", Sj("インポート"), Sj("インポート")},
  };
  return names[static_cast<std::size_t>(folder)];
}

}  // namespace

const std::string& HeaderFileName(FolderKind folder) { return NamesOf(folder).header; }
const std::string& BodyFileName(FolderKind folder) { return NamesOf(folder).body; }
const std::string& TreeCaption(FolderKind folder) { return NamesOf(folder).tree; }
const std::string& WindowCaption(FolderKind folder) { return NamesOf(folder).window; }

std::optional<FolderKind> FolderFromTreeCaption(std::string_view caption) {
  for (FolderKind folder : kAllFolders) {
    if (TreeCaption(folder) == caption) return folder;
  }
  return std::nullopt;
}

const char* FolderKeyword(FolderKind folder) {
  static constexpr const char* keywords[] = {"inbox", "sent", "outbox", "kept", "trash", "import"};
  return keywords[static_cast<std::size_t>(folder)];
}

std::optional<FolderKind> FolderFromKeyword(std::string_view keyword) {
  for (FolderKind folder : kAllFolders) {
    if (keyword == FolderKeyword(folder)) return folder;
  }
  return std::nullopt;
}

bool CanMove(FolderKind from, FolderKind to) {
  if (from == to) return false;
  switch (to) {
    case FolderKind::Kept:
    case FolderKind::Sent:
    case FolderKind::Inbox:
      return from != FolderKind::Import;
    case FolderKind::Trash:
      return true;
    case FolderKind::Outbox:
    case FolderKind::Import:
      return false;
  }
  return false;
}

}  // namespace mf
