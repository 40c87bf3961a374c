// The program's windows on a private X server with a window manager
// (openbox), looked at through X11: a dialog or message box opens above the
// window it belongs to even when that window stays on top, and a character
// never covers the window the user works in.
//
// The windows are the program's own, made as the program makes them; the
// test drives them from inside, and reads the stacking the window manager
// keeps (_NET_CLIENT_LIST_STACKING) from a connection of its own.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "addressbook/AddressFile.h"
#include "addressbook/gui/AddressBookWindow.h"
#include "addressbook/gui/AddressEntryDialog.h"
#include "addressbook/gui/AddressListView.h"
#include "addressbook/gui/AddressPicker.h"
#include "app/JapaneseInterface.h"
#include "app/Program.h"
#include "base/ShiftJis.h"
#include "character/gui/CharacterWindow.h"
#include "charedit/gui/CharacterEditorWindow.h"
#include "charedit/gui/NewPictureWindow.h"
#include "charedit/gui/PictureImportWindow.h"
#include "hut/gui/HutWindow.h"
#include "mail/list/gui/MailListWindow.h"
#include "mail/receive/gui/MailViewer.h"
#include "mail/send/gui/CompositionWindow.h"
#include "platform/Files.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtEventLoop.h"
#include "settings/gui/SettingsDialog.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/Controls.h"
#include "widgets/LabelButton.h"

extern char** environ;

namespace mf {
namespace {

constexpr int kScreenWidth = 1024;
constexpr int kScreenHeight = 768;
constexpr int kWaitMs = 5000;

// The window manager's view of the display, from a connection of our own.
class WindowManagerView {
 public:
  explicit WindowManagerView(const std::string& display) : connection_(xcb_connect(display.c_str(), nullptr)) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
    stacking_ = Atom("_NET_CLIENT_LIST_STACKING");
    check_ = Atom("_NET_SUPPORTING_WM_CHECK");
    state_ = Atom("_NET_WM_STATE");
    hidden_ = Atom("_NET_WM_STATE_HIDDEN");
    above_ = Atom("_NET_WM_STATE_ABOVE");
    skipTaskbar_ = Atom("_NET_WM_STATE_SKIP_TASKBAR");
  }
  ~WindowManagerView() { xcb_disconnect(connection_); }

  bool Running() { return !Property(root_, check_).empty(); }
  // Managed client windows, bottom to top.
  std::vector<std::uint32_t> Stacking() { return Property(root_, stacking_); }
  int Place(std::uint32_t window) {
    auto list = Stacking();
    auto found = std::find(list.begin(), list.end(), window);
    return found == list.end() ? -1 : static_cast<int>(found - list.begin());
  }
  bool Managed(const QWidget& widget) { return Place(Id(widget)) >= 0 && Viewable(Id(widget)); }
  // Mapped, not minimised, and managed.
  bool Shown(const QWidget& widget) {
    auto state = Property(Id(widget), state_);
    return Managed(widget) && std::find(state.begin(), state.end(), hidden_) == state.end();
  }
  bool InAboveLayer(const QWidget& widget) {
    auto state = Property(Id(widget), state_);
    return std::find(state.begin(), state.end(), above_) != state.end();
  }
  // Where the server has put a window's top-left corner.
  QPoint Origin(const QWidget& widget) {
    auto* reply = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, Id(widget), root_, 0, 0), nullptr);
    const QPoint origin = reply ? QPoint(reply->dst_x, reply->dst_y) : QPoint(-1, -1);
    std::free(reply);
    return origin;
  }
  bool OutOfTaskbars(const QWidget& widget) {
    auto state = Property(Id(widget), state_);
    return std::find(state.begin(), state.end(), skipTaskbar_) != state.end();
  }
  // Whether `upper` lies above `lower` in the window manager's stacking.
  bool Above(const QWidget& upper, const QWidget& lower) {
    int a = Place(Id(upper));
    int b = Place(Id(lower));
    return a >= 0 && b >= 0 && a > b;
  }
  static std::uint32_t Id(const QWidget& widget) { return static_cast<std::uint32_t>(widget.winId()); }

 private:
  std::uint32_t Atom(const char* name) {
    auto* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    std::uint32_t atom = reply ? reply->atom : 0;
    std::free(reply);
    return atom;
  }
  std::vector<std::uint32_t> Property(std::uint32_t window, std::uint32_t atom) {
    auto* reply = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, atom, XCB_ATOM_ANY, 0, 4096), nullptr);
    std::vector<std::uint32_t> values;
    if (reply && reply->format == 32) {
      auto* data = static_cast<std::uint32_t*>(xcb_get_property_value(reply));
      values.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    return values;
  }
  bool Viewable(std::uint32_t window) {
    auto* reply =
        xcb_get_window_attributes_reply(connection_, xcb_get_window_attributes(connection_, window), nullptr);
    bool viewable = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(reply);
    return viewable;
  }

  xcb_connection_t* connection_;
  std::uint32_t root_ = 0;
  std::uint32_t stacking_ = 0;
  std::uint32_t check_ = 0;
  std::uint32_t state_ = 0;
  std::uint32_t hidden_ = 0;
  std::uint32_t above_ = 0;
  std::uint32_t skipTaskbar_ = 0;
};

