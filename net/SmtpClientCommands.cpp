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
  ExecAsync(SmtpRequest::MailFrom, "MAIL FROM:" + EnvelopeAddress(EnvelopeFrom), {250});
}

void SmtpClient::RcptTo() {
  engine_.CheckReady();
  engine_.CheckConnected();
  if (EnvelopeTo.empty()) throw SmtpException("No recipients");
  rcptIndex_ = 0;
  ExecAsync(SmtpRequest::RcptTo, "RCPT TO:" + EnvelopeAddress(EnvelopeTo[0]), {250, 251}, Phase::Recipient);
}

// Every recipient is tried whatever the server said about the one before.
void SmtpClient::NextRecipient() {
  ++rcptIndex_;
  if (rcptIndex_ >= EnvelopeTo.size() || !engine_.connected) return engine_.Complete(engine_.result);
  engine_.SetState(ClientState::InternalReady);
  ExecAsync(SmtpRequest::RcptTo, "RCPT TO:" + EnvelopeAddress(EnvelopeTo[rcptIndex_]), {250, 251}, Phase::Recipient);
}

void SmtpClient::Data() {
  engine_.CheckReady();
  engine_.CheckConnected();
  sendingData_ = false;
  ExecAsync(SmtpRequest::Data, "DATA", {354}, Phase::Data);
}

void SmtpClient::DataAccepted() {
  if (engine_.result != 0) return engine_.Complete(engine_.result);
  sendingData_ = true;
  engine_.SetState(ClientState::InternalReady);
  SendNextDataLine();
}

// Lines go out in batches: the next batch is asked for only once the
// previous one has gone, so a large attachment never piles up in memory,
// and a batch is one write (one TLS record) rather than one per line.
void SmtpClient::SendNextDataLine() {
  std::string batch;
  while (sendingData_ && engine_.connected && batch.size() < kDataBatch) {
    std::string line;
    bool more = false;
    try {
      more = Message && Message(line);
    } catch (const std::exception& error) {
      return AbandonMessage(error.what());
    }
    if (!sendingData_ || !engine_.connected) return;  // the source gave up the session
    if (!more) {
      sendingData_ = false;
      if (!batch.empty()) session_.Send(batch);
      ExecAsync(SmtpRequest::Data, ".", {250});
      return;
    }
    if (!line.empty() && line[0] == '.') line = "." + line;  // RFC 5321 transparency
    engine_.Display("> " + line);
    batch += line;
    batch += "\r\n";
  }
  if (!batch.empty() && engine_.connected) session_.Send(batch);
}

// A body that cannot be produced to its end must not reach anyone: the
// final "." would make the server take the part sent so far for the whole
// mail. Dropping the connection makes it throw the message away.
void SmtpClient::AbandonMessage(const std::string& why) {
  sendingData_ = false;
  engine_.lastResponse = "500 " + why;
  engine_.statusCode = 500;
  engine_.result = 500;
  engine_.errorMessage = engine_.lastResponse;
  engine_.Display("< " + engine_.lastResponse);
  engine_.GiveUp(500);
  session_.Abort();
}

void SmtpClient::SocketDataSent() {
  if (!engine_.Done()) ArmTimeout();
  if (sendingData_) SendNextDataLine();
}

void SmtpClient::Quit() {
  engine_.CheckReady();
  if (!engine_.connected) {
    engine_.Begin(SmtpRequest::Quit);
    engine_.Complete(0);
    return;
  }
  ExecAsync(SmtpRequest::Quit, "QUIT", {221});
}

void SmtpClient::Rset() { ExecAsync(SmtpRequest::Rset, "RSET", {250}); }

void SmtpClient::Abort() {
  sendingData_ = false;
  engine_.Abort();
}

}  // namespace mf
