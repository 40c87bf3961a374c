// The real program on a private X server receives a mail from a scripted
// POP3 mailbox when the user asks through the hut's menu, and a character
// presents it standing beside the viewer. A screenshot is kept.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "base/Text.h"
#include "mail/store/MailStore.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "tests/mail/receive/FakeMailbox.h"
#include "tests/net/support/ScriptedServer.h"
#include "tests/roster/CharacterFolders.h"
#include "tests/support/PrivateXServer.h"

extern char** environ;

namespace mf {
namespace {

using namespace std::chrono_literals;

struct Geometry {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) return true;
    std::this_thread::sleep_for(100ms);
  }
  return condition();
}

// What a command prints; the X tools reach the private server through DISPLAY.
std::string Output(const std::string& command) {
  std::string output;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char chunk[256];
    std::size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, count);
    ::pclose(pipe);
  }
  return output;
}

// The shown top-level window with exactly this title.
std::optional<Geometry> Shown(const std::string& title) {
  const std::string ids = Output("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null");
  const std::vector<std::string> lines = SplitLines(ids);
  if (lines.empty()) return std::nullopt;
  std::istringstream shell(Output("xdotool getwindowgeometry --shell " + lines.front()));
  Geometry geometry;
  std::string line;
  while (std::getline(shell, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const int value = std::atoi(line.c_str() + equals + 1);
    if (key == "X") geometry.x = value;
    if (key == "Y") geometry.y = value;
    if (key == "WIDTH") geometry.width = value;
    if (key == "HEIGHT") geometry.height = value;
  }
  return geometry;
}

class ReceiveOnTheDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (x_.Name().empty()) GTEST_SKIP() << "Xvfb is not available";
    if (Output("command -v xdotool").empty()) GTEST_SKIP() << "xdotool is not installed";
    ::setenv("DISPLAY", x_.Name().c_str(), 1);
    ::setenv("MFMAIL_HOME", home_.Path().c_str(), 1);
    std::string runtime = runtime_.Path();
    runtime.pop_back();
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The X keyboard library hands strndup an unterminated buffer, which
    // strndup allows and strict string checks report.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + ":strict_string_checks=0";
    ::setenv("ASAN_OPTIONS", options.c_str(), 1);
  }

  void TearDown() override {
    if (program_ > 0) {
      ::kill(program_, SIGKILL);
      ::waitpid(program_, nullptr, 0);
    }
  }

  void StartProgram() {
    const std::string log = std::string(DESKTOP_ARTEFACTS) + "/receive-program.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const char* argv[] = {MFMAIL_EXECUTABLE, nullptr};
    if (posix_spawn(&program_, MFMAIL_EXECUTABLE, &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
      program_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
  }

  testing::PrivateXServer x_{800, 600};
  platform::TemporaryFolder home_;
  platform::TemporaryFolder runtime_;
  pid_t program_ = -1;
};

TEST_F(ReceiveOnTheDesktop, AReceivedMailIsPresentedByACharacterBesideTheViewer) {
  testing::MakeCharacter(home_.Path(), {.folderName = "char1", .id = "<c1@test>", .name = "Chara1",
                                        .scenes = testing::StandingScenes()});
  testing::WriteList(home_.Path() + "visibleDB.dat", {"<c1@test>"});

  testing::FakeMailbox mailbox;
  mailbox.Add("u1", "From: hanako@example.jp\r\nSubject: desktop\r\nMessage-ID: <d@example.jp>\r\n"
                    "X-CharacterID: <c1@test>\r\n\r\nHello from the desktop test.\r\n");
  test::ScriptedServer server;
  mailbox.Serve(server);
  server.Start();
  platform::IniFile settings(home_.Path() + "MFMail.ini");
  settings.WriteString("MailSet", "POP3SV", "127.0.0.1");
  settings.WriteString("MailSet", "POP3Port", server.PortText());
  settings.WriteString("MailSet", "POP3User", "taro");
  std::string scrambled = "secret";
  for (char& c : scrambled) c = static_cast<char>(c ^ 0xD4);
  settings.WriteString("MailSet", "POP3Pass", scrambled);
  settings.WriteString("MailSet", "RcvPeriodically", "0");
  // Where the user left the character last time: the viewer fits the screen.
  settings.WriteString("CharPosition", "Left", "150");
  settings.WriteString("CharPosition", "Top", "250");

  StartProgram();
  ASSERT_GT(program_, 0);
  std::optional<Geometry> hut;
  ASSERT_TRUE(PollUntil([&] { return (hut = Shown("小屋")).has_value(); }, 20s));

  // "メール受信(&J)" from the hut's right-click menu, below the character's icon.
  std::optional<Geometry> viewer;
  for (int attempt = 0; attempt < 5 && !viewer; ++attempt) {
    Output("xdotool mousemove " + std::to_string(hut->x + 250) + " " + std::to_string(hut->y + 300) +
           " click 3 sleep 0.5 key j");
    PollUntil([&] { return (viewer = Shown("メール")).has_value(); }, 5s);
  }
  ASSERT_TRUE(viewer.has_value()) << "the viewer never showed";
  std::optional<Geometry> character;
  ASSERT_TRUE(PollUntil([&] { return (character = Shown("モフタンキャラクター")).has_value(); }, 5s));
  EXPECT_EQ(character->x, 150);
  EXPECT_EQ(character->y, 250);
  EXPECT_EQ(character->x, viewer->x - 46);
  EXPECT_EQ(character->y, viewer->y + 50);
  std::this_thread::sleep_for(300ms);
  Output("import -window root " + std::string(DESKTOP_ARTEFACTS) + "/desktop-viewer.png");

  // "後で返信": the viewer goes, and the character goes back into the hut.
  Output("xdotool mousemove " + std::to_string(viewer->x + 397) + " " + std::to_string(viewer->y + 310) +
         " click 1");
  EXPECT_TRUE(PollUntil([&] { return !Shown("メール") && !Shown("モフタンキャラクター"); }, 5s));
  server.Finish();
  EXPECT_EQ(mailbox.sessions, 1);
  const MailStore store(home_.Path());
  const auto inbox = store.ReadHeaderRecords(FolderKind::Inbox);
  ASSERT_EQ(inbox.size(), 1u);
  EXPECT_EQ(inbox[0].subject, "desktop");
}

}  // namespace
}  // namespace mf
