#include "mail/receive/ReceivedHeader.h"

#include <array>
#include <string>

#include "base/Text.h"
#include "mail/store/StoreRecords.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

enum class Field {
  ReplyTo,
  Cc,
  MessageId,
  Sender,
  Bcc,
  InReplyTo,
  XUidl,
  XMailer,
  ReturnPath,
  ErrorsTo,
  References,
  CharacterId,
  ContentType,
  From,
  To,
  Subject,
  Date,
};

struct Prefix {
  std::string_view text;  // upper case
  Field field;
};

// Only the first matching prefix counts; the order is the inbox's own.
constexpr std::array<Prefix, 17> kPrefixes = {{
    {"REPLY-TO:", Field::ReplyTo},
    {"CC:", Field::Cc},
    {"MESSAGE-ID:", Field::MessageId},
    {"SENDER:", Field::Sender},
    {"BCC:", Field::Bcc},
    {"IN-REPLY-TO:", Field::InReplyTo},
    {"X-UIDL:", Field::XUidl},
    {"X-MAILER:", Field::XMailer},
    {"RETURN-PATH:", Field::ReturnPath},
    {"ERRORS-TO:", Field::ErrorsTo},
    {"REFERENCES:", Field::References},
    {"X-CHARACTERID:", Field::CharacterId},
    {"CONTENT-TYPE:", Field::ContentType},
    {"FROM:", Field::From},
    {"TO:", Field::To},
    {"SUBJECT:", Field::Subject},
    {"DATE:", Field::Date},
}};

std::string Decoded(std::string_view value) {
  std::string text = TrimLeft(value);
  DecodeHeaderWords(text);
  return SingleLine(text);
}

}  // namespace

void TakeReceivedHeaderLine(std::string_view line, ReceivedMail& mail) {
  for (const auto& prefix : kPrefixes) {
    if (!StartsWithIgnoreAsciiCase(line, prefix.text)) continue;
    const std::string value = SingleLine(line.substr(prefix.text.size()));
    switch (prefix.field) {
      case Field::ReplyTo: mail.replyTo = value; break;
      case Field::Cc: mail.cc = value; break;
      case Field::MessageId: mail.messageId = value; break;
      case Field::Sender: mail.sender = value; break;
      case Field::Bcc: mail.bcc = value; break;
      case Field::InReplyTo: mail.inReplyTo = value; break;
      case Field::XUidl: mail.xUidl = value; break;
      case Field::XMailer: mail.xMailer = value; break;
      case Field::ReturnPath: mail.returnPath = value; break;
      case Field::ErrorsTo: mail.errorsTo = value; break;
      case Field::References: mail.references = value; break;
      case Field::CharacterId: mail.characterId = Trim(value); break;
      case Field::ContentType: mail.contentType = value; break;
      case Field::From: mail.from = Decoded(line.substr(prefix.text.size())); break;
      case Field::To: mail.to = Decoded(line.substr(prefix.text.size())); break;
      case Field::Subject: {
        mail.subject = Decoded(line.substr(prefix.text.size()));
        if (!mail.subject.empty() && mail.subject.back() == '\0') mail.subject.pop_back();
        break;
      }
      case Field::Date: mail.date = TrimLeft(value); break;
    }
    return;
  }
  mail.otherHeaderLines.push_back(SingleLine(line));
}

}  // namespace mf
