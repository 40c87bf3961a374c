#include "app/Program.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include "character/WindowEdgeSearch.h"
#include "character/gui/TCharForm.h"
#include "hut/gui/TMainForm.h"
#include "platform/Autostart.h"
#include "platform/DesktopWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationWatch.h"
#include "platform/x11/X11DesktopWindows.h"
#include "settings/LiveSettings.h"
#include "settings/gui/TBaseSetUp.h"

namespace mf {
namespace {

// The desktop's windows from the display Qt talks to; without X11 the
// characters only know the screen's bottom edge.
std::unique_ptr<platform::DesktopWindows> OpenDesktop() {
  if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    auto desktop = std::make_unique<platform::X11DesktopWindows>(x11->connection());
    if (desktop->Connected()) return desktop;
  }
  auto fake = std::make_unique<platform::FakeDesktopWindows>();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->geometry();
    fake->screen = platform::Rect{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
  }
  return fake;
}

}  // namespace

Program::Program(platform::EventLoop& loop, const std::string& firstArgument)
    : desktop_(OpenDesktop()), edges_(std::make_unique<WindowEdgeSearch>(*desktop_)) {
  std::string settingsPath = platform::SettingsPath();
  MainForm = std::make_unique<TMainForm>(
      HutStartup{platform::ProgramFolder(), settingsPath, firstArgument}, *edges_);

  settings_ = std::make_unique<LiveSettings>(
      platform::IniFile(settingsPath),
      [this](int intervalMs, bool enabled) { MainForm->ArmReceiveTimer(intervalMs, enabled); },
      [](bool enabled) { platform::SetAutostart(enabled, platform::ExecutablePath()); });
  BaseSetUp = std::make_unique<TBaseSetUp>(*settings_);

  CharForm = std::make_unique<TCharForm>(*MainForm, *edges_);

  // A log-out asks first whether the program may end; the hut then lets
  // its close go through instead of hiding.
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, MainForm.get(),
                   [this](QSessionManager&) { MainForm->QueryEndSession(); });
  termination_ = std::make_unique<platform::TerminationWatch>(loop, [this] { MainForm->EndSession(); });
}

Program::~Program() = default;

}  // namespace mf
