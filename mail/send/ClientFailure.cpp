#include "mail/send/ClientFailure.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "base/ShiftJis.h"
#include "net/NetErrors.h"
#include "net/TcpSocket.h"

namespace mf {

namespace {

// "SMTPサーバー mail.example.jp"
std::string Server(const ServerFailure& failure) {
  std::string text = std::string(failure.serverKind) + Sj("サーバー");
  if (!failure.host.empty()) text += " " + failure.host;
  return text;
}

// "SMTPサーバー mail.example.jp（ポート 25）"
std::string ServerAndPort(const ServerFailure& failure) {
  return Server(failure) + Sj("（ポート ") + failure.port + Sj("）");
}

// A line a server wrote: three digits, then a blank, a hyphen or nothing.
bool IsServerReply(const std::string& line) {
  if (line.size() < 3) return false;
  for (int i = 0; i < 3; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(line[static_cast<std::size_t>(i)]))) return false;
  }
  return line.size() == 3 || line[3] == ' ' || line[3] == '-';
}

// A server's refusal: a reply of the 4xx or 5xx kinds. The client words
// its own failures as replies too ("500 ... (socket error #10054)").
bool IsRefusal(const std::string& line) {
  return IsServerReply(line) && (line[0] == '4' || line[0] == '5') && line.find(" error #") == std::string::npos;
}

// A POP3 server refuses with "-ERR" and its reason (RFC 1939 section 3).
bool IsPop3Refusal(const std::string& line) { return line.rfind("-ERR", 0) == 0; }

// The server's own words, when it gave some reason.
std::string QuotedReply(const ServerFailure& failure) {
  for (const std::string* line : {&failure.errorMessage, &failure.lastResponse}) {
    if (IsRefusal(*line) || IsPop3Refusal(*line)) return "\r\n" + Sj("サーバーの応答: ") + *line;
  }
  return {};
}

bool IsLookupFailure(int error) { return error >= wsa::kHostNotFound && error <= wsa::kNoData; }

// The client gives up a mail whose attachment it cannot read with words of
// its own in a made-up reply ("500 Cannot open '...'"): they are no
// server's.
bool IsUnreadableAttachment(const std::string& message) {
  for (const char* start : {"500 File not found '", "500 Cannot open '", "500 Cannot read '"}) {
    if (message.rfind(start, 0) == 0) return true;
  }
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// The failure without its step.
std::string FailureText(const ServerFailure& failure) {
  const int error = failure.error;
  if (IsLookupFailure(error)) {
    return std::string(failure.serverKind) + Sj("サーバー「") + failure.host +
           Sj("」が見つかりません。サーバー名を確かめてください。");
  }
  switch (error) {
    case wsa::kConnectionRefused:
      return Server(failure) + Sj(" のポート ") + failure.port +
             Sj(" に接続できません（接続を拒否されました）。サーバー名とポート番号を確かめてください。");
    case wsa::kHostUnreachable:
    case wsa::kNetworkUnreachable:
    case wsa::kNetworkDown:
      return Server(failure) + Sj(" のポート ") + failure.port +
             Sj(" に接続できません（ネットワークが届きません）。");
    case wsa::kTimedOut:
      return ServerAndPort(failure) + Sj(" から応答がありません。");
    default:
      break;
  }
  if (IsTlsError(error)) {
    return ServerAndPort(failure) + Sj(" と暗号化して通信できませんでした。") + NetErrorTextJa(error);
  }
  if (IsUnreadableAttachment(failure.errorMessage)) {
    return Sj("添付ファイルを読めませんでした: ") + failure.errorMessage.substr(4);
  }
  // Log-in refusals have words of their own for what to check.
  if (std::string japanese = NetErrorTextJa(error); !japanese.empty()) return japanese + QuotedReply(failure);
  // A server that turns the client away hangs up after saying why.
  if (((error >= 400 && error < 600) || error == wsa::kInterrupted) && IsRefusal(failure.errorMessage)) {
    return Server(failure) + Sj(" がメールを受け付けませんでした。") + QuotedReply(failure);
  }
  if (error >= wsa::kInterrupted) {
    return ServerAndPort(failure) + Sj(" との接続が途中で切れました。") + QuotedReply(failure);
  }
  std::string text = Server(failure) + Sj(" との通信に失敗しました。");
  const std::string& detail = failure.errorMessage.empty() ? failure.lastResponse : failure.errorMessage;
  if (!detail.empty()) text += "\r\n" + detail;
  return text;
}

}  // namespace

std::string SessionStepOf(const std::string& command) {
  const std::string upper = Upper(command);
  for (const char* twoWords : {"MAIL FROM", "RCPT TO"}) {
    if (upper.rfind(twoWords, 0) == 0) return twoWords;
  }
  return upper.substr(0, upper.find(' '));
}

std::string SessionStepText(const std::string& step) {
  static const std::pair<const char*, const char*> kSteps[] = {
      {"greeting", "接続直後のあいさつ（グリーティング）の受信"},
      {"tls", "暗号化の準備（TLS のハンドシェイク）"},
      {"body", "本文の送信中"},
      {".", "本文の終わり（.）の応答待ち"},
      {"EHLO", "EHLO（あいさつ）の応答待ち"},
      {"HELO", "HELO（あいさつ）の応答待ち"},
      {"STARTTLS", "STARTTLS（暗号化の開始）の応答待ち"},
      {"AUTH", "AUTH（ログイン）の応答待ち"},
      {"MAIL FROM", "MAIL FROM（差出人の指定）の応答待ち"},
      {"RCPT TO", "RCPT TO（宛先の指定）の応答待ち"},
      {"DATA", "DATA（本文の送信開始）の応答待ち"},
      {"RSET", "RSET（取り消し）の応答待ち"},
      {"QUIT", "QUIT（終了）の応答待ち"},
      {"CAPA", "CAPA（機能の問い合わせ）の応答待ち"},
      {"STLS", "STLS（暗号化の開始）の応答待ち"},
      {"USER", "USER（ユーザー名）の応答待ち"},
      {"PASS", "PASS（パスワード）の応答待ち"},
      {"APOP", "APOP（ログイン）の応答待ち"},
      {"STAT", "STAT（メール数の問い合わせ）の応答待ち"},
      {"UIDL", "UIDL（メールの識別子の問い合わせ）の応答待ち"},
      {"LIST", "LIST（メールの大きさの問い合わせ）の応答待ち"},
      {"RETR", "RETR（メールの受け取り）の途中"},
      {"DELE", "DELE（サーバーのメールの削除）の応答待ち"},
  };
  for (const auto& [key, text] : kSteps) {
    if (step == key) return Sj(text);
  }
  return {};
}

std::string ServerFailureText(const ServerFailure& failure) {
  std::string text = FailureText(failure);
  const int error = failure.error;
  // A server never reached has no step to tell of.
  const bool reached = !IsLookupFailure(error) && error != wsa::kConnectionRefused && error != wsa::kHostUnreachable &&
                       error != wsa::kNetworkUnreachable && error != wsa::kNetworkDown;
  const std::string step = SessionStepText(failure.step);
  if (reached && !step.empty()) text += "\r\n" + Sj("止まったところ: ") + step;
  return text;
}

}  // namespace mf
