#pragma once

#include <cstdint>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "mail/send/Recipients.h"

namespace mf {

// The header of one outgoing mail, texts in the program's Shift_JIS.
struct MessageFields {
  std::string from;  // the sender's address
  std::string fromName;
  std::vector<Recipient> to;
  std::vector<Recipient> cc;
  std::string subject;
  // Mail written by this program carries X-Mailer and always names its
  // character in X-CharacterID, even none; without X-Mailer neither line.
  std::string xMailer;
  std::string characterId;
  std::string messageId;
  std::string inReplyTo;
  std::string references;
  DateTime date;  // of the Date line and the multipart boundary
};

// The lines of one mail as they go out between DATA and the final dot,
// without their CR LF: the header, the text, and with files a multipart body
// whose attachments are Base64-encoded a line at a time as they are asked
// for, so a large file is never held whole. A header line may carry its
// own folds (CR LF and a blank inside).
class MessageBuilder {
 public:
  // The longest text line handed on; a longer one is cut.
  static constexpr std::size_t kMaxTextLine = 1023;

  // `textLines` are the wire lines of the text (already converted);
  // `files` the attachments in order, blank entries skipped. A file that
  // does not exist throws std::runtime_error ("File not found '...'").
  MessageBuilder(const MessageFields& fields, const std::vector<std::string>& textLines,
                 const std::vector<std::string>& files);

  // The next line, false after the last. Throws std::runtime_error when an
  // attachment can no longer be read: the mail cannot be given whole.
  bool NextLine(std::string& line);

 private:
  void StartAttachment();
  std::string NextAttachmentLine();
  void Queue(std::string line);

  std::vector<std::string> files_;
  std::string boundary_;
  std::deque<std::string> pending_;
  std::size_t fileIndex_ = 0;
  std::ifstream file_;
  std::uint64_t fileRemaining_ = 0;
  bool encodingFile_ = false;
};

// The header lines alone, ending in the blank line; with a boundary the
// Content-Type announces the multipart body.
std::vector<std::string> MessageHeaderLines(const MessageFields& fields, const std::string& boundary);

}  // namespace mf
