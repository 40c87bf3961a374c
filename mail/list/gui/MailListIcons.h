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

 private:
  std::array<QIcon, kCount> icons_;
};

}  // namespace mf
