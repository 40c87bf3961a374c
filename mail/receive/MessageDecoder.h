#pragma once

#include <chrono>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoredMail.h"
#include "mime/MimeDecoder.h"

namespace mf {

// The X-Mailer value of mail written by this program.
inline constexpr std::string_view kThisMailer = "MofutanMail";

// A message decoded for the inbox, not yet stored: its attachments are
// already in their folder, its records are still to be appended.
struct DecodedMessage {
  ReceivedMail mail;             // text in Shift_JIS; characterId = the carried id until one is chosen
  std::string carriedId;         // the "X-CharacterID" value
  HeaderRecord header;           // status "未読", line 6 filled
  std::string attachmentFolder;  // the folder made for attachments, also for a lone package
  std::vector<std::string> shownAttachments;  // stored attachments other than a character package
  std::vector<std::string> packageFiles;      // stored character packages
  // Every attachment file is on disk already (each is synced as it is
  // closed); only the folders that name them are left to sync.
  bool attachmentsSynced = false;
};

enum class DecodeOutcome {
  Decoded,
  Rejected,    // no header, or a header that never ended: "無効なメール形式です"
  Unreadable,  // the file could not be read
  WriteError,  // an attachment could not be written; the message is not stored
};

// Decodes one message file with the MIME decoder into what the inbox keeps:
// the header values by the inbox's table, the text of the first text/plain
// part at any depth (else the first HTML part as plain text) converted to
// Shift_JIS, and every attachment (by disposition, file name or name, in
// any letter case, RFC 2231 names too) written under a safe, unique name
// into one new attachment folder. Used for received and imported files.
class MessageDecoder {
 public:
  // `footerLines` is what mail from this program ends with.
  MessageDecoder(const MailStore& store, RandomGenerator& random, const Clock& clock,
                 std::vector<std::string> footerLines);
  MessageDecoder(const MessageDecoder&) = delete;
  MessageDecoder& operator=(const MessageDecoder&) = delete;

  DecodeOutcome Decode(const std::string& path, DecodedMessage& result);

  // The same in steps, so that a huge message never holds the event loop
  // for long: Begin (false when the file cannot be opened: Unreadable),
  // then Continue until it gives the outcome. `result` must live until
  // then. Cancel drops a decoding begun; what it wrote stays in `result`'s
  // attachment folder for the caller to remove.
  bool Begin(const std::string& path, DecodedMessage& result);
  std::optional<DecodeOutcome> Continue(std::chrono::steady_clock::duration slice);
  void Cancel();

  // A folder for the attachments of the message being decoded was made in
  // the store folder; nothing is in it yet.
  std::function<void(const std::string& folder)> OnFolderMade;

 private:
  enum class Sink { None, Preamble, Text, Html, Attachment };

  DecodeOutcome Outcome();
  void MimeHeaderBegin();
  void MimeHeaderLine();
  void MimeHeaderEnd();
  void MimePartHeaderBegin();
  void MimePartHeaderLine();
  void MimePartHeaderEnd();
  void MimePartLine(const char* data, std::size_t length);
  void MimePartEnd();
  void MimeMessageEnd();

  // Decides what the part (or a single-part body) is from its header.
  void ChooseSink(const std::string& contentType, const std::string& charset, const std::string& disposition,
                  const std::string& decoderFileName, const std::vector<std::string>& fieldLines);
  void OpenAttachment(std::string name);
  void CloseAttachment();
  std::string FinalText() const;

  const MailStore& store_;
  RandomGenerator& random_;
  const Clock& clock_;
  std::vector<std::string> footerLines_;
  MimeDecoder mime_;

  DecodedMessage* message_ = nullptr;
  bool headerBegun_ = false;
  bool headerEnded_ = false;
  bool writeFailed_ = false;
  std::vector<std::string> messageFieldLines_;  // Content-Type and -Disposition of the message
  std::vector<std::string> partFieldLines_;
  Sink sink_ = Sink::None;
  bool inlineBlock_ = false;
  std::string preamble_;
  std::string text_, textCharset_;
  bool haveText_ = false;
  std::string html_, htmlCharset_;
  bool haveHtml_ = false;
  std::set<std::string> usedNames_;
  std::ofstream attachment_;
  std::string attachmentPath_;
};

}  // namespace mf
