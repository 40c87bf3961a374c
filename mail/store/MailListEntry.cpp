#include "mail/store/MailListEntry.h"

#include <optional>

#include "mail/store/MailDate.h"
#include "mail/store/MailStatus.h"
#include "text/Mailbox.h"

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
constexpr int kUnconfirmedIcon = 16;

// A received mail: the sender and line 4 as received, its zone kept, so
// that the column can show the moment in local time and sort by it.
void ShowReceived(const HeaderView& record, ShownRecord& shown) {
  shown.secondColumn = record.from();
  shown.dateText = TrimmedDateView(record.date());
  shown.received = true;
}

// Any other mail: the recipients and line 4 as stored.
void ShowWritten(const HeaderView& record, ShownRecord& shown) {
  shown.secondColumn = record.to();
  shown.dateText = record.date();
}

int TrashIcon(std::optional<MailStatus> status) {
  if (!status) return kReadIcon;
  switch (*status) {
    case MailStatus::Read: return kReadIcon;
    case MailStatus::Unread: return kUnreadIcon;
    case MailStatus::Sent: return kSentIcon;
    case MailStatus::Waiting:
    case MailStatus::WaitingReply: return kWaitingIcon;
    case MailStatus::Unconfirmed:
    case MailStatus::UnconfirmedReply: return kUnconfirmedIcon;
    case MailStatus::Replied: return kRepliedIcon;
    case MailStatus::SentReply: return kSentReplyIcon;
    case MailStatus::Imported: return kImportedIcon;
  }
  return kReadIcon;
}

}  // namespace

HeaderView ViewOf(const HeaderRecord& record) {
  return HeaderView{{record.status, record.subject, record.from, record.date, record.to, record.attachmentFolder}};
}

MailListEntry MakeMailListEntry(FolderKind folder, const HeaderRecord& record, std::size_t index) {
  return MakeMailListEntry(folder, ViewOf(record), index);
}

MailListEntry MakeMailListEntry(FolderKind folder, const HeaderView& record, std::size_t index) {
  const ShownRecord shown = ShowRecord(folder, record);
  MailListEntry entry;
  entry.subject = shown.subject;
  // A sender is shown as a reader sees its name: no quotes, no comments.
  entry.secondColumn = shown.received ? ShownMailboxes(shown.secondColumn) : std::string(shown.secondColumn);
  entry.dateText = shown.dateText;
  entry.icon = shown.icon;
  entry.data.index = index;
  entry.data.hasAttachment = shown.hasAttachment;
  entry.data.isRead = shown.isRead;
  if (shown.received) entry.data.sortDate = SortDateOf(record.date());
  return entry;
}

ShownRecord ShowRecord(FolderKind folder, const HeaderView& record) {
  ShownRecord shown;
  shown.subject = record.subject();
  shown.hasAttachment = !record.attachmentFolder().empty();
  const auto status = StatusFromWord(record.status());
  int icon = kReadIcon;
  switch (folder) {
    case FolderKind::Inbox:
      ShowReceived(record, shown);
      shown.isRead = status != MailStatus::Unread;
      icon = status == MailStatus::Unread ? kUnreadIcon
             : status == MailStatus::Replied ? kRepliedIcon
                                             : kReadIcon;
      break;
    case FolderKind::Sent:
      ShowWritten(record, shown);
      icon = status == MailStatus::SentReply ? kSentReplyIcon : kSentIcon;
      break;
    case FolderKind::Outbox:
      ShowWritten(record, shown);
      // A mail that may have arrived must not look like one still to go.
      icon = status == MailStatus::Unconfirmed || status == MailStatus::UnconfirmedReply ? kUnconfirmedIcon
                                                                                        : kWaitingIcon;
      break;
    case FolderKind::Kept:
      ShowWritten(record, shown);
      icon = kKeptIcon;
      break;
    case FolderKind::Import:
      ShowWritten(record, shown);
      icon = kImportedIcon;
      break;
    case FolderKind::Trash:
      if (status == MailStatus::Read || status == MailStatus::Unread) {
        ShowReceived(record, shown);
      } else {
        ShowWritten(record, shown);
      }
      icon = TrashIcon(status);
      break;
  }
  shown.icon = icon + (shown.hasAttachment ? 1 : 0);
  return shown;
}

}  // namespace mf
