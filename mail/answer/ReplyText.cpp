#include "mail/answer/ReplyText.h"

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/store/StoreRecords.h"
#include "mail/store/StoredHeaderBlock.h"
#include "text/Mailbox.h"

namespace mf {
namespace {

void Quote(std::string_view text, StoredMailValues& values) {
  const std::string body = TrimRight(text);
  if (body.empty()) {
    values.quotedText = "> \r\n";
    values.quotedLines = 1;
    return;
  }
  for (const std::string& line : SplitLines(body)) {
    values.quotedText += "> ";
    values.quotedText += line;
    values.quotedText += "\r\n";
    ++values.quotedLines;
  }
}

ComposeFill Answer(const StoredMailValues& mail, std::string subject, std::string to, const char* firstLine) {
  ComposeFill fill;
  fill.subject = std::move(subject);
  fill.caption = fill.subject;
  fill.to = std::move(to);
  fill.body = ShownMailboxes(mail.sender) + Sj(firstLine) + "\r\n\r\n" + mail.quotedText;
  fill.inReplyTo = mail.messageId;
  fill.references = mail.combinedReferences;
  return fill;
}

}  // namespace

StoredMailValues ParseStoredMail(std::string_view storedText) {
  const StoredMailParts parts = SplitStoredMail(storedText);
  StoredMailValues values;
  values.subject = StoredFieldValue(parts.header, "Subject:");
  values.sender = StoredFieldValue(parts.header, "From:");
  values.messageId = StoredFieldValue(parts.header, "Message-ID:");
  values.inReplyTo = StoredFieldValue(parts.header, "In-Reply-To:");
  values.references = StoredFieldValue(parts.header, "References:");
  values.characterId = StoredFieldValue(parts.header, "X-Character:");
  values.attachmentFiles = AttachmentFilesOf(storedText);
  values.combinedReferences =
      values.references.empty() ? values.messageId : values.messageId + ", " + values.references;
  Quote(parts.text, values);
  return values;
}

std::string ReplySubject(std::string_view subject) {
  if (StartsWithIgnoreAsciiCase(TrimLeft(subject), "re:")) return std::string(subject);
  return "Re: " + std::string(subject);
}

ComposeFill MakeReply(const StoredMailValues& mail) {
  // The sender as a recipient text that the recipient reader takes back
  // whole: quoted where the name needs it, never quoted twice.
  return Answer(mail, ReplySubject(mail.subject), MailboxListText(mail.sender), "へのお返事");
}

ComposeFill MakeForward(const StoredMailValues& mail) {
  return Answer(mail, "Fwd: " + mail.subject, {}, "からのメール");
}

}  // namespace mf
