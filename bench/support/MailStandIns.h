#pragma once

// What the mail benchmarks put where the hut would be: no characters, and a
// mailbox filled straight on the server's disk, as its delivery agent would.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "mail/receive/CharacterArrival.h"
#include "platform/Files.h"

namespace mf::bench {

class NoCharacters final : public ReceivingHut {
 public:
  const std::vector<std::string>& CharDB() const override { return empty_; }
  const std::vector<std::string>& VisibleDB() const override { return empty_; }
  bool ShowAgain(const std::string&, const std::string&) override { return false; }
  void RegisterCharacter(int, const std::string&) override {}

 private:
  std::vector<std::string> empty_;
};

// Message `n` into the maildir, readable by the POP3 server's user.
inline void Deliver(const std::string& maildir, int n, const std::string& message) {
  const std::string path = maildir + "/new/" + std::to_string(1700000000 + n) + ".M" + std::to_string(n) + ".bench";
  platform::WriteFileAtomic(path, message);
  ::chmod(path.c_str(), 0644);
  if (::chown(path.c_str(), 65534, 65534) != 0) std::perror("chown");
}

}  // namespace mf::bench
