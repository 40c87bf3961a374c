#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/send/OutgoingSmtp.h"
#include "mail/store/MailStore.h"
#include "net/Pop3Client.h"
#include "platform/EventLoop.h"

namespace mf {

class LiveSettings;

// The first outbox mail as it goes out: its files are those that still
// exist, its text is without its trailing line ends.
struct OutboxMail : OutgoingMessage {
  std::vector<std::string> missingFiles;  // attachment files that vanished since the mail was queued
  std::string messageId;
};

// What the user is told when a run stopped at a mail that stays in the
// outbox (Shift_JIS).
std::string OutboxFailureText(const SendingFailure& failure);

// Reads the first outbox mail; nothing when the outbox is empty.
std::optional<OutboxMail> PrepareOutboxMail(const MailStore& store);

// What the mail list window learns of each mail that went out.
struct OutboxSent {
  std::string subject;
  std::string messageId;
  std::string characterId;
  std::vector<std::string> missingFiles;  // the user is told these were left behind
};

// Sends every mail of the outbox ("送信") over one SMTP session, after an
// optional POP-before-SMTP login: HELO and MAIL for each mail, which then
// moves to the sent folder with the Message-ID it went out with, and one
// QUIT at the end. Events come from the event loop, never inside Start.
class OutboxSender {
 public:
  OutboxSender(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
               const Clock& clock, RandomGenerator& random);
  ~OutboxSender();
  OutboxSender(const OutboxSender&) = delete;
  OutboxSender& operator=(const OutboxSender&) = delete;

  // Starts a run; false (and nothing happens) while one runs or when the
  // outbox is empty.
  bool Start();
  // Ends the sessions at once, without further events (the common error routine).
  void Abort();
  bool Busy() const { return session_.Busy(); }

  // A mail was accepted and is in the sent folder.
  std::function<void(const OutboxSent& sent)> OnSent;
  // The run stopped: the mail being sent stays first in the outbox (unless
  // it was accepted and could not be moved), and `text` (Shift_JIS) says
  // what failed and where the mail is. No OnClosed follows.
  std::function<void(const std::string& text)> OnFailed;
  // The outbox is empty and the session is over.
  std::function<void()> OnClosed;

  SmtpClient& Smtp() { return session_.Client(); }
  Pop3Client& PopBeforeSmtp() { return session_.PopClient(); }

 private:
  bool PrepareNext();
  void MailAccepted();

  const LiveSettings& settings_;
  const MailStore& store_;
  const Clock& clock_;
  OutgoingSmtp session_;
  OutboxMail mail_;
  bool stuck_ = false;  // a mail the server took could not leave the outbox
};

}  // namespace mf
