#include "mail/send/PopBeforeSmtpLogin.h"

#include <exception>

#include "base/ShiftJis.h"
#include "mail/send/ClientFailure.h"
#include "net/TcpSocket.h"
#include "settings/ClientSetup.h"
#include "settings/LiveSettings.h"

namespace mf {

PopBeforeSmtpLogin::PopBeforeSmtpLogin(platform::EventLoop& loop) : client_(loop) {
  client_.OnRequestDone = [this](Pop3Client&, Pop3Request type, std::uint16_t error) {
    RequestDone(type, error);
  };
  client_.OnSessionClosed = [this](Pop3Client&, std::uint16_t error) { SessionClosed(error); };
}

// The client may still report a closing connection while it goes.
PopBeforeSmtpLogin::~PopBeforeSmtpLogin() {
  client_.OnRequestDone = nullptr;
  client_.OnSessionClosed = nullptr;
}

void PopBeforeSmtpLogin::Start(const LiveSettings& settings) {
  settings_ = &settings;
  loginDone_ = false;
  connected_ = false;
  ConfigurePop3Client(settings, client_);
  active_ = true;
  step_ = "greeting";
  try {
    client_.Connect();
  } catch (...) {
    active_ = false;
    throw;
  }
}

void PopBeforeSmtpLogin::Abort() {
  active_ = false;
  if (client_.Connected() || client_.State() != ClientState::Ready) client_.Abort();
}

void PopBeforeSmtpLogin::RequestDone(Pop3Request type, std::uint16_t error) {
  if (!active_) return;
  switch (type) {
    case Pop3Request::Connect:
      if (error != 0 || !client_.Connected()) {
        FailWith(error == 0 ? wsa::kInterrupted : error);
        return;
      }
      connected_ = true;
      try {
        client_.SetUserName(settings_->pop3User);
        step_ = "USER";
        client_.User();
      } catch (const std::exception&) {
        Fail(Sj("ユーザー名エラー"));
      }
      return;
    case Pop3Request::User:
      try {
        client_.SetPassWord(settings_->pop3Password);
        step_ = "PASS";
        client_.Pass();
      } catch (const std::exception&) {
        Fail(Sj("パスワードエラー"));
      }
      return;
    case Pop3Request::Pass:
      loginDone_ = true;
      step_ = "QUIT";
      try {
        client_.Quit();
      } catch (const std::exception&) {
        Succeed();
      }
      return;
    case Pop3Request::Quit:
      if (loginDone_) {
        Succeed();
      } else {
        FailWith(wsa::kInterrupted);
      }
      return;
    default:
      return;
  }
}

void PopBeforeSmtpLogin::SessionClosed(std::uint16_t error) {
  // Until the connection is made, its own completion says why it failed.
  if (active_ && connected_ && !loginDone_) FailWith(error != 0 ? error : wsa::kInterrupted);
}

void PopBeforeSmtpLogin::Succeed() {
  active_ = false;
  if (OnLoggedIn) OnLoggedIn();
}

void PopBeforeSmtpLogin::FailWith(int error) {
  // The greeting is in when a connect fails after it: at STLS.
  const bool greeted = IsTlsError(error) || client_.LastResponse().rfind("+OK", 0) == 0;
  const std::string step = step_ == "greeting" && greeted ? "STLS" : step_;
  Fail(Sj("POP before SMTPのログインができませんでした。") + "\r\n" +
       ServerFailureText(ServerFailure{"POP3", client_.Host(), client_.Port(), error, client_.ErrorMessage(),
                                       client_.LastResponse(), step}));
}

void PopBeforeSmtpLogin::Fail(const std::string& text) {
  active_ = false;
  if (OnFailed) OnFailed(text);
}

}  // namespace mf
