#pragma once

#include <optional>
#include <string>

namespace mf::platform {

// Which password a keyring entry holds: one account's log-in at one server.
struct KeyringEntry {
  std::string protocol;  // "pop3" or "smtp"
  std::string account;
  std::string server;
  std::string user;
  bool operator==(const KeyringEntry&) const = default;
};

// The desktop's password store. Texts are the program's Shift_JIS; an
// implementation converts at its edge.
class Keyring {
 public:
  virtual ~Keyring() = default;
  // Whether a store answers at all; without one passwords stay in the
  // settings file.
  virtual bool Available() = 0;
  // The stored password; nothing when there is none or the store failed.
  virtual std::optional<std::string> Lookup(const KeyringEntry& entry) = 0;
  // False when the store refused or failed: the caller keeps the password
  // where it was.
  virtual bool Store(const KeyringEntry& entry, const std::string& password) = 0;
  virtual void Clear(const KeyringEntry& entry) = 0;
};

}  // namespace mf::platform
