// The envelope, message transfer and session-ending requests of the SMTP client.
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

// What one round of the message transfer hands to the connection.
constexpr std::size_t kDataBatch = 32 * 1024;

}  // namespace

void SmtpClient::MailFrom() {
  ExecAsync(smtpMailFrom, "MAIL FROM:" + EnvelopeAddress(EnvelopeFrom), {250});
}

void SmtpClient::RcptTo() {
  CheckReady();
  CheckConnected();
  if (EnvelopeTo.empty()) throw SmtpException("No recipients");
  rcptIndex_ = 0;
  ExecAsync(smtpRcptTo, "RCPT TO:" + EnvelopeAddress(EnvelopeTo[0]), {250, 251}, [this] { NextRecipient(); });
}

// Every recipient is tried whatever the server said about the one before.
void SmtpClient::NextRecipient() {
  ++rcptIndex_;
  if (rcptIndex_ >= EnvelopeTo.size() || !connected_) return TriggerRequestDone(requestResult_);
  state_ = smtpInternalReady;
  ExecAsync(smtpRcptTo, "RCPT TO:" + EnvelopeAddress(EnvelopeTo[rcptIndex_]), {250, 251},
            [this] { NextRecipient(); });
}

void SmtpClient::Data() {
  CheckReady();
  CheckConnected();
  sendingData_ = false;
  ExecAsync(smtpData, "DATA", {354}, [this] { DataAccepted(); });
}

void SmtpClient::DataAccepted() {
  if (requestResult_ != 0) return TriggerRequestDone(requestResult_);
  sendingData_ = true;
  state_ = smtpInternalReady;
  SendNextDataLine();
}

// Lines go out in batches: the next batch is asked for only once the
// previous one has gone, so a large attachment never piles up in memory,
// and a batch is one write (one TLS record) rather than one per line.
void SmtpClient::SendNextDataLine() {
  std::string batch;
  while (sendingData_ && connected_ && batch.size() < kDataBatch) {
    std::string line;
    bool more = false;
    try {
      more = Message && Message(line);
    } catch (const std::exception& error) {
      return AbandonMessage(error.what());
    }
    if (!sendingData_ || !connected_) return;  // the source gave up the session
    if (!more) {
      sendingData_ = false;
      if (!batch.empty()) session_.Send(batch);
      ExecAsync(smtpData, ".", {250});
      return;
    }
    if (!line.empty() && line[0] == '.') line = "." + line;  // RFC 5321 transparency
    Display("> " + line);
    batch += line;
    batch += "\r\n";
  }
  if (!batch.empty() && connected_) session_.Send(batch);
}

// A body that cannot be produced to its end must not reach anyone: the
// final "." would make the server take the part sent so far for the whole
// mail. Dropping the connection makes it throw the message away.
void SmtpClient::AbandonMessage(const std::string& why) {
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

void SmtpClient::SocketDataSent() {
  if (!requestDone_) ArmTimeout();
  if (sendingData_) SendNextDataLine();
}

void SmtpClient::Quit() {
  CheckReady();
  if (!connected_) {
    BeginRequest(smtpQuit);
    TriggerRequestDone(0);
    return;
  }
  ExecAsync(smtpQuit, "QUIT", {221});
}

void SmtpClient::Rset() { ExecAsync(smtpRset, "RSET", {250}); }

void SmtpClient::Abort() {
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
