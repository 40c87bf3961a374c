#include "mail/receive/MessageDecoder.h"

#include <ios>
#include <utility>

#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/receive/ReceivedHeader.h"
#include "mail/receive/ReceivedText.h"
#include "mail/store/AttachmentNames.h"
#include "mail/store/MailStatus.h"
#include "mime/MimeDecParams.h"
#include "platform/Files.h"
#include "text/Jconvert.h"

namespace mf {
namespace {

// A name as the sender wrote it, in Shift_JIS: RFC 2231 values from their
// charset, plain ones through the encoded-word decoder.
std::string ParameterName(const std::vector<std::string>& fieldLines, const char* field, const char* parameter) {
  for (const auto& line : fieldLines) {
    if (mimedec::FieldName(line) != field) continue;
    auto found = mimedec::FindMimeParameter(line, parameter);
    if (!found) continue;
    std::string name;
    if (!found->charset.empty()) {
      name = ConvertCharset(found->value, "CP932", UpperAscii(found->charset).c_str(), Sj("〓")).value_or(found->value);
    } else {
      name = found->value;
      DecodeHeaderWords(name);
      // Old mailers write names in raw JIS.
      if (DetectJapaneseCode(name) == jcJis) name = JisToSjis(name);
    }
    return name;
  }
  return {};
}

// Names sent with a Windows or Unix path keep only their last element.
std::string LastPathElement(std::string name) {
  std::size_t cut = std::string::npos;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsSjisLeadByte(c) && i + 1 < name.size()) {
      ++i;  // a trail byte may be 0x5C and is no separator
      continue;
    }
    if (c == '/' || c == '\\') cut = i;
  }
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string WithNumber(const std::string& name, int number) {
  const std::size_t dot = name.rfind('.');
  const std::string suffix = " (" + std::to_string(number) + ")";
  if (dot == std::string::npos || dot == 0) return name + suffix;
  return name.substr(0, dot) + suffix + name.substr(dot);
}

bool IsFieldWanted(const std::string& line) {
  const std::string name = mimedec::FieldName(line);
  return name == "content-type" || name == "content-disposition";
}

}  // namespace

MessageDecoder::MessageDecoder(const MailStore& store, RandomGenerator& random, const Clock& clock,
                               std::vector<std::string> footerLines)
    : store_(store), random_(random), clock_(clock), footerLines_(std::move(footerLines)) {
  mime_.OnHeaderBegin = [this](MimeDecoder&) { MimeHeaderBegin(); };
  mime_.OnHeaderLine = [this](MimeDecoder&) { MimeHeaderLine(); };
  mime_.OnHeaderEnd = [this](MimeDecoder&) { MimeHeaderEnd(); };
  mime_.OnPartHeaderBegin = [this](MimeDecoder&) { MimePartHeaderBegin(); };
  mime_.OnPartHeaderLine = [this](MimeDecoder&) { MimePartHeaderLine(); };
  mime_.OnPartHeaderEnd = [this](MimeDecoder&) { MimePartHeaderEnd(); };
  mime_.OnPartLine = [this](MimeDecoder&, const char* data, std::size_t length) {
    MimePartLine(data, length);
  };
  mime_.OnPartEnd = [this](MimeDecoder&) { MimePartEnd(); };
  mime_.OnMessageEnd = [this](MimeDecoder&) { MimeMessageEnd(); };
  mime_.OnInlineDecodeBegin = [this](MimeDecoder&, const std::string&) { inlineBlock_ = true; };
  mime_.OnInlineDecodeEnd = [this](MimeDecoder&, const std::string&) { inlineBlock_ = false; };
}

DecodeOutcome MessageDecoder::Decode(const std::string& path, DecodedMessage& result) {
  if (!Begin(path, result)) return DecodeOutcome::Unreadable;
  std::optional<DecodeOutcome> outcome;
  while (!(outcome = Continue(std::chrono::hours(1)))) {
  }
  return *outcome;
}

