#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/send/MessageBuilder.h"
#include "mail/send/PopBeforeSmtpLogin.h"
#include "net/SmtpClient.h"
#include "platform/EventLoop.h"

namespace mf {

class LiveSettings;

// One mail as it goes out: the texts as the user wrote or stored them.
struct OutgoingMessage {
  std::string to;  // recipient lists as typed
  std::string cc;
  std::string subject;
  std::string characterId;
  std::string inReplyTo;
  std::string references;
  std::vector<std::string> files;  // attachments, the package included
  std::string text;                // without the footer
  DateTime date;                   // of the Message-ID
};

// Why an attempt ended without the mail going out.
struct SendingFailure {
  std::string text;  // for the user (Shift_JIS): what failed, the server named
  // The connection ended after the whole mail, final "." included, was
  // handed over and before the server answered it: the server may have
  // taken it (RFC 5321 section 4.1.1.4), so sending it again may deliver
  // it twice.
  bool maybeDelivered = false;
};

// What the user is told of a mail that may have arrived (Shift_JIS).
std::string MaybeDeliveredText();
// What the user is told of a mail kept in the outbox as "送信不明": it may
// have arrived, so it is not sent again unless the user says so (Shift_JIS).
std::string UnconfirmedMailText();

// One sending attempt, the same for a mail sent at once and for the whole
// outbox: the optional POP-before-SMTP login, then the SMTP session —
// connect, HELO, MAIL with the headers and recipients of one mail and its
// body with the footer in wire lines, HELO and MAIL again for each further
// mail, and QUIT. OnAccepted comes from the client's callback, so that the
// sender files the mail before anything else happens; OnFailed and OnClosed
// are posted on the event loop, never inside the call that caused them,
// and end the attempt.
class OutgoingSmtp {
 public:
  // The Date line and the multipart boundary read `clock` as the mail goes out.
  OutgoingSmtp(platform::EventLoop& loop, const Clock& clock, RandomGenerator& random);
  ~OutgoingSmtp();
  OutgoingSmtp(const OutgoingSmtp&) = delete;
  OutgoingSmtp& operator=(const OutgoingSmtp&) = delete;

  // An attempt runs, from Start (or Fail) until its last event.
  bool Busy() const { return phase_ != Phase::Idle || smtp_.Connected() || popLogin_.Busy(); }
  // Starts an attempt with the server, port, security, log-in and sender
  // the settings hold now, and sends `first`.
  void Start(const LiveSettings& settings, OutgoingMessage first);
  // From OnAccepted: the next mail over the same session.
  void Send(OutgoingMessage next);
  // From OnAccepted: the last mail is sent; QUIT, then OnClosed.
  void Quit();
  // Ends the attempt with `text` for the user (Shift_JIS), as a refusal of
  // the server would.
  void Fail(const std::string& text);
  void Fail(SendingFailure failure);
  // Ends the attempt at once, without further events.
  void Abort();
  // Posts an event of the running attempt; dropped when Abort ended it.
  void Post(std::function<void()> event);

  // The Message-ID of the mail last sent, with brackets, as on the wire.
  const std::string& MessageId() const { return messageId_; }
  const std::string& SenderAddress() const { return senderAddress_; }
  SmtpClient& Client() { return smtp_; }
  Pop3Client& PopClient() { return popLogin_.Client(); }

  std::function<void()> OnAccepted;                      // the server took the mail
  // The mail's last line is handed over; the "." that ends it goes right
  // after this returns empty. Else it never goes and the attempt fails
  // with the text returned (Shift_JIS).
  std::function<std::string()> OnFinalDot;
  // The session enters a step (ServerFailure::step: "greeting", "MAIL
  // FROM", "body", ...), before its command goes out.
  std::function<void(std::string_view step)> OnStep;
  std::function<void(const SendingFailure& failure)> OnFailed;
  std::function<void()> OnClosed;                        // the session after the last mail is over

 private:
  enum class Phase {
    Idle,
    PopLogin,  // POP before SMTP: connect, USER, PASS, QUIT
    Smtp,      // connect or HELO, then MAIL (MAIL FROM, RCPT TO, DATA)
    Quitting,  // the last mail is sent; QUIT and the close are awaited
    Ending,    // the final event is posted; the clients are no longer heard
  };

  void SendMessage();
  void RequestDone(SmtpRequest type, std::uint16_t error);
  void FillMessage();
  void FinishClosed();
  void EnterStep(std::string step);

  platform::EventLoop& loop_;
  platform::LifetimeGuard guard_;
  const Clock& clock_;
  RandomGenerator& random_;
  SmtpClient smtp_;
  PopBeforeSmtpLogin popLogin_;
  Phase phase_ = Phase::Idle;
  unsigned attempt_ = 0;  // counts attempts, so an aborted one's events are dropped
  std::string senderAddress_;
  std::string senderName_;
  std::string host_;
  OutgoingMessage message_;
  std::string messageId_;
  std::unique_ptr<MessageBuilder> builder_;
  bool finalDotSent_ = false;  // the mail's last line went; only the answer is awaited
  std::string step_;           // of the session, for the user's text (ServerFailure::step)
  std::string withheldDot_;    // why OnFinalDot kept the "." back
};

// "宛先が指定されていません", the text for a blank recipient list.
const std::string& NoRecipientText();

}  // namespace mf
