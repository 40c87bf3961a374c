#pragma once

#include <QIcon>
#include <array>

namespace mf {

// The sixteen pictures of the mail list, by image list position: read,
// unread, sent, waiting, kept, replied, sent reply and imported, each
// without and with the attachment clip (even and odd positions).
class MailListIcons {
 public:
  static constexpr int kCount = 16;
  MailListIcons();
  const QIcon& At(int position) const;

 private:
  std::array<QIcon, kCount> icons_;
};

}  // namespace mf
