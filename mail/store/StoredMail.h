#pragma once

#include <string>
#include <vector>

#include "mail/store/StoreRecords.h"

namespace mf {

// A received (or imported) message as the inbox keeps it. Values are as the
// receiving flow took them from the header; `replyTo` keeps its leading blank.
struct ReceivedMail {
  std::string returnPath;
  std::vector<std::string> otherHeaderLines;  // header lines of no listed name, as received
  std::string date;
  std::string from;
  std::string to;
  std::string cc;
  std::string bcc;
  std::string subject;
  std::string contentType;
  std::string messageId;
  std::string xMailer;
  std::string xUidl;
  std::string sender;
  std::string replyTo;
  std::string errorsTo;
  std::string inReplyTo;
  std::string references;
  std::vector<std::string> attachmentFiles;  // full paths, in the order of the attachments
  std::string characterId;
  std::string text;  // Shift_JIS
};

// A mail written in the composition window.
struct ComposedMail {
  std::string subject;
  std::string from;  // the user's own address
  std::string date;  // RFC 822 text
  std::string to;
  std::string cc;
  std::string messageId;  // written for the sent folder only
  std::string inReplyTo;
  std::string references;
  std::string characterId;
  std::vector<std::string> attachmentFiles;
  std::vector<std::string> textLines;  // as typed
};

BodyRecord InboxBodyRecord(const ReceivedMail& mail);
// Its header lines alone, the text left empty.
BodyRecord InboxBodyFields(const ReceivedMail& mail);
BodyRecord OutboxBodyRecord(const ComposedMail& mail);
// A mail sent directly from the composition window.
BodyRecord SentBodyRecord(const ComposedMail& mail);

}  // namespace mf