// Set up by main() before the application object exists.
std::string gDisplay;
std::string gArtefacts;

bool RunTool(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A picture of the screen once the newest window has drawn itself.
void Screenshot(const std::string& name) {
  QTest::qWait(300);
  RunTool({"import", "-display", gDisplay, "-window", "root", gArtefacts + "/" + name});
}

// A real pointer click at a screen point.
bool Click(QPoint at) {
  return RunTool({"xdotool", "mousemove", std::to_string(at.x()), std::to_string(at.y()), "click", "1"});
}

class Stacking : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    home_ = std::make_unique<platform::TemporaryFolder>();
    ::setenv("MFMAIL_HOME", home_->Path().c_str(), 1);
    // A character out on the desktop, always in the topmost band, standing
    // still wherever it is put.
    testing::CharacterSetup walker{.id = "<walker@test>", .name = "Walker", .modesty = "5",
                                   .scenes = testing::StandingScenes()};
    testing::MakeCharacter(home_->Path(), walker);
    testing::WriteList(home_->Path() + "visibleDB.dat", {walker.id});
    testing::WriteList(home_->Path() + "outDB.dat", {walker.id});
    AddressFile(home_->Path()).Append(AddressRecord{"Hanako", "hanako@mfmail.test", "", 0});
    loop_ = std::make_unique<platform::QtEventLoop>();
    program_ = std::make_unique<Program>(*loop_, "");
  }
  static void TearDownTestSuite() {
    program_.reset();
    loop_.reset();
    home_.reset();
  }

  void TearDown() override {
    // A failed check must not leave a modal window for the next test.
    while (QWidget* modal = QApplication::activeModalWidget()) {
      modal->close();
      QApplication::processEvents();
    }
  }

  static bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, kWaitMs); }

  // Shows `window` as the user's active window, managed and on screen.
  bool Activate(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
    return WaitFor([&] { return QApplication::activeWindow() == &window && view_.Shown(window); });
  }

  // Runs `inside` once a modal window other than `outer` is up, from
  // within its own loop.
  static void WhenModalOpens(const QWidget* outer, std::function<void(QWidget&)> inside) {
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, outer, inside] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal || modal == outer || !modal->isVisible()) return;
      poll->stop();
      poll->deleteLater();
      inside(*modal);
    });
    poll->start();
  }

  // Whether `top` is above `window`, shown, and covered by none of the
  // program's windows above it.
  ::testing::AssertionResult OnTopOf(QWidget& top, QWidget& window) {
    if (!WaitFor([&] { return view_.Shown(top); })) return ::testing::AssertionFailure() << "never shown";
    if (!view_.Above(top, window)) {
      return ::testing::AssertionFailure() << "below: at " << view_.Place(view_.Id(top)) << ", the window at "
                                           << view_.Place(view_.Id(window));
    }
    for (QWidget* other : QApplication::topLevelWidgets()) {
      if (other == &top || !other->isVisible() || !view_.Above(*other, top)) continue;
      if (other->frameGeometry().intersects(top.frameGeometry())) {
        return ::testing::AssertionFailure() << "covered by " << other->windowTitle().toStdString();
      }
    }
    return ::testing::AssertionSuccess();
  }

  static std::unique_ptr<platform::TemporaryFolder> home_;
  static std::unique_ptr<platform::QtEventLoop> loop_;
  static std::unique_ptr<Program> program_;
  WindowManagerView view_{gDisplay};
};

