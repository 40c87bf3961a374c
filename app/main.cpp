#include <QApplication>

#include "platform/InstanceLock.h"

// Start-up is filled in as the windows arrive; for now the program keeps
// one copy running per desktop session and waits.
int main(int argc, char** argv) {
  mf::platform::InstanceLock lock("MofutanMail_Mutex");
  if (!lock.Acquired()) return 0;
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  return application.exec();
}
