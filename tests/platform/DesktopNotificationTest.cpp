// A notice through the desktop's notification service, on a private
// session bus of the test's own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QVariantMap>
#include <cstdlib>
#include <string>

#include "base/ShiftJis.h"
#include "platform/qt/DesktopNotification.h"

extern char** environ;

namespace mf::platform {

// The desktop's side of the protocol: records what it is asked to show.
class NotificationServer : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  QStringList shown;

 public slots:
  uint Notify(const QString& application, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap&, int) {
    shown << application + "|" + summary + "|" + body;
    return 1;
  }
};

namespace {

// A session bus of the test's own, so that no desktop of the user's answers.
class PrivateBus {
 public:
  PrivateBus() {
    int fds[2];
    if (pipe(fds) != 0) return;
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"dbus-daemon", "--session", "--nofork", "--print-address", fd.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const bool started = posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (!started) {
      pid_ = -1;
      close(fds[0]);
      return;
    }
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') address_ += c;
    close(fds[0]);
  }
  ~PrivateBus() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& Address() const { return address_; }

 private:
  pid_t pid_ = -1;
  std::string address_;
};

TEST(DesktopNotification, ReachesTheDesktopsNotificationServiceInJapanese) {
  PrivateBus bus;
  if (bus.Address().empty()) GTEST_SKIP() << "dbus-daemon is not available";
  // The program's connection is the session bus named here.
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Address().c_str(), 1);

  // A bus where nothing shows notices: the caller learns it, to say it
  // another way.
  int unavailable = 0;
  EXPECT_TRUE(ShowDesktopNotification(Sj("モフタンメール"), Sj("誰もいません"), [&] { ++unavailable; }));
  EXPECT_TRUE(QTest::qWaitFor([&] { return unavailable == 1; }, 5000));

  QDBusConnection desktop = QDBusConnection::connectToBus(QString::fromStdString(bus.Address()), "desktop");
  ASSERT_TRUE(desktop.isConnected());
  NotificationServer server;
  ASSERT_TRUE(desktop.registerObject("/org/freedesktop/Notifications", &server, QDBusConnection::ExportAllSlots));
  ASSERT_TRUE(desktop.registerService("org.freedesktop.Notifications"));

  EXPECT_TRUE(ShowDesktopNotification(Sj("モフタンメール"), Sj("ミケがメールを届けに出かけました。"),
                                      [&] { ++unavailable; }));
  ASSERT_TRUE(QTest::qWaitFor([&server] { return !server.shown.isEmpty(); }, 5000));
  EXPECT_EQ(server.shown, QStringList{QString::fromUtf8("MFMail|モフタンメール|ミケがメールを届けに出かけました。")});
  // The service's answer has come back by now.
  QTest::qWait(200);
  EXPECT_EQ(unavailable, 1);
  QDBusConnection::disconnectFromBus("desktop");
}

}  // namespace
}  // namespace mf::platform

#include "DesktopNotificationTest.moc"
