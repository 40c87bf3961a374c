#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mf {

// The status word on line 1 of a header record. The in-place rewrites only
// ever swap one 4-byte word for another, so the byte lengths are part of the
// file format.
enum class MailStatus {
  Unread,        // "未読", 4 bytes
  Read,          // "既読", 4 bytes
  Replied,       // "返信", 4 bytes
  Waiting,       // "送信待ち", 8 bytes
  WaitingReply,  // "送信待ち返信", 12 bytes
  Sent,          // "送信済み", 8 bytes
  SentReply,     // "送信済み返信", 12 bytes
  Imported,      // "インポート", 10 bytes
  // In the outbox: its "." went to the server and no answer came back, so
  // it may have arrived. The outbox run leaves it for the user to decide.
  Unconfirmed,       // "送信不明", 8 bytes, as long as "送信待ち"
  UnconfirmedReply,  // "送信不明返信", 12 bytes, as long as "送信待ち返信"
};

// The Shift_JIS word of a status.
const std::string& StatusWord(MailStatus status);
std::optional<MailStatus> StatusFromWord(std::string_view word);

}  // namespace mf
