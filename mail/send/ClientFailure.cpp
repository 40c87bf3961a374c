#include "mail/send/ClientFailure.h"

#include <cctype>

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

}  // namespace

std::string ServerFailureText(const ServerFailure& failure) {
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

}  // namespace mf
