#include "mail/PopBeforeSmtpLogin.h"

#include <exception>

#include "base/ShiftJis.h"
#include "mail/ClientFailure.h"
#include "settings/ClientSetup.h"
#include "settings/LiveSettings.h"

namespace mf {

PopBeforeSmtpLogin::PopBeforeSmtpLogin(platform::EventLoop& loop) : client_(loop) {
  client_.OnRequestDone = [this](TCustomPop3Cli&, TPop3Request type, std::uint16_t error) {
    RequestDone(type, error);
  };
  client_.OnSessionClosed = [this](TCustomPop3Cli&, std::uint16_t) { SessionClosed(); };
}

// The client may still report a closing connection while it goes.
PopBeforeSmtpLogin::~PopBeforeSmtpLogin() {
  client_.OnRequestDone = nullptr;
  client_.OnSessionClosed = nullptr;
}

void PopBeforeSmtpLogin::Start(const LiveSettings& settings) {
  settings_ = &settings;
  loginDone_ = false;
  ConfigurePop3Client(settings, client_);
  active_ = true;
  try {
    client_.Connect();
  } catch (...) {
    active_ = false;
    throw;
  }
}

void PopBeforeSmtpLogin::Abort() {
  active_ = false;
  if (client_.Connected() || client_.State() != pop3Ready) client_.Abort();
}

void PopBeforeSmtpLogin::RequestDone(TPop3Request type, std::uint16_t error) {
  if (!active_) return;
  switch (type) {
    case pop3Connect:
      if (error != 0 || !client_.Connected()) {
        Fail(ClientFailureText(error, client_.ErrorMessage(), client_.LastResponse(), "POP3サーバーに接続できません"));
        return;
      }
      try {
        client_.SetUserName(settings_->pop3User);
        client_.User();
      } catch (const std::exception&) {
        Fail(Sj("ユーザー名エラー"));
      }
      return;
    case pop3User:
      try {
        client_.SetPassWord(settings_->pop3Password);
        client_.Pass();
      } catch (const std::exception&) {
        Fail(Sj("パスワードエラー"));
      }
      return;
    case pop3Pass:
      loginDone_ = true;
      try {
        client_.Quit();
      } catch (const std::exception&) {
        Succeed();
      }
      return;
    case pop3Quit:
      if (loginDone_) {
        Succeed();
      } else {
        Fail(Sj("POP3サーバーとの接続がログインの途中で切れました"));
      }
      return;
    default:
      return;
  }
}

void PopBeforeSmtpLogin::SessionClosed() {
  if (active_ && !loginDone_) {
    Fail(ClientFailureText(0, std::string(), client_.LastResponse(), "POP3サーバーとの接続がログインの途中で切れました"));
  }
}

void PopBeforeSmtpLogin::Succeed() {
  active_ = false;
  if (OnLoggedIn) OnLoggedIn();
}

void PopBeforeSmtpLogin::Fail(const std::string& text) {
  active_ = false;
  if (OnFailed) OnFailed(text);
}

}  // namespace mf
