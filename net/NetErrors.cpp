#include "net/NetErrors.h"

#include "base/ShiftJis.h"
#include "net/TcpSocket.h"

namespace mf {

namespace {

struct ErrorText {
  int error;
  const char* english;
  const char* japanese;  // UTF-8 here, Shift_JIS once returned
};

constexpr ErrorText kTexts[] = {
    {tls::kUntrusted, "Server certificate is not issued by a trusted authority",
     "サーバーの証明書は信頼できる認証局が発行したものではありません。"},
    {tls::kExpired, "Server certificate has expired or is not yet valid",
     "サーバーの証明書の有効期限が切れているか、まだ有効になっていません。"},
    {tls::kWrongHost, "Server certificate is for another host name",
     "サーバーの証明書は別のホスト名のものです。サーバー名を確かめてください。"},
    {tls::kBadCertificate, "Server certificate cannot be accepted", "サーバーの証明書を受け入れられません。"},
    {tls::kHandshakeFailed, "TLS handshake failed", "サーバーと暗号化の取り決めができませんでした。"},
    {tls::kClosedInHandshake, "Connection closed during the TLS handshake",
     "暗号化の取り決めの途中でサーバーが接続を切りました。"},
    {tls::kNotOffered, "Server does not offer STARTTLS",
     "サーバーがSTARTTLSに対応していないため、暗号化できません。セキュリティの設定を確かめてください。"},
    {tls::kStreamBroken, "Encrypted data could not be read", "暗号化されたデータを読めませんでした。"},
    {tls::kSetupFailed, "TLS could not be prepared", "暗号化の準備ができませんでした。"},
    {tls::kNoAuthMechanism, "Server offers no log-in method that may be used on this connection",
     "サーバーが、この接続で使えるログイン方式を提供していません。"},
    {530, nullptr, "SMTPサーバーがログインを求めています。SMTP認証の設定を確かめてください。"},
    {534, nullptr, "SMTPサーバーがこのログイン方式を受け付けません。"},
    {535, nullptr, "SMTPサーバーへのログインに失敗しました。ユーザー名とパスワードを確かめてください。"},
    {538, nullptr, "SMTPサーバーが暗号化された接続でのログインを求めています。"},
    {wsa::kTimedOut, nullptr, "サーバーから応答がありません。"},
    {wsa::kConnectionRefused, nullptr, "サーバーに接続できません。サーバー名とポートを確かめてください。"},
    {wsa::kHostNotFound, nullptr, "サーバーが見つかりません。サーバー名を確かめてください。"},
};

const ErrorText* Find(int error) {
  for (const auto& entry : kTexts) {
    if (entry.error == error) return &entry;
  }
  return nullptr;
}

}  // namespace

bool IsTlsError(int error) { return error >= tls::kUntrusted && error <= tls::kNoAuthMechanism; }

std::string NetErrorText(int error) {
  const ErrorText* entry = Find(error);
  if (entry != nullptr && entry->english != nullptr) return entry->english;
  return SocketErrorText(error);
}

std::string NetErrorTextJa(int error) {
  const ErrorText* entry = Find(error);
  return entry != nullptr ? Sj(entry->japanese) : std::string();
}

std::string NetErrorResponse(const std::string& prefix, int error) {
  const char* kind = IsTlsError(error) ? " (TLS error #" : " (socket error #";
  return prefix + NetErrorText(error) + kind + std::to_string(error) + ")";
}

}  // namespace mf