std::unique_ptr<platform::TemporaryFolder> Stacking::home_;
std::unique_ptr<platform::QtEventLoop> Stacking::loop_;
std::unique_ptr<Program> Stacking::program_;

// The user's case: OK in the always-on-top entry dialog, opened over the
// modal address book, asks "変更してもよろしいですか？"; the question must be
// in sight and within reach.
TEST_F(Stacking, TheChangeConfirmationIsAboveTheEntryDialog) {
  MailListWindow& list = program_->MailList();
  ASSERT_TRUE(Activate(list));
  AddressBookWindow& book = program_->AddressBook();
  AddressEntryDialog& entry = program_->AddressEntry();
  bool checked = false;
  WhenModalOpens(&list, [&](QWidget&) {
    EXPECT_TRUE(WaitFor([&] { return view_.Shown(book); }));
    Control<AddressListView>(book, "addressList")
        ->setCurrentItem(Control<AddressListView>(book, "addressList")->topLevelItem(0));
    book.EditEntry();
    EXPECT_TRUE(Activate(entry));
    EXPECT_TRUE(view_.InAboveLayer(entry));
    WhenModalOpens(&book, [&](QWidget& box) {
      EXPECT_EQ(qobject_cast<QMessageBox*>(&box)->text(), QString::fromUtf8("変更してもよろしいですか？"));
      EXPECT_TRUE(OnTopOf(box, entry));
      Screenshot("stacking-change-confirmation.png");
      checked = true;
      qobject_cast<QMessageBox*>(&box)->done(QMessageBox::Cancel);
    });
    // The user's click on "OK".
    EXPECT_TRUE(Click(Control<LabelButton>(entry, "okButton")
                          ->mapToGlobal(Control<LabelButton>(entry, "okButton")->rect().center())));
    EXPECT_TRUE(WaitFor([&] { return checked; }));
    entry.Cancel();
    book.reject();
  });
  list.links.openAddressBook();
  EXPECT_TRUE(checked);
  list.hide();
}

// Every window the program may keep on top: a message box, a file dialog
// and a modal window opened from it come above it.
struct KeptOnTop {
  const char* name;
  std::function<QWidget&(Program&)> window;
};

class StayOnTopWindows : public Stacking, public ::testing::WithParamInterface<KeptOnTop> {};

