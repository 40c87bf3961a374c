#include "mail/store/StoredMail.h"

#include "base/Text.h"

namespace mf {
namespace {

void Add(BodyRecord& record, const char* name, const std::string& value) {
  record.fields.push_back({name, value});
}

void AddWhenPresent(BodyRecord& record, const char* name, const std::string& value) {
  if (!value.empty()) Add(record, name, value);
}

void AddAttachments(BodyRecord& record, const std::vector<std::string>& files) {
  for (const auto& file : files) Add(record, "X-Attachments-File: ", file);
}

// Every typed line followed by CR LF, then one more CR LF.
std::string ComposedText(const std::vector<std::string>& lines) {
  std::string text = JoinLines(lines);
  text += "\r\n";
  return text;
}

BodyRecord ComposedBodyRecord(const ComposedMail& mail, bool withMessageId) {
  BodyRecord record;
  Add(record, "Subject: ", mail.subject);
  Add(record, "From: ", mail.from);
  Add(record, "Date: ", mail.date);
  Add(record, "To: ", mail.to);
  AddWhenPresent(record, "Cc: ", mail.cc);
  if (withMessageId) Add(record, "Message-ID: ", mail.messageId);
  AddWhenPresent(record, "In-Reply-To: ", mail.inReplyTo);
  AddWhenPresent(record, "References: ", mail.references);
  Add(record, "X-Character: ", mail.characterId);
  AddAttachments(record, mail.attachmentFiles);
  record.text = ComposedText(mail.textLines);
  return record;
}

}  // namespace

BodyRecord InboxBodyRecord(const ReceivedMail& mail) {
  BodyRecord record = InboxBodyFields(mail);
  record.text = mail.text;
  return record;
}

BodyRecord InboxBodyFields(const ReceivedMail& mail) {
  BodyRecord record;
  Add(record, "Return-Path: ", mail.returnPath);
  // The flow may hand over the other lines as one text joined by CR LF.
  for (const auto& text : mail.otherHeaderLines) {
    for (const auto& line : SplitLines(text)) record.fields.push_back({"", TrimRight(line)});
  }
  Add(record, "Date: ", mail.date);
  Add(record, "From: ", mail.from);
  Add(record, "To: ", mail.to);
  Add(record, "Cc: ", mail.cc);
  Add(record, "Bcc: ", mail.bcc);
  Add(record, "Subject: ", mail.subject);
  Add(record, "Content-Type: ", mail.contentType);
  Add(record, "Message-ID: ", mail.messageId);
  Add(record, "X-Mailer: ", mail.xMailer);
  Add(record, "X-Uidl: ", mail.xUidl);
  Add(record, "Sender: ", mail.sender);
  Add(record, "Reply-To:", mail.replyTo);
  Add(record, "Errors-To: ", mail.errorsTo);
  Add(record, "In-Reply-To: ", mail.inReplyTo);
  Add(record, "References: ", mail.references);
  AddAttachments(record, mail.attachmentFiles);
  Add(record, "X-Character: ", mail.characterId);
  return record;
}

BodyRecord OutboxBodyRecord(const ComposedMail& mail) { return ComposedBodyRecord(mail, false); }
BodyRecord SentBodyRecord(const ComposedMail& mail) { return ComposedBodyRecord(mail, true); }

}  // namespace mf
