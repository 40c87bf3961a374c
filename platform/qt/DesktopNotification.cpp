#include "platform/qt/DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

#include "platform/qt/QtDialogs.h"

namespace mf::platform {

bool ShowDesktopNotification(const std::string& title, const std::string& text) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return false;
  QDBusMessage call =
      QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                     QStringLiteral("/org/freedesktop/Notifications"),
                                     QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // Application name, no notice replaced, no icon, summary, body, no
  // actions, no hints, the server's own display time.
  call << QStringLiteral("MFMail") << 0u << QString() << ToQString(title) << ToQString(text) << QStringList()
       << QVariantMap() << -1;
  return bus.send(call);
}

}  // namespace mf::platform
