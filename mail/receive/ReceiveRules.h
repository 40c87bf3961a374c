#pragma once

#include <string>
#include <string_view>

namespace mf {

// The three receive switches of the settings.
struct ReceiveSwitches {
  bool leaveOnServer = false;       // "サーバーにメールを残す"
  bool leaveOtherMailers = false;   // leave mail from other programs on the server
  bool onlyFromThisMailer = false;  // receive only mail written by this program
};

// Whether a fetched message goes into the inbox: with the switch to receive
// only this program's mail, other mail is neither stored nor deleted.
bool KeepLocally(const ReceiveSwitches& switches, bool fromThisMailer);

// Whether a fetched message is deleted on the server.
bool DeleteOnServer(const ReceiveSwitches& switches, bool fromThisMailer);

// Watches the header lines of a message as they are fetched for the
// X-Mailer that marks mail from this program. Only the exact field name
// "X-Mailer:" counts; the first such line, or the end of the header, decides.
class XMailerProbe {
 public:
  void Reset() { decided_ = fromThisMailer_ = false; }
  void Line(std::string_view line);
  bool FromThisMailer() const { return fromThisMailer_; }

 private:
  bool decided_ = false;
  bool fromThisMailer_ = false;
};

}  // namespace mf
