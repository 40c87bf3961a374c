#pragma once

#include <optional>

#include "platform/Keyring.h"

namespace mf::platform {

// The freedesktop Secret Service (GNOME Keyring, KWallet) through libsecret.
// Whether it answers is asked once; a session without a bus, or a bus
// without the service, counts as no keyring.
class SecretServiceKeyring final : public Keyring {
 public:
  bool Available() override;
  std::optional<std::string> Lookup(const KeyringEntry& entry) override;
  bool Store(const KeyringEntry& entry, const std::string& password) override;
  void Clear(const KeyringEntry& entry) override;

 private:
  std::optional<bool> available_;
};

}  // namespace mf::platform
