#pragma once

#include <QIcon>
#include <array>

namespace mf {

// The pictures of the mail list, by image list position: read, unread,
// sent, waiting, kept, replied, sent reply, imported and unconfirmed (sent
// out, no answer: it may have arrived), each without and with the
// attachment clip (even and odd positions).
class MailListIcons {
 public:
  static constexpr int kCount = 18;
  MailListIcons();
  const QIcon& At(int position) const;
  // The picture of a mail that went out without an answer, with or without the clip.
  static constexpr bool IsUnconfirmed(int position) { return position / 2 == 8; }

 private:
  std::array<QIcon, kCount> icons_;
};

}  // namespace mf