TEST_P(StayOnTopWindows, ADialogOpenedFromItComesAboveIt) {
  QWidget& window = GetParam().window(*program_);
  const bool wasOnTop = window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
  window.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  ASSERT_TRUE(Activate(window));
  ASSERT_TRUE(view_.InAboveLayer(window));
  platform::QtDialogs dialogs;  // as the program makes them: no parent

  struct Opening {
    const char* what;
    std::function<void()> open;
  };
  QDialog kept;  // a window made once and run modally, as the program's are
  kept.setWindowTitle("kept");
  const std::vector<Opening> openings = {
      {"message box", [&] { dialogs.Question(Sj("よろしいですか。"), platform::DefaultButton::No, ""); }},
      {"file dialog", [&] { dialogs.OpenFile(Sj("全てのファイル(*.*)|*.*"), home_->Path()); }},
      {"kept modal window", [&] { platform::ExecAbove(kept); }},
  };
  for (const Opening& opening : openings) {
    SCOPED_TRACE(opening.what);
    bool checked = false;
    WhenModalOpens(nullptr, [&](QWidget& modal) {
      EXPECT_TRUE(OnTopOf(modal, window));
      if (std::string(opening.what) == "file dialog") Screenshot(std::string("stacking-file-dialog-") + GetParam().name + ".png");
      checked = true;
      if (auto* box = qobject_cast<QMessageBox*>(&modal)) {
        box->done(QMessageBox::No);
      } else {
        static_cast<QDialog&>(modal).reject();
      }
    });
    opening.open();
    EXPECT_TRUE(checked);
    ASSERT_TRUE(Activate(window));
  }
  window.hide();
  window.setWindowFlag(Qt::WindowStaysOnTopHint, wasOnTop);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, StayOnTopWindows,
    ::testing::Values(KeptOnTop{"AddressEntry", [](Program& p) -> QWidget& { return p.AddressEntry(); }},
                      KeptOnTop{"AddressBook", [](Program& p) -> QWidget& { return p.AddressBook(); }},
                      KeptOnTop{"RecipientPicker", [](Program& p) -> QWidget& { return p.RecipientPicker(); }},
                      KeptOnTop{"Settings", [](Program& p) -> QWidget& { return p.Settings(); }},
                      KeptOnTop{"CharacterEditor", [](Program& p) -> QWidget& { return p.CharacterEditor(); }},
                      KeptOnTop{"PictureImport", [](Program& p) -> QWidget& { return p.PictureImport(); }},
                      KeptOnTop{"PictureCreation",
                                [](Program& p) -> QWidget& { return p.PictureImport().PictureEditor(); }},
                      KeptOnTop{"Composition", [](Program& p) -> QWidget& { return p.Composition(); }},
                      KeptOnTop{"Viewer", [](Program& p) -> QWidget& { return p.Viewer(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A character standing over the settings dialog took the click meant for a
// port field, and the port typed went into another field.
TEST_F(Stacking, ACharacterPassesBehindTheActiveSettingsDialogAndClicksReachItsFields) {
  MailListWindow& list = program_->MailList();
  ASSERT_TRUE(Activate(list));
  SettingsDialog& settings = program_->Settings();
  ASSERT_FALSE(program_->Hut().CharacterWindows().empty());
  CharacterWindow& character = *program_->Hut().CharacterWindows()[0];
  ASSERT_TRUE(WaitFor([&] { return view_.Shown(character); }));
  bool checked = false;
  WhenModalOpens(&list, [&](QWidget&) {
    EXPECT_TRUE(Activate(settings));
    QLineEdit* port = Control<QLineEdit>(settings, "smtpPortEdit");
    const QPoint field = port->mapToGlobal(port->rect().center());
    // Put down over the field, as a user might drop it or it might walk in.
    character.Engine().MoveTo(field.x() - CharacterWindow::kPictureSize / 2, field.y() - CharacterWindow::kPictureSize / 2);
    character.move(character.Engine().Left(), character.Engine().Top());
    EXPECT_TRUE(WaitFor([&] { return character.GivingWay() && view_.Above(settings, character); }))
        << "character at " << view_.Place(view_.Id(character)) << ", dialog at " << view_.Place(view_.Id(settings));
    EXPECT_TRUE(character.frameGeometry().contains(field));
    EXPECT_FALSE(view_.InAboveLayer(character));
    Screenshot("stacking-character-behind-settings.png");

    EXPECT_TRUE(Click(field));
    EXPECT_TRUE(WaitFor([&] { return QApplication::focusWidget() == port; }));
    EXPECT_TRUE(RunTool({"xdotool", "key", "ctrl+a", "type", "2525"}));
    EXPECT_TRUE(WaitFor([&] { return port->text() == "2525"; })) << port->text().toStdString();
    checked = true;
    settings.Dismiss();
  });
  list.links.openSettings();
  EXPECT_TRUE(checked);
  // With no program window to give way to, it takes its place in the
  // topmost band again.
  list.hide();
  EXPECT_TRUE(WaitFor([&] { return !character.GivingWay() && view_.InAboveLayer(character); }));

  // Home and out again, in the band or out of it: one window throughout.
  // Told of its stays-on-top flag, the toolkit made a window anew at its
  // next showing while the widget kept the old id, and the new one had no
  // shape.
  const WId shown = character.windowHandle()->winId();
  for (const bool topmost : {false, true}) {
    SCOPED_TRACE(topmost ? "kept above" : "among the others");
    character.hide();
    ASSERT_TRUE(WaitFor([&] { return !view_.Managed(character); }));
    character.SetTopmost(topmost);
    character.show();
    EXPECT_TRUE(WaitFor([&] { return view_.Shown(character) && view_.InAboveLayer(character) == topmost; }));
    EXPECT_TRUE(view_.OutOfTaskbars(character));
    EXPECT_EQ(character.windowHandle()->winId(), shown);
    EXPECT_EQ(character.winId(), shown);
  }
  character.SetTopmost(false);
  EXPECT_TRUE(WaitFor([&] { return !view_.InAboveLayer(character); }));
  character.SetTopmost(true);
  EXPECT_TRUE(WaitFor([&] { return view_.InAboveLayer(character); }));
}

// At a scale of 2 every other pixel of the server lies between two of the
// toolkit's. A character whose steps kept it on those was never moved by the
// toolkit, which went on taking it to stand where it had last put it: it
// walked over the active viewer without giving way. Also run at scale 2.
TEST_F(Stacking, TheToolkitKnowsWhereACharacterStandsOnAnyPixel) {
  ASSERT_FALSE(program_->Hut().CharacterWindows().empty());
  CharacterWindow& character = *program_->Hut().CharacterWindows()[0];
  ASSERT_TRUE(WaitFor([&] { return view_.Shown(character); }));
  const qreal ratio = character.devicePixelRatioF();
  for (const QPoint device : {QPoint(301, 201), QPoint(403, 305), QPoint(200, 100), QPoint(501, 203)}) {
    SCOPED_TRACE(device.x());
    // It stands still wherever it is put, and is placed anew at each step.
    character.Engine().MoveTo(device.x(), device.y());
    ASSERT_TRUE(WaitFor([&] { return view_.Origin(character) == device; })) << view_.Origin(character).x();
    const QPointF known = QPointF(character.pos()) * ratio;
    EXPECT_LE(std::abs(known.x() - device.x()), ratio) << known.x();
    EXPECT_LE(std::abs(known.y() - device.y()), ratio) << known.y();
  }
}

// The viewer's tail pointed at a character standing behind the mail list
// or the hut: a character presenting a mail stays in sight above them,
// whichever the user activates.
TEST_F(Stacking, ACharacterPresentingAMailStaysAboveTheProgramsWindows) {
  MailListWindow& list = program_->MailList();
  HutWindow& hut = program_->Hut();
  ASSERT_TRUE(Activate(hut));
  ASSERT_TRUE(Activate(list));
  ASSERT_FALSE(hut.CharacterWindows().empty());
  CharacterWindow& character = *hut.CharacterWindows()[0];
  // The mail position lies over the list.
  hut.MailPosition() = ScreenPoint{list.x() + 200, list.y() + 150};
  const CarrierRef lent = hut.LendCharacter(character.Id());
  ASSERT_FALSE(lent.Empty());
  MailViewer& viewer = program_->Viewer();
  viewer.move(SpeechBubbleWindow::BesideCarrier(hut.MailPosition(), CharacterWindow::kPictureSize));
  ASSERT_TRUE(Activate(viewer));
  for (QWidget* window : {static_cast<QWidget*>(&list), static_cast<QWidget*>(&hut)}) {
    SCOPED_TRACE(window->windowTitle().toStdString());
    window->move(character.x() - 100, character.y() - 100);
    ASSERT_TRUE(Activate(*window));
    EXPECT_TRUE(WaitFor([&] { return view_.Shown(character) && view_.Above(character, *window); }))
        << "character at " << view_.Place(view_.Id(character)) << ", window at " << view_.Place(view_.Id(*window));
    EXPECT_TRUE(view_.InAboveLayer(character));
    EXPECT_FALSE(character.GivingWay());
  }
  Screenshot("stacking-presenting-character.png");
  viewer.hide();
  hut.RestoreCarrier(lent);
  list.hide();
  hut.hide();
}

// A helper program that ends with the test, however the test ends (a
// sanitizer report, a time-out): an X server or window manager left behind
// would outlive every later run.
class Companion {
 public:
  // Its output goes to /dev/null; it inherits every other descriptor.
  explicit Companion(std::vector<std::string> args) {
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ != 0) return;
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  ~Companion() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  Companion(const Companion&) = delete;
  Companion& operator=(const Companion&) = delete;
  bool Started() const { return pid_ > 0; }

 private:
  pid_t pid_ = -1;
};

// An Xvfb of the test's own; -displayfd lets it choose a free display.
std::string StartXServer(std::unique_ptr<Companion>& server) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const std::string screen = std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight) + "x24";
  server = std::make_unique<Companion>(std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen",
                                                                "0", screen, "-nolisten", "tcp", "-noreset"});
  close(fds[1]);
  std::string number;
  char c;
  while (server->Started() && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  return number.empty() ? std::string() : ":" + number;
}

}  // namespace
}  // namespace mf

// The X server, the window manager and the application object come before
// any test: Qt reads the display once.
int main(int argc, char** argv) {
  // The X keyboard library hands strndup a buffer without a terminating
  // zero, which strndup allows but AddressSanitizer's strict string checks
  // report; the test runs again with those checks off (every other one on).
  if (!std::getenv("MFMAIL_STACKING_TEST_RERUN")) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "strict_string_checks=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
    ::setenv("MFMAIL_STACKING_TEST_RERUN", "1", 1);
    execv("/proc/self/exe", argv);
  }

  ::testing::InitGoogleTest(&argc, argv);
  constexpr int kAllSkipped = 77;
  std::unique_ptr<mf::Companion> server;
  const std::string display = mf::StartXServer(server);
  if (display.empty()) {
    std::puts("Xvfb is not available: skipped");
    return kAllSkipped;
  }
  mf::gDisplay = display;
  mf::gArtefacts = DESKTOP_ARTEFACTS;
  ::setenv("DISPLAY", display.c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
  // No desktop services: nothing of the user's session may answer.
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  mf::platform::TemporaryFolder runtime;
  std::string runtimeFolder = runtime.Path();
  runtimeFolder.pop_back();
  ::chmod(runtimeFolder.c_str(), 0700);
  ::setenv("XDG_RUNTIME_DIR", runtimeFolder.c_str(), 1);

  mf::Companion manager({"openbox"});
  bool managing = false;
  if (manager.Started()) {
    mf::WindowManagerView view(display);
    for (int i = 0; i < 200 && !managing; ++i) {
      managing = view.Running();
      if (!managing) ::usleep(50 * 1000);
    }
  }
  if (!managing) {
    std::puts("openbox is not available: skipped");
    return kAllSkipped;
  }

  QApplication application(argc, argv);
  mf::UseJapaneseInterface(application);
  return RUN_ALL_TESTS();
}
