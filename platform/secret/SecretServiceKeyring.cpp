#include "platform/secret/SecretServiceKeyring.h"

#include <libsecret/secret.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

#include "base/ShiftJis.h"

namespace mf::platform {
namespace {

const SecretSchema kSchema = {
    "io.github.mfmail.Password",
    SECRET_SCHEMA_NONE,
    {
        {"protocol", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
        {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
    },
    0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorFree>;

struct PasswordFree {
  void operator()(gchar* password) const { secret_password_free(password); }
};
using Password = std::unique_ptr<gchar, PasswordFree>;

// libsecret speaks UTF-8; the entry's texts are the program's.
struct Attributes {
  explicit Attributes(const KeyringEntry& entry)
      : protocol(entry.protocol),
        account(SjisToUtf8(entry.account)),
        server(SjisToUtf8(entry.server)),
        user(SjisToUtf8(entry.user)) {}
  std::string protocol, account, server, user;
};

// Without an address of the session bus GLib would try to launch one;
// a program started outside a desktop session has no keyring to find.
bool SessionBusReachable() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (!runtime || !*runtime) return false;
  struct stat info {};
  return stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

bool SecretServiceKeyring::Available() {
  if (!available_) {
    bool answers = false;
    if (SessionBusReachable()) {
      // A lookup of nothing in particular: an error means no service, an
      // empty answer means one that answers.
      GError* raw = nullptr;
      Password found(secret_password_lookup_sync(&kSchema, nullptr, &raw, "protocol", "probe", nullptr));
      Error error(raw);
      answers = !error;
    }
    available_ = answers;
  }
  return *available_;
}

std::optional<std::string> SecretServiceKeyring::Lookup(const KeyringEntry& entry) {
  if (!Available()) return std::nullopt;
  const Attributes a(entry);
  GError* raw = nullptr;
  Password found(secret_password_lookup_sync(&kSchema, nullptr, &raw, "protocol", a.protocol.c_str(), "account",
                                             a.account.c_str(), "server", a.server.c_str(), "user",
                                             a.user.c_str(), nullptr));
  Error error(raw);
  if (error || !found) return std::nullopt;
  return Utf8ToSjis(found.get());
}

bool SecretServiceKeyring::Store(const KeyringEntry& entry, const std::string& password) {
  if (!Available()) return false;
  const Attributes a(entry);
  const std::string label = "MFMail " + a.protocol + " " + a.user + "@" + a.server;
  const std::string secret = SjisToUtf8(password);
  GError* raw = nullptr;
  const gboolean stored = secret_password_store_sync(
      &kSchema, SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), nullptr, &raw, "protocol",
      a.protocol.c_str(), "account", a.account.c_str(), "server", a.server.c_str(), "user", a.user.c_str(), nullptr);
  Error error(raw);
  return stored && !error;
}

void SecretServiceKeyring::Clear(const KeyringEntry& entry) {
  if (!Available()) return;
  const Attributes a(entry);
  GError* raw = nullptr;
  secret_password_clear_sync(&kSchema, nullptr, &raw, "protocol", a.protocol.c_str(), "account", a.account.c_str(),
                             "server", a.server.c_str(), "user", a.user.c_str(), nullptr);
  Error error(raw);
}

}  // namespace mf::platform