bool MessageDecoder::Begin(const std::string& path, DecodedMessage& result) {
  result = DecodedMessage{};
  message_ = &result;
  headerBegun_ = headerEnded_ = writeFailed_ = false;
  messageFieldLines_.clear();
  partFieldLines_.clear();
  sink_ = Sink::None;
  inlineBlock_ = haveText_ = haveHtml_ = false;
  preamble_.clear();
  text_.clear();
  textCharset_.clear();
  html_.clear();
  htmlCharset_.clear();
  usedNames_.clear();
  try {
    mime_.BeginFile(path);
  } catch (const std::ios_base::failure&) {
    message_ = nullptr;
    return false;
  }
  return true;
}

std::optional<DecodeOutcome> MessageDecoder::Continue(std::chrono::steady_clock::duration slice) {
  if (message_ == nullptr) return DecodeOutcome::Unreadable;
  try {
    if (!mime_.DecodeFor(slice)) return std::nullopt;
  } catch (const std::ios_base::failure&) {
    CloseAttachment();
    message_ = nullptr;
    return DecodeOutcome::Unreadable;
  }
  return Outcome();
}

void MessageDecoder::Cancel() {
  mime_.Cancel();
  CloseAttachment();
  message_ = nullptr;
}

DecodeOutcome MessageDecoder::Outcome() {
  CloseAttachment();
  if (message_ != nullptr) message_->attachmentsSynced = !writeFailed_;
  message_ = nullptr;
  if (!headerBegun_ || !headerEnded_) return DecodeOutcome::Rejected;
  if (writeFailed_) return DecodeOutcome::WriteError;
  // Large texts are built up line by line; what they kept spare goes back.
  text_ = std::string();
  html_ = std::string();
  preamble_ = std::string();
  return DecodeOutcome::Decoded;
}

void MessageDecoder::MimeHeaderBegin() { headerBegun_ = true; }

void MessageDecoder::MimeHeaderLine() {
  const std::string line(mime_.CurrentData(), mime_.CurrentDataLength());
  TakeReceivedHeaderLine(line, message_->mail);
  if (IsFieldWanted(line)) messageFieldLines_.push_back(line);
}

void MessageDecoder::MimeHeaderEnd() {
  if (!headerBegun_) return;  // an empty line first: a message without a header
  headerEnded_ = true;
  ReceivedMail& mail = message_->mail;
  if (Trim(mail.date).empty()) mail.date = Rfc822DateText(clock_.Now());
  if (mime_.IsMultipart()) {
    sink_ = Sink::Preamble;
    return;
  }
  // A multipart without a boundary cannot be split: its body is read as text.
  const std::string& type = mime_.ContentType();
  ChooseSink(StartsWith(type, "multipart/") ? std::string() : type, mime_.Charset(), mime_.Disposition(),
             mime_.FileName(), messageFieldLines_);
}

void MessageDecoder::MimePartHeaderBegin() {
  CloseAttachment();
  partFieldLines_.clear();
  sink_ = Sink::None;
  inlineBlock_ = false;
}

void MessageDecoder::MimePartHeaderLine() {
  const std::string line(mime_.CurrentData(), mime_.CurrentDataLength());
  if (IsFieldWanted(line)) partFieldLines_.push_back(line);
}

void MessageDecoder::MimePartHeaderEnd() {
  if (!headerEnded_) return;
  ChooseSink(mime_.PartContentType(), mime_.PartCharset(), mime_.PartDisposition(),
             mime_.PartFileName(), partFieldLines_);
}

void MessageDecoder::ChooseSink(const std::string& contentType, const std::string& charset,
                                const std::string& disposition, const std::string& decoderFileName,
                                const std::vector<std::string>& fieldLines) {
  std::string name = ParameterName(fieldLines, "content-disposition", "filename");
  if (name.empty()) {
    name = Trim(decoderFileName);
    DecodeHeaderWords(name);
  }
  if (name.empty()) name = ParameterName(fieldLines, "content-type", "name");
  name = Trim(LastPathElement(name));

  const bool isText = contentType.empty() || contentType == "text/plain";
  const bool isHtml = contentType == "text/html";
  if (StartsWith(contentType, "multipart/")) {
    sink_ = Sink::None;  // its lines are the preamble of the parts inside
  } else if (disposition == "attachment" || (!name.empty() && (disposition != "inline" || (!isText && !isHtml)))) {
    OpenAttachment(name);
  } else if (isText && !haveText_) {
    haveText_ = true;
    textCharset_ = charset;
    sink_ = Sink::Text;
  } else if (isHtml && !haveHtml_) {
    haveHtml_ = true;
    htmlCharset_ = charset;
    sink_ = Sink::Html;
  } else if (!isText && !isHtml && !StartsWith(contentType, "text/")) {
    // A picture or a forwarded message without a name is still the sender's.
    OpenAttachment(contentType == "message/rfc822" ? "message.eml" : "");
  } else {
    sink_ = Sink::None;
  }
}

