#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
  std::size_t index = 0;  // its record index in the outbox
};

// What the user is told when a run stopped at a mail that stays in the
// outbox (Shift_JIS).
std::string OutboxFailureText(const SendingFailure& failure);

// Reads the first outbox mail that waits to be sent, skipping those marked
// "送信不明"; nothing when there is none.
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
//
// Before a mail's final "." goes, its status becomes "送信不明"; the
// server's answer turns it into a sent mail or back into "送信待ち". So a
// mail whose answer never came, because the connection or the program died
// in between, stays marked in the outbox, and no later run sends it twice.
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
  // Named points of a run, for tests that stop the program there: "data"
  // (a mail's body under way), "dot" (the mail marked, its "." not yet
  // sent), "accepted" (the server took it; it is not yet filed), "filed"
  // (it is in the sent folder).
  std::function<void(std::string_view point)> OnCheckpoint;

  SmtpClient& Smtp() { return session_.Client(); }
  Pop3Client& PopBeforeSmtp() { return session_.PopClient(); }

 private:
  bool PrepareNext();
  void MailAccepted();
  std::string MarkUnconfirmed();
  void AttemptFailed(const SendingFailure& failure);
  void Checkpoint(std::string_view point);

  const LiveSettings& settings_;
  const MailStore& store_;
  const Clock& clock_;
  OutgoingSmtp session_;
  OutboxMail mail_;
  bool stuck_ = false;   // a mail the server took could not leave the outbox
  bool marked_ = false;  // the mail being sent is "送信不明"
};

}  // namespace mf
