#pragma once

#include <cstddef>
#include <string>

#include "mail/MailFolders.h"
#include "mail/HeaderFile.h"
#include "mail/StoreRecords.h"

namespace mf {

// What the mail list keeps for each of its items.
struct TMailData {
  double sortDate = 0.0;       // day count; 0 where no date is computed
  bool hasAttachment = false;  // line 6 not empty
  bool isRead = true;          // only inbox mail can be unread
  std::size_t index = 0;       // the record index in the folder's files
};

// One row of the mail list as a folder shows a header record.
struct MailListEntry {
  std::string subject;
  std::string secondColumn;  // the sender or the recipients, by folder and status
  std::string dateText;
  int icon = 0;              // position in the mail list's image list
  TMailData data;
};

MailListEntry MakeMailListEntry(FolderKind folder, const HeaderView& record, std::size_t index);
MailListEntry MakeMailListEntry(FolderKind folder, const HeaderRecord& record, std::size_t index);

}  // namespace mf
