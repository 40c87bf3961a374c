#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "mail/store/HeaderFile.h"
#include "mail/store/MailFolders.h"
#include "mail/store/StoreRecords.h"

namespace mf {

// What the mail list keeps for each of its items.
struct MailItemData {
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
  MailItemData data;
};

// What the list shows of a record in a folder, as views into the record:
// the one place the list's rules live, for its entries and its rows alike.
struct ShownRecord {
  std::string_view subject;
  std::string_view secondColumn;
  std::string_view dateText;
  int icon = 0;
  bool hasAttachment = false;
  bool isRead = true;
  bool received = false;  // a received mail: the second column is a sender, the sort date is computed
};

ShownRecord ShowRecord(FolderKind folder, const HeaderView& record);
HeaderView ViewOf(const HeaderRecord& record);

MailListEntry MakeMailListEntry(FolderKind folder, const HeaderView& record, std::size_t index);
MailListEntry MakeMailListEntry(FolderKind folder, const HeaderRecord& record, std::size_t index);

}  // namespace mf
