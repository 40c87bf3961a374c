#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "mail/Composition.h"
#include "mail/MailStore.h"
#include "mail/OutgoingSmtp.h"
#include "net/Pop3Cli.h"
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
  // settings (empty: 25 and 110). A file that no longer
  // exists ends the attempt through OnFailed with "File not found '...'"
  // before any server is contacted.
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
  // ended. `text` (Shift_JIS) says what went wrong: a server's reply, a
  // socket error, or "File not found '...'". No OnClosed follows.
  std::function<void(const std::string& text)> OnFailed;
  // The SMTP session of a sent mail is over: the window hides the progress
  // window, enables sending again and closes with OK.
  std::function<void()> OnClosed;

  // The clients, for tests that watch the protocol and for the progress
  // window's display.
  TSmtpCli& Smtp();
  TPop3Cli& PopBeforeSmtp();

 private:
  void MailAccepted();

  const LiveSettings& settings_;
  const MailStore& store_;
  const Clock& clock_;
  RandomGenerator& random_;
  OutgoingSmtp session_;
  Composition mail_;
};

}  // namespace mf
