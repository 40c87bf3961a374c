#include "mail/MailListEntry.h"

#include <optional>

#include "mail/MailDate.h"
#include "mail/MailStatus.h"

namespace mf {
namespace {

// Icon pairs: the first without, the second with an attachment.
constexpr int kReadIcon = 0;
constexpr int kUnreadIcon = 2;
constexpr int kSentIcon = 4;
constexpr int kWaitingIcon = 6;
constexpr int kKeptIcon = 8;
constexpr int kRepliedIcon = 10;
constexpr int kSentReplyIcon = 12;
constexpr int kImportedIcon = 14;

// A received mail: the sender and its date, sortable.
void ShowReceived(const HeaderView& record, MailListEntry& entry) {
  entry.secondColumn = record.from();
  entry.dateText = DateColumnText(record.date());
  entry.data.sortDate = SortDateOf(record.date());
}

// Any other mail: the recipients and line 4 as stored.
void ShowWritten(const HeaderView& record, MailListEntry& entry) {
  entry.secondColumn = record.to();
  entry.dateText = record.date();
}

int TrashIcon(std::optional<MailStatus> status) {
  if (!status) return kReadIcon;
  switch (*status) {
    case MailStatus::Read: return kReadIcon;
    case MailStatus::Unread: return kUnreadIcon;
    case MailStatus::Sent: return kSentIcon;
    case MailStatus::Waiting:
    case MailStatus::WaitingReply: return kWaitingIcon;
    case MailStatus::Replied: return kRepliedIcon;
    case MailStatus::SentReply: return kSentReplyIcon;
    case MailStatus::Imported: return kImportedIcon;
  }
  return kReadIcon;
}

}  // namespace

MailListEntry MakeMailListEntry(FolderKind folder, const HeaderRecord& record, std::size_t index) {
  HeaderView view{{record.status, record.subject, record.from, record.date, record.to, record.attachmentFolder}};
  return MakeMailListEntry(folder, view, index);
}

MailListEntry MakeMailListEntry(FolderKind folder, const HeaderView& record, std::size_t index) {
  MailListEntry entry;
  entry.subject = record.subject();
  entry.data.index = index;
  entry.data.hasAttachment = !record.attachmentFolder().empty();
  const auto status = StatusFromWord(record.status());
  int icon = kReadIcon;
  switch (folder) {
    case FolderKind::Inbox:
      ShowReceived(record, entry);
      entry.data.isRead = status != MailStatus::Unread;
      icon = status == MailStatus::Unread ? kUnreadIcon
             : status == MailStatus::Replied ? kRepliedIcon
                                             : kReadIcon;
      break;
    case FolderKind::Sent:
      ShowWritten(record, entry);
      icon = status == MailStatus::SentReply ? kSentReplyIcon : kSentIcon;
      break;
    case FolderKind::Outbox:
      ShowWritten(record, entry);
      icon = kWaitingIcon;
      break;
    case FolderKind::Kept:
      ShowWritten(record, entry);
      icon = kKeptIcon;
      break;
    case FolderKind::Import:
      ShowWritten(record, entry);
      icon = kImportedIcon;
      break;
    case FolderKind::Trash:
      if (status == MailStatus::Read || status == MailStatus::Unread) {
        ShowReceived(record, entry);
      } else {
        ShowWritten(record, entry);
      }
      icon = TrashIcon(status);
      break;
  }
  entry.icon = icon + (entry.data.hasAttachment ? 1 : 0);
  return entry;
}

}  // namespace mf
