#include <QApplication>
#include <cstdio>
#include <string>

#include "app/JapaneseInterface.h"
#include "app/Program.h"
#include "app/SecondStart.h"
#include "hut/gui/HutWindow.h"
#include "platform/InstanceLock.h"
#include "platform/ProgramFolder.h"
#include "platform/qt/QtEventLoop.h"
#include "widgets/ApplicationIcon.h"

int main(int argc, char** argv) {
  // One copy per desktop session. A second start only asks the running
  // copy to show its hut, before anything of its own exists.
  mf::platform::InstanceLock lock("MofutanMail_Mutex");
  if (lock.HeldByAnother()) {
    mf::ShowRunningHut(mf::platform::SettingsPath());
    return 0;
  }
  if (!lock.Acquired()) std::fprintf(stderr, "MFMail: no lock file could be made; a second start will not be noticed\n");

  QApplication application(argc, argv);
  // Closing the hut only hides it; the program ends from the tray menu or
  // with the session (or, on a desktop without a tray, with the hut).
  application.setQuitOnLastWindowClosed(false);
  application.setWindowIcon(mf::ApplicationIcon());
  // Ties the windows to the installed menu entry (its file name, the
  // program's id in the desktop's software lists).
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.mfmail.MFMail"));
  mf::UseJapaneseInterface(application);
  mf::platform::QtEventLoop loop;

  std::string firstArgument = argc > 1 ? argv[1] : "";
  mf::Program program(loop, firstArgument);
  if (program.Hut().ShowAtStart()) program.Hut().show();
  return application.exec();
}
