// The multipart body with Base64 attachments.
#include <cstdio>

#include "base/Base64.h"
#include "base/Text.h"
#include "net/SmtpClient.h"
#include "platform/Files.h"
#include "text/Jconvert.h"

namespace mf {

namespace {

// 15 groups of 3 bytes: one 60-character Base64 line.
constexpr int kAttachmentChunk = 45;
constexpr std::size_t kMaxPendingLine = 1023;

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value % 100);
  return text;
}

}  // namespace

SmtpClient::SmtpClient(platform::EventLoop& loop) : SmtpClientBase(loop) {}

SmtpClient::SmtpClient(platform::EventLoop& loop, std::unique_ptr<Transport> transport)
    : SmtpClientBase(loop, std::move(transport)) {}

SmtpClient::~SmtpClient() = default;

void SmtpClient::SetEmailFiles(const std::vector<std::string>& files) {
  std::vector<std::string> kept;
  for (const auto& file : files) {
    if (Trim(file).empty()) continue;
    if (!platform::FileExists(file)) throw SmtpException("File not found '" + file + "'");
    kept.push_back(file);
  }
  emailFiles_ = std::move(kept);
}

void SmtpClient::Data() {
  pending_.clear();
  askingCaller_ = true;
  encodingFile_ = false;
  file_ = std::ifstream();
  fileIndex_ = 0;
  bodyLine_ = 0;
  boundary_.clear();
  if (!emailFiles_.empty()) {
    DateTime now = CurrentClock().Now();
    boundary_ = "= Multipart Boundary " + TwoDigits(now.month) + TwoDigits(now.day) + TwoDigits(now.year) +
                TwoDigits(now.hour) + TwoDigits(now.minute);
    // CharSet still holds what the previous message's header settled on.
    pending_ = {"This is a multipart MIME message.",
                "",
                "--" + boundary_,
                "Content-Type: " + ContentTypeText(ContentType) + "; charset=\"" + CharSet + "\"",
                "Content-Transfer-Encoding: 7bit",
                ""};
  }
  pending_.insert(pending_.end(), MailMessage.begin(), MailMessage.end());
  SmtpClientBase::Data();
}

void SmtpClient::PrepareHeaderLine(std::string& line) {
  if (boundary_.empty()) return;
  if (StartsWithIgnoreAsciiCase(line, "CONTENT-TYPE:")) {
    line = "Content-Type: multipart/mixed;\r\n\tboundary=\"" + boundary_ + "\"";
  }
}

void SmtpClient::TriggerGetData(int /*lineNum*/, std::string& msgLine, int maxLen, bool& more) {
  if (!pending_.empty()) {
    msgLine = pending_.front().substr(0, kMaxPendingLine);
    pending_.erase(pending_.begin());
    return;
  }
  if (askingCaller_) {
    ++bodyLine_;
    bool callerMore = true;
    std::string line;
    if (OnGetData) {
      OnGetData(*this, bodyLine_, line, maxLen, callerMore);
    } else {
      callerMore = false;
    }
    if (callerMore) {
      msgLine = line;
      return;
    }
    askingCaller_ = false;
  }
  if (encodingFile_) {
    NextAttachmentLine(msgLine);
    return;
  }
  if (fileIndex_ < emailFiles_.size()) {
    StartAttachment(msgLine);
    return;
  }
  more = false;
}

void SmtpClient::NextAttachmentLine(std::string& line) {
  char chunk[kAttachmentChunk];
  std::size_t want = fileRemaining_ < kAttachmentChunk ? static_cast<std::size_t>(fileRemaining_) : kAttachmentChunk;
  file_.read(chunk, static_cast<std::streamsize>(want));
  std::size_t got = static_cast<std::size_t>(file_.gcount());
  if (got != want) throw SmtpException("Cannot read '" + emailFiles_[fileIndex_] + "'");
  fileRemaining_ -= got;
  line = Base64Encode(std::string_view(chunk, got));
  if (fileRemaining_ == 0) {
    file_.close();
    encodingFile_ = false;
    ++fileIndex_;
    if (fileIndex_ >= emailFiles_.size()) {
      pending_.emplace_back();
      pending_.push_back("--" + boundary_ + "--");
    }
  }
}

void SmtpClient::StartAttachment(std::string& line) {
  line.clear();
  const std::string& path = emailFiles_[fileIndex_];
  file_ = std::ifstream(platform::NativePath(path), std::ios::binary | std::ios::ate);
  if (!file_) throw SmtpException("Cannot open '" + path + "'");
  auto size = file_.tellg();
  file_.seekg(0);
  if (size < 0 || !file_) throw SmtpException("Cannot read '" + path + "'");
  fileRemaining_ = static_cast<std::uint64_t>(size);
  std::string ownName = platform::ExtractFileName(path);
  std::string name = ownName;
  std::string contentType = "application/octet-stream";
  int number = static_cast<int>(fileIndex_);
  if (OnAttachContentType) OnAttachContentType(*this, number, name, contentType);
  pending_.push_back("--" + boundary_);
  pending_.push_back("Content-Type: " + contentType + ";");
  pending_.push_back("\tname=\"" + EncodeHeaderText(name) + "\"");
  pending_.push_back("Content-Transfer-Encoding: base64");
  pending_.push_back("Content-Disposition: attachment;");
  pending_.push_back("\tfilename=\"" + EncodeHeaderText(ownName) + "\"");
  if (OnAttachHeader) OnAttachHeader(*this, number, name, pending_);
  pending_.emplace_back();
  encodingFile_ = true;
}

}  // namespace mf
