// The RFC 822 header the SMTP client writes in front of a message.
#include "base/Text.h"
#include "net/SmtpClient.h"
#include "text/Jconvert.h"

namespace mf {

namespace {

bool Present(const std::string& value) { return !Trim(value).empty(); }

// A folded header value as separate lines: the CR LF goes, the TAB that
// starts the continuation stays.
void AppendFolded(std::vector<std::string>& lines, const std::string& text) {
  std::size_t start = 0;
  for (;;) {
    std::size_t cr = text.find('\r', start);
    std::string piece = text.substr(start, cr == std::string::npos ? std::string::npos : cr - start);
    if (!piece.empty() && piece[0] == '\n') piece.erase(0, 1);
    lines.push_back(piece);
    if (cr == std::string::npos) break;
    start = cr + 1;
  }
}

}  // namespace

std::string SmtpClientBase::ListText(const std::vector<std::string>& addresses,
                                        const std::vector<std::string>& names) const {
  std::string text;
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (addresses[i].empty()) continue;
    if (i < names.size() && !names[i].empty()) {
      text += FormatMailAddress(names[i], addresses[i]) + ", ";
    } else {
      text += addresses[i] + ", ";
    }
  }
  text = Trim(text);
  if (!text.empty() && text.back() == ',') text.pop_back();
  return text;
}

std::string SmtpClientBase::DateText() const { return Rfc822DateText(clock_->Now()); }

std::vector<std::string> SmtpClientBase::BuildHeaderLines() {
  std::vector<std::string> lines;
  if (Present(HdrReplyTo)) lines.push_back("Reply-To: " + HdrReplyTo);
  if (Present(HdrReturnPath)) lines.push_back("Return-Path: " + HdrReturnPath);
  if (!HdrFromName.empty()) {
    AppendFolded(lines, "From: " + FormatMailAddress(HdrFromName, HdrFrom));
  } else {
    lines.push_back("From: " + HdrFrom);
  }
  lines.push_back("To: " + ListText(HdrToAddress, HdrRcptName));
  std::string cc = ListText(HdrCcAddress, HdrCcName);
  if (!cc.empty()) lines.push_back("Cc: " + cc);
  lines.push_back(EncodeHeaderText("Subject: " + HdrSubject, HeaderLocale::Japanese));
  // The encoder has chosen the charset of the words; the body says the same.
  CharSet = HeaderCharSet(HeaderLocale::Japanese);
  if (Present(HdrSender)) {
    lines.push_back("Sender: " + HdrSender);
  } else if (Present(HdrFrom)) {
    lines.push_back("Sender: " + HdrFrom);
  }
  lines.push_back("Mime-Version: 1.0");
  lines.push_back("Content-Type: " + ContentTypeText(ContentType) + "; charset=\"" + CharSet + "\"");
  lines.push_back("Date: " + DateText());
  if (Present(HdrXMailer)) lines.push_back("X-Mailer: " + HdrXMailer);
  if (Present(HdrInReplyTo)) lines.push_back("In-Reply-To: " + HdrInReplyTo);
  if (Present(HdrReferences)) lines.push_back("References: " + HdrReferences);
  if (Present(HdrMessageId)) lines.push_back("Message-Id: " + HdrMessageId);
  // Mail written by this program always names its character, even none.
  if (Present(HdrXMailer)) lines.push_back("X-CharacterID: " + HdrXAnimationID);
  if (OnProcessHeader) OnProcessHeader(*this, lines);
  lines.emplace_back();
  return lines;
}

}  // namespace mf