void MessageDecoder::OpenAttachment(std::string name) {
  sink_ = Sink::Attachment;
  if (writeFailed_) return;
  if (message_->attachmentFolder.empty()) {
    auto folder = store_.CreateReceivedAttachmentFolder(message_->mail.messageId, random_);
    if (!folder) {
      writeFailed_ = true;
      return;
    }
    message_->attachmentFolder = *folder;
    if (OnFolderMade) OnFolderMade(*folder);
  }
  const std::string safe = SafeAttachmentFileName(name);
  std::string path = store_.AttachmentFilePath(message_->attachmentFolder, safe);
  for (int number = 2; usedNames_.count(path) != 0 || platform::FileExists(path); ++number) {
    path = store_.AttachmentFilePath(message_->attachmentFolder, WithNumber(safe, number));
  }
  usedNames_.insert(path);
  attachment_.open(platform::NativePath(path), std::ios::binary | std::ios::trunc);
  if (!attachment_) {
    writeFailed_ = true;
    return;
  }
  attachmentPath_ = path;
  message_->mail.attachmentFiles.push_back(path);
  if (platform::ExtractFileName(path) == kPackageFileName) {
    message_->packageFiles.push_back(path);
  } else {
    message_->shownAttachments.push_back(path);
  }
}

void MessageDecoder::CloseAttachment() {
  if (!attachment_.is_open()) return;
  attachment_.flush();
  if (!attachment_) writeFailed_ = true;
  attachment_.close();
  // On disk before its record is written. Synced here, one file at a time
  // as decoding goes, rather than all at the append: a mail of thousands
  // of files would hold the event loop for as many syncs.
  if (!writeFailed_ && !platform::SyncFile(attachmentPath_)) writeFailed_ = true;
  attachmentPath_.clear();
}

void MessageDecoder::MimePartLine(const char* data, std::size_t length) {
  switch (sink_) {
    case Sink::Preamble:
      preamble_.append(data, length);
      break;
    case Sink::Text:
      if (!inlineBlock_) text_.append(data, length);
      break;
    case Sink::Html:
      html_.append(data, length);
      break;
    case Sink::Attachment:
      if (attachment_.is_open()) {
        attachment_.write(data, static_cast<std::streamsize>(length));
        if (!attachment_) writeFailed_ = true;
      }
      break;
    case Sink::None:
      break;
  }
}

void MessageDecoder::MimePartEnd() {
  if (sink_ == Sink::Attachment) CloseAttachment();
}

void MessageDecoder::MimeMessageEnd() {
  CloseAttachment();
  if (!headerEnded_) return;
  DecodedMessage& message = *message_;
  ReceivedMail& mail = message.mail;
  message.carriedId = mail.characterId;
  mail.text = FinalText();
  if (Trim(mail.xMailer) == kThisMailer) mail.text = WithoutMailFooter(mail.text, footerLines_);

  HeaderRecord& header = message.header;
  header.status = StatusWord(MailStatus::Unread);
  header.subject = mail.subject;
  header.from = mail.from;
  header.date = mail.date;
  header.to = mail.to;
  // A character package alone is no attachment the list should mark.
  header.attachmentFolder = message.shownAttachments.empty() ? std::string() : message.attachmentFolder;
}

std::string MessageDecoder::FinalText() const {
  if (haveText_) return BodyTextToProgramCode(text_, textCharset_);
  if (haveHtml_) return HtmlToText(BodyTextToProgramCode(html_, htmlCharset_));
  return BodyTextToProgramCode(preamble_, mime_.Charset());
}

}  // namespace mf
