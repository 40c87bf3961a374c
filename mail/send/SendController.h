#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/send/Composition.h"
#include "mail/send/OutgoingSmtp.h"
#include "mail/store/MailStore.h"
#include "net/Pop3Client.h"
#include "platform/EventLoop.h"

namespace mf {

class LiveSettings;

// What the composition window learns when a mail went out.
struct SentMail {
  std::string messageId;    // as it went out on the wire, with brackets
  std::string characterId;  // the carrying character, or empty
  bool replyMode = false;
  std::size_t replyIndex = 0;
  bool reEditMode = false;
  // Empty when the sent records were written whole; else what went wrong.
  std::string filingError;
};

// Why a mail did not go out, and where it is now.
struct SendFailure {
  std::string reason;  // what went wrong (Shift_JIS): the server and port, its reply, a missing file
  // The mail waits in the outbox as "後で送る" files it, its answered mail
  // marked; the carrying character stays.
  bool keptInOutbox = false;
  // The connection ended after the whole mail was handed over and before
  // the server answered: it may have arrived.
  bool maybeDelivered = false;
  // Not kept: the files that no longer exist (nothing was sent), or why
  // filing it in the outbox failed. The window then keeps the mail open.
  std::vector<std::string> missingFiles;
  std::string filingError;
  bool replyMode = false;
  bool reEditMode = false;
};

// The message for the user (Shift_JIS): what failed, then where the mail is.
std::string SendFailureText(const SendFailure& failure);

// How a SendNow call went.
enum class SendStart {
  Started,      // the attempt runs; it ends with OnFailed or with OnSent and OnClosed
  Busy,         // another attempt of this controller runs; nothing happened
  NoRecipient,  // the To text is blank: the window says "宛先が指定されていません"
};

// Sends a composed mail ("送る") or files it in the outbox ("後で送る"). The
// composition window and mftool drive it; it reads the account from the
// live settings when an attempt starts, talks to the servers through its own
// SMTP client and POP-before-SMTP client, writes the store and reports
// through its events, each delivered from the event loop, never inside the
// call that started the attempt.
class SendController {
 public:
  SendController(platform::EventLoop& loop, const LiveSettings& settings, const MailStore& store,
                 const Clock& clock, RandomGenerator& random);
  ~SendController();
  SendController(const SendController&) = delete;
  SendController& operator=(const SendController&) = delete;

  // Starts sending `mail`: the optional POP-before-SMTP login, then the SMTP
  // session (connect, HELO, MAIL, RCPT, DATA, QUIT), on the ports of the
  // settings (empty: 25 and 110). A written mail is never lost: when the
  // attempt fails before the server took the mail, the mail is filed in the
  // outbox as SendLater files it, and OnFailed says so. A file that no
  // longer exists ends the attempt before any server is contacted; the mail
  // is not filed then (it would go without the file), and OnFailed names
  // the file.
  SendStart SendNow(const Composition& mail);

  // Files `mail` in the outbox with copies of its files and marks an
  // answered inbox mail; false with the text for the user when the To text
  // is blank or a file cannot be copied (nothing is written then).
  bool SendLater(const Composition& mail, std::string& error);

  // Ends every session of the attempt at once, without further events; the
  // common error routine calls it.
  void Abort();
  // An attempt runs (from SendNow until OnFailed or OnClosed).
  bool Busy() const;

  // The mail was accepted by the server and its sent records are written;
  // the window lets the carrier depart and reloads its lists.
  std::function<void(const SentMail& sent)> OnSent;
  // The attempt ended without the mail going out; its sessions are already
  // ended and the mail is kept where `failure` says. No OnClosed follows.
  std::function<void(const SendFailure& failure)> OnFailed;
  // The SMTP session of a sent mail is over: the window hides the progress
  // window, enables sending again and closes with OK.
  std::function<void()> OnClosed;

  // The clients, for tests that watch the protocol and for the progress
  // window's display.
  SmtpClient& Smtp();
  Pop3Client& PopBeforeSmtp();

 private:
  void MailAccepted();
  void AttemptFailed(const SendingFailure& failure);

  const LiveSettings& settings_;
  const MailStore& store_;
  const Clock& clock_;
  RandomGenerator& random_;
  OutgoingSmtp session_;
  Composition mail_;
  std::vector<std::string> missingFiles_;  // of the mail being sent
  bool accepted_ = false;                  // the server took the mail being sent
};

}  // namespace mf
