#include "mail/send/MessageBuilder.h"

#include <cstdio>
#include <stdexcept>

#include "base/Base64.h"
#include "base/Text.h"
#include "platform/Files.h"
#include "text/Jconvert.h"

namespace mf {

namespace {

// The text part's charset as the program has always announced it.
constexpr const char* kTextCharSet = "iso-2022-JP";
// 15 groups of 3 bytes: one 60-character Base64 line.
constexpr std::size_t kAttachmentChunk = 45;

bool Present(const std::string& value) { return !Trim(value).empty(); }

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value % 100);
  return text;
}

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

std::string ListText(const std::vector<Recipient>& recipients) {
  std::string text;
  for (const Recipient& recipient : recipients) {
    if (recipient.address.empty()) continue;
    text += (recipient.name.empty() ? recipient.address : FormatMailAddress(recipient.name, recipient.address)) + ", ";
  }
  text = Trim(text);
  if (!text.empty() && text.back() == ',') text.pop_back();
  return text;
}

}  // namespace

std::vector<std::string> MessageHeaderLines(const MessageFields& fields, const std::string& boundary) {
  std::vector<std::string> lines;
  if (!fields.fromName.empty()) {
    AppendFolded(lines, "From: " + FormatMailAddress(fields.fromName, fields.from));
  } else {
    lines.push_back("From: " + fields.from);
  }
  lines.push_back("To: " + ListText(fields.to));
  const std::string cc = ListText(fields.cc);
  if (!cc.empty()) lines.push_back("Cc: " + cc);
  lines.push_back(EncodeHeaderText("Subject: " + fields.subject, HeaderLocale::Japanese));
  if (Present(fields.from)) lines.push_back("Sender: " + fields.from);
  lines.push_back("Mime-Version: 1.0");
  if (boundary.empty()) {
    // The charset the header encoder wrote its words in.
    lines.push_back("Content-Type: text/plain; charset=\"" + HeaderCharSet(HeaderLocale::Japanese) + "\"");
  } else {
    lines.push_back("Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary + "\"");
  }
  lines.push_back("Date: " + Rfc822DateText(fields.date));
  if (Present(fields.xMailer)) lines.push_back("X-Mailer: " + fields.xMailer);
  if (Present(fields.inReplyTo)) lines.push_back("In-Reply-To: " + fields.inReplyTo);
  if (Present(fields.references)) lines.push_back("References: " + fields.references);
  if (Present(fields.messageId)) lines.push_back("Message-Id: " + fields.messageId);
  if (Present(fields.xMailer)) lines.push_back("X-CharacterID: " + fields.characterId);
  lines.emplace_back();
  return lines;
}

MessageBuilder::MessageBuilder(const MessageFields& fields, const std::vector<std::string>& textLines,
                               const std::vector<std::string>& files) {
  for (const auto& file : files) {
    if (Trim(file).empty()) continue;
    if (!platform::FileExists(file)) throw std::runtime_error("File not found '" + file + "'");
    files_.push_back(file);
  }
  if (!files_.empty()) {
    const DateTime& d = fields.date;
    boundary_ = "= Multipart Boundary " + TwoDigits(d.month) + TwoDigits(d.day) + TwoDigits(d.year) +
                TwoDigits(d.hour) + TwoDigits(d.minute);
  }
  for (std::string& line : MessageHeaderLines(fields, boundary_)) pending_.push_back(std::move(line));
  if (!files_.empty()) {
    for (const char* line : {"This is a multipart MIME message.", ""}) Queue(line);
    Queue("--" + boundary_);
    Queue(std::string("Content-Type: text/plain; charset=\"") + kTextCharSet + "\"");
    Queue("Content-Transfer-Encoding: 7bit");
    Queue("");
  }
  for (const std::string& line : textLines) Queue(line);
}

void MessageBuilder::Queue(std::string line) {
  if (line.size() > kMaxTextLine) line.resize(kMaxTextLine);
  pending_.push_back(std::move(line));
}

bool MessageBuilder::NextLine(std::string& line) {
  if (!pending_.empty()) {
    line = std::move(pending_.front());
    pending_.pop_front();
    return true;
  }
  if (encodingFile_) {
    line = NextAttachmentLine();
    return true;
  }
  if (fileIndex_ < files_.size()) {
    // The blank line that ends the part before.
    line.clear();
    StartAttachment();
    return true;
  }
  return false;
}

void MessageBuilder::StartAttachment() {
  const std::string& path = files_[fileIndex_];
  file_ = std::ifstream(platform::NativePath(path), std::ios::binary | std::ios::ate);
  if (!file_) throw std::runtime_error("Cannot open '" + path + "'");
  auto size = file_.tellg();
  file_.seekg(0);
  if (size < 0 || !file_) throw std::runtime_error("Cannot read '" + path + "'");
  fileRemaining_ = static_cast<std::uint64_t>(size);
  const std::string name = platform::ExtractFileName(path);
  Queue("--" + boundary_);
  Queue("Content-Type: application/octet-stream;");
  Queue("\tname=\"" + EncodeHeaderText(name) + "\"");
  Queue("Content-Transfer-Encoding: base64");
  Queue("Content-Disposition: attachment;");
  Queue("\tfilename=\"" + EncodeHeaderText(name) + "\"");
  Queue("");
  encodingFile_ = true;
}

std::string MessageBuilder::NextAttachmentLine() {
  char chunk[kAttachmentChunk];
  const std::size_t want = fileRemaining_ < kAttachmentChunk ? static_cast<std::size_t>(fileRemaining_) : kAttachmentChunk;
  file_.read(chunk, static_cast<std::streamsize>(want));
  const auto got = static_cast<std::size_t>(file_.gcount());
  if (got != want) throw std::runtime_error("Cannot read '" + files_[fileIndex_] + "'");
  fileRemaining_ -= got;
  std::string line = Base64Encode(std::string_view(chunk, got));
  if (fileRemaining_ == 0) {
    file_.close();
    encodingFile_ = false;
    ++fileIndex_;
    if (fileIndex_ >= files_.size()) {
      Queue("");
      Queue("--" + boundary_ + "--");
    }
  }
  return line;
}

}  // namespace mf
