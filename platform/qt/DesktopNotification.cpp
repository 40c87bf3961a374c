#include "platform/qt/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

#include "platform/qt/QtDialogs.h"

namespace mf::platform {
namespace {

// A service that has not answered by then is taken for absent.
constexpr int kAnswerTimeoutMs = 5000;

}  // namespace

bool ShowDesktopNotification(const std::string& title, const std::string& text, std::function<void()> unavailable) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    if (unavailable) unavailable();
    return false;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                     QStringLiteral("/org/freedesktop/Notifications"),
                                     QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // Application name, no notice replaced, no icon, summary, body, no
  // actions, no hints, the server's own display time.
  call << QStringLiteral("MFMail") << 0u << QString() << ToQString(title) << ToQString(text) << QStringList()
       << QVariantMap() << -1;
  // The bus itself answers at once when no service owns the name (and none
  // can be started for it).
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kAnswerTimeoutMs));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [watcher, unavailable = std::move(unavailable)] {
                     if (watcher->isError() && unavailable) unavailable();
                     watcher->deleteLater();
                   });
  return true;
}

}  // namespace mf::platform
