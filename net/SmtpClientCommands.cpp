// The envelope, message transfer and session-ending requests of the SMTP client.
#include <algorithm>

#include "base/Text.h"
#include "net/SmtpClient.h"

namespace mf {

namespace {

// "<address>" unless the text already brings its own angle brackets.
std::string EnvelopeAddress(const std::string& text) {
  std::string trimmed = Trim(text);
  if (text.find('<') != std::string::npos && text.find('>') != std::string::npos) return trimmed;
  return "<" + trimmed + ">";
}

// The longest body line a server must accept (RFC 821: 1000 with CR LF;
// the buffer handed to the producer holds 1023).
constexpr int kMaxBodyLine = 1023;
constexpr int kHeaderLineBuffer = 1024;
// What one round of the message transfer hands to the connection.
constexpr std::size_t kDataBatch = 32 * 1024;

}  // namespace

void SmtpClientBase::MailFrom() {
  ExecAsync(smtpMailFrom, "MAIL FROM:" + EnvelopeAddress(FromName), {250});
}

void SmtpClientBase::RcptTo() {
  CheckReady();
  CheckConnected();
  if (RcptName.empty()) throw SmtpException("RcptName list is empty");
  rcptIndex_ = 0;
  ExecAsync(smtpRcptTo, "RCPT TO:" + EnvelopeAddress(RcptName[0]), {250, 251}, [this] { NextRecipient(); });
}

// Every recipient is tried whatever the server said about the one before.
void SmtpClientBase::NextRecipient() {
  ++rcptIndex_;
  if (rcptIndex_ >= RcptName.size() || !connected_) return TriggerRequestDone(requestResult_);
  state_ = smtpInternalReady;
  ExecAsync(smtpRcptTo, "RCPT TO:" + EnvelopeAddress(RcptName[rcptIndex_]), {250, 251},
            [this] { NextRecipient(); });
}

// One VRFY per list, each after the reply to the one before; the first
// refusal ends the request.
void SmtpClientBase::Vrfy() {
  CheckReady();
  CheckConnected();
  vrfyLists_.clear();
  for (const auto& list : {ListText(HdrToAddress, HdrRcptName), ListText(HdrCcAddress, HdrCcName),
                           ListText(RcptToAddress, RcptToName)}) {
    if (!list.empty()) vrfyLists_.push_back(list);
  }
  if (vrfyLists_.empty()) vrfyLists_.emplace_back();
  vrfyIndex_ = 0;
  ExecAsync(smtpVrfy, "VRFY " + vrfyLists_[0], {250}, [this] { NextVrfy(); });
}

void SmtpClientBase::NextVrfy() {
  ++vrfyIndex_;
  if (requestResult_ != 0 || vrfyIndex_ >= vrfyLists_.size() || !connected_) {
    return TriggerRequestDone(requestResult_);
  }
  state_ = smtpInternalReady;
  ExecAsync(smtpVrfy, "VRFY " + vrfyLists_[vrfyIndex_], {250}, [this] { NextVrfy(); });
}

void SmtpClientBase::Data() {
  CheckReady();
  CheckConnected();
  hdrLines_.clear();
  if (!OwnHeaders) hdrLines_ = BuildHeaderLines();
  hdrIndex_ = 0;
  lineNum_ = 0;
  sendingData_ = false;
  ExecAsync(smtpData, "DATA", {354}, [this] { DataAccepted(); });
}

void SmtpClientBase::DataAccepted() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  sendingData_ = true;
  state_ = smtpInternalReady;
  SendNextDataLine();
}

// Lines go out in batches: the next batch is produced only once the
// previous one has gone, so a large attachment never piles up in memory,
// and a batch is one write (one TLS record) rather than one per line.
void SmtpClientBase::SendNextDataLine() {
  std::string batch;
  while (sendingData_ && connected_ && batch.size() < kDataBatch) {
    if (hdrIndex_ < hdrLines_.size()) {
      std::string line = hdrLines_[hdrIndex_++];
      PrepareHeaderLine(line);
      if (OnHeaderLine) {
        OnHeaderLine(*this, line, std::max<int>(kHeaderLineBuffer, static_cast<int>(line.size()) + 1));
      }
      Display("> " + line);
      batch += line;
      batch += "\r\n";
      continue;
    }
    ++lineNum_;
    std::string line;
    bool more = true;
    try {
      TriggerGetData(lineNum_, line, kMaxBodyLine, more);
    } catch (const std::exception& error) {
      return AbandonMessage(error.what());
    }
    if (!sendingData_ || !connected_) return;  // the producer gave up the session
    if (!more) {
      sendingData_ = false;
      if (!batch.empty()) session_.Send(batch);
      ExecAsync(smtpData, ".", {250});
      return;
    }
    if (line.size() > static_cast<std::size_t>(kMaxBodyLine)) line.resize(kMaxBodyLine);
    if (!line.empty() && line[0] == '.') line = "." + line;  // RFC 821 transparency
    Display("> " + line);
    batch += line;
    batch += "\r\n";
  }
  if (!batch.empty() && connected_) session_.Send(batch);
}

// A body that cannot be produced to its end must not reach anyone: the
// final "." would make the server take the part sent so far for the whole
// mail. Dropping the connection makes it throw the message away.
void SmtpClientBase::AbandonMessage(const std::string& why) {
  sendingData_ = false;
  lastResponse_ = "500 " + why;
  statusCode_ = 500;
  requestResult_ = 500;
  errorMessage_ = lastResponse_;
  Display("< " + lastResponse_);
  if (chaining_) pendingSteps_ = 0;
  TriggerRequestDone(500);
  session_.Abort();
}

void SmtpClientBase::SocketDataSent() {
  if (!requestDone_) ArmTimeout();
  if (sendingData_) SendNextDataLine();
}

void SmtpClientBase::TriggerGetData(int lineNum, std::string& msgLine, int maxLen, bool& more) {
  if (!OnGetData) {
    more = false;
    return;
  }
  OnGetData(*this, lineNum, msgLine, maxLen, more);
}

void SmtpClientBase::Quit() {
  CheckReady();
  if (!connected_) {
    BeginRequest(smtpQuit);
    TriggerRequestDone(0);
    return;
  }
  ExecAsync(smtpQuit, "QUIT", {221});
}

void SmtpClientBase::Rset() { ExecAsync(smtpRset, "RSET", {250}); }

void SmtpClientBase::Abort() {
  state_ = smtpAbort;
  sendingData_ = false;
  session_.CancelLookup();
  session_.Abort();
  connected_ = false;
  // A request waiting on nothing the socket could report ends here too.
  if (!requestDone_ && !chaining_) TriggerRequestDone(wsa::kInterrupted);
  StopTimeout();
  state_ = smtpReady;
}

}  // namespace mf
