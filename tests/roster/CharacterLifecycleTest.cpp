#include "roster/CharacterLifecycle.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#include "base/DateTime.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "roster/CharacterScan.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::CharacterSetup;
using testing::MakeCharacter;

// The hut window as the rules see it: items with records and icon numbers,
// an image list of icon paths and the CharacterWindows slots.
class FakeHut final : public HutView {
 public:
  struct Item {
    std::string caption;
    CharacterRecord data;
    int image = -1;
  };
  struct Window {
    std::string id;
    std::string folder;
    bool shown = false;
    bool canGoOut = true;
  };

  int ItemCount() const override { return static_cast<int>(items.size()); }
  CharacterRecord& ItemData(int row) override { return items.at(row).data; }
  int SelectedRow() const override { return selected; }
  void AddItem(const std::string& caption, const CharacterRecord& data, const std::string& iconPath) override {
    images.push_back(iconPath);
    items.push_back({caption, data, static_cast<int>(images.size()) - 1});
  }
  void DeleteItem(int row, IconFate icon) override {
    int image = items.at(row).image;
    items.erase(items.begin() + row);
    if (selected == row) selected = -1;
    if (icon == IconFate::Keep) return;
    images.erase(images.begin() + image);
    for (auto& item : items) {
      if (item.image > image) --item.image;
    }
  }
  void SetItemCaption(int row, const std::string& caption) override { items.at(row).caption = caption; }
  void ArrangeIcons() override { ++arranged; }

  bool HasWindow(int slot) const override {
    return slot >= 0 && slot < static_cast<int>(slots.size()) && slots[slot].has_value();
  }
  int FreeSlot() const override {
    for (std::size_t i = 0; i < slots.size(); ++i) {
      if (!slots[i]) return static_cast<int>(i);
    }
    return static_cast<int>(slots.size());
  }
  void CreateCharacterWindow(int slot, const std::string& id, const std::string& folder) override {
    if (slot >= static_cast<int>(slots.size())) slots.resize(slot + 1);
    slots[slot] = Window{id, folder};
  }
  void DestroyCharacterWindow(int slot) override { slots.at(slot).reset(); }
  bool LoadScenes(int slot) override { return slots.at(slot)->canGoOut; }
  void ShowOnDesktop(int slot) override { slots.at(slot)->shown = true; }
  void HideFromDesktop(int slot) override { slots.at(slot)->shown = false; }
  void SetWindowId(int slot, const std::string& id) override { slots.at(slot)->id = id; }
  bool MailTransferBusy() const override { return busy; }
  void ForgetComposingCharacter() override { ++forgotten; }

  // Lists a character as start-up does: the next slot at the end.
  void List(const ScannedCharacter& c) {
    int slot = static_cast<int>(slots.size());
    AddItem(c.name, CharacterRecord{c.folder, c.id, c.out, slot}, c.iconPath);
    CreateCharacterWindow(slot, c.id, c.folder);
  }
  int Row(const std::string& id) const {
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (items[i].data.id == id) return static_cast<int>(i);
    }
    return -1;
  }

  std::vector<Item> items;
  std::vector<std::string> images;
  std::vector<std::optional<Window>> slots;
  int selected = -1;
  bool busy = false;
  int arranged = 0;
  int forgotten = 0;
};

DateTime At(int day, int hour, int minute) { return DateTime{2024, 5, day, hour, minute, 0, 0, 540}; }

class Lifecycle : public ::testing::Test {
 protected:
  std::string Home() const { return folder_.Path(); }

  void Make(const std::string& number, const std::string& id, const std::string& name) {
    MakeCharacter(Home(), CharacterSetup{.folderName = "char" + number, .id = id, .name = name,
                                        .scenes = testing::StandingScenes()});
  }
  // Three listed characters, as start-up would leave them.
  void StartWithThree() {
    Make("1", "<a>", "A");
    Make("2", "<b>", "B");
    Make("3", "<c>", "C");
    testing::WriteList(Home() + "visibleDB.dat", {"<a>", "<b>", "<c>"});
    Start();
  }
  void Start() {
    registry_.ClearLists();
    registry_.resurrDB.clear();
    registry_.LoadLists();
    hut_ = FakeHut{};
    for (const auto& c : ScanCharacterFolders(registry_)) hut_.List(c);
  }
  std::vector<std::string> File(const char* name) const {
    auto content = platform::ReadFile(Home() + name);
    return content ? SplitLines(*content) : std::vector<std::string>{"<missing>"};
  }

  platform::TemporaryFolder folder_;
  CharacterRegistry registry_{folder_.Path()};
  FakeHut hut_;
  FixedClock clock_{At(10, 10, 0)};
  platform::FakeDialogs dialogs_;
  CharacterLifecycle life_{registry_, hut_, clock_, dialogs_};
};

TEST_F(Lifecycle, GoingOutAndComingHomeFollowOutDbFile) {
  StartWithThree();
  hut_.selected = 1;
  life_.GoOut();
  EXPECT_TRUE(hut_.slots[1]->shown);
  EXPECT_TRUE(hut_.items[1].data.out);
  EXPECT_EQ(File("outDB.dat"), std::vector<std::string>{"<b>"});

  life_.ReturnHome(1);
  EXPECT_FALSE(hut_.slots[1]->shown);
  EXPECT_FALSE(hut_.items[1].data.out);
  EXPECT_TRUE(File("outDB.dat").empty());

  // A character that cannot go out stays in, nothing is written, and the
  // user learns why.
  hut_.slots[2]->canGoOut = false;
  hut_.selected = 2;
  life_.GoOut();
  EXPECT_FALSE(hut_.slots[2]->shown);
  EXPECT_FALSE(hut_.items[2].data.out);
  EXPECT_TRUE(registry_.outDB.empty());
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].kind, "Information");
  EXPECT_EQ(dialogs_.calls[0].text, Sj("「自由」の場所のシーンがないので外に出られません"));

  hut_.selected = -1;
  life_.GoOut();
  EXPECT_TRUE(registry_.outDB.empty());

  // Left with a mail while out and came back: outDB still names it, and
  // one trip out and home must leave it out of the file.
  registry_.outDB = {"<c>"};
  hut_.slots[2]->canGoOut = true;
  hut_.selected = 2;
  life_.GoOut();
  life_.ReturnHome(2);
  EXPECT_TRUE(File("outDB.dat").empty());
}

TEST_F(Lifecycle, TheLastCharacterNeverLeavesWithAMail) {
  Make("1", "<only>", "Only");
  testing::WriteList(Home() + "visibleDB.dat", {"<only>"});
  Start();
  EXPECT_EQ(life_.DepartWithMail("<only>"), std::nullopt);
  EXPECT_EQ(hut_.ItemCount(), 1);
  EXPECT_TRUE(hut_.HasWindow(0));
  EXPECT_TRUE(registry_.resurrDB.empty());
  EXPECT_FALSE(platform::FileExists(Home() + "resurrDB.dat"));
  EXPECT_EQ(hut_.forgotten, 0);
}

TEST_F(Lifecycle, ACharacterAwayWithAMailIsBackAtTheFirstCheckAfterADay) {
  StartWithThree();
  // It says when it is due back, as resurrDB holds it.
  EXPECT_EQ(life_.DepartWithMail("<b>"), FromDayCount(ToDayCount(At(11, 10, 0))));
  EXPECT_EQ(life_.DepartWithMail("<unknown>"), std::nullopt);  // no item: nothing

  // Gone from the hut, the window slot empty, the icon left unused.
  ASSERT_EQ(hut_.ItemCount(), 2);
  EXPECT_EQ(hut_.Row("<b>"), -1);
  EXPECT_FALSE(hut_.HasWindow(1));
  EXPECT_EQ(hut_.images.size(), 3u);
  EXPECT_EQ(hut_.items[1].image, 2);
  EXPECT_EQ(hut_.forgotten, 1);
  EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<a>", "<c>"}));
  auto away = File("resurrDB.dat");
  ASSERT_EQ(away.size(), 2u);
  EXPECT_EQ(away[0], "<b>");
  ASSERT_TRUE(ParseDayCount(away[1]));
  EXPECT_NEAR(*ParseDayCount(away[1]), ToDayCount(At(11, 10, 0)), 1e-9);
  // The folders stay.
  EXPECT_TRUE(platform::DirectoryExists(Home() + "char2"));

  // Checks every 15 minutes from 9:45 the next day; at 10:15 a receive runs.
  clock_.Set(At(11, 9, 45));
  life_.ReturnDueCharacters();
  clock_.Set(At(11, 10, 0));
  life_.ReturnDueCharacters();
  EXPECT_EQ(hut_.Row("<b>"), -1);
  hut_.busy = true;
  clock_.Set(At(11, 10, 15));
  life_.ReturnDueCharacters();
  EXPECT_EQ(hut_.Row("<b>"), -1);
  EXPECT_EQ(File("resurrDB.dat").size(), 2u);

  hut_.busy = false;
  clock_.Set(At(11, 10, 30));
  life_.ReturnDueCharacters();
  int row = hut_.Row("<b>");
  ASSERT_GE(row, 0);
  // Back in the hut, in the emptied slot, not on the desktop.
  EXPECT_EQ(hut_.items[row].caption, "B");
  EXPECT_EQ(hut_.items[row].data.index, 1);
  EXPECT_FALSE(hut_.items[row].data.out);
  EXPECT_EQ(hut_.items[row].data.folder, Home() + "char2");
  ASSERT_TRUE(hut_.HasWindow(1));
  EXPECT_EQ(hut_.slots[1]->id, "<b>");
  EXPECT_FALSE(hut_.slots[1]->shown);
  EXPECT_TRUE(File("resurrDB.dat").empty());
  EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<a>", "<c>", "<b>"}));
}

// A character is home, out or away with a mail, and the files say which,
// whatever brings it back: its day away being over, the answer it carried,
// or the user calling it to carry a forward. A restart shows what was shown.
TEST_F(Lifecycle, TheFilesAgreeWithTheHutThroughEveryTrip) {
  struct Trip {
    const char* name;
    std::function<void()> trip;
    std::vector<std::string> out;    // outDB.dat afterwards
    std::vector<std::string> away;   // resurrDB.dat afterwards, ids only
    bool listed;                     // <b> is in the hut
  };
  const std::vector<Trip> trips = {
      {"left from the desktop, home with the answer",
       [this] {
         hut_.selected = 1;
         life_.GoOut();
         life_.DepartWithMail("<b>");
         EXPECT_TRUE(File("outDB.dat").empty()) << "away is not out";
         life_.ShowAgain("2", "<b>");
       },
       {}, {}, true},
      {"called back to carry a forward",
       [this] {
         life_.DepartWithMail("<b>");
         life_.ShowAgain("2", "<b>");
       },
       {}, {}, true},
      {"called back, then away again: due a day after the second trip",
       [this] {
         life_.DepartWithMail("<b>");
         life_.ShowAgain("2", "<b>");
         clock_.Set(At(10, 12, 0));
         life_.DepartWithMail("<b>");
         clock_.Set(At(11, 10, 30));
         life_.ReturnDueCharacters();
       },
       {}, {"<b>"}, false},
      {"away, and back after its day",
       [this] {
         hut_.selected = 1;
         life_.GoOut();
         life_.DepartWithMail("<b>");
         clock_.Set(At(11, 10, 30));
         life_.ReturnDueCharacters();
       },
       {}, {}, true},
      {"a mail names it while it is home",
       [this] {
         hut_.selected = 1;
         life_.GoOut();
         life_.ShowAgain("2", "<b>");
       },
       {"<b>"}, {}, true},
  };
  for (const Trip& c : trips) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"char1", "char1r", "char2", "char2r", "char3", "char3r"}) {
      platform::RemoveFolderTreeInside(Home(), Home() + name);
    }
    for (const char* list : {"outDB.dat", "resurrDB.dat"}) platform::DeleteFileInside(Home(), Home() + list);
    clock_.Set(At(10, 10, 0));
    StartWithThree();
    c.trip();

    auto away = File("resurrDB.dat");
    std::vector<std::string> awayIds;
    for (std::size_t i = 0; i < away.size(); i += 2) awayIds.push_back(away[i]);
    if (away == std::vector<std::string>{"<missing>"}) awayIds.clear();
    EXPECT_EQ(File("outDB.dat") == std::vector<std::string>{"<missing>"} ? std::vector<std::string>{}
                                                                          : File("outDB.dat"),
              c.out);
    EXPECT_EQ(awayIds, c.away);
    EXPECT_EQ(registry_.IsVisible("<b>"), c.listed);
    const int row = hut_.Row("<b>");
    EXPECT_EQ(row >= 0, c.listed);
    if (row >= 0) EXPECT_EQ(hut_.items[row].data.out, !c.out.empty());

    // What the hut showed is what a restart shows.
    Start();
    const int again = hut_.Row("<b>");
    EXPECT_EQ(again >= 0, c.listed);
    if (again >= 0) EXPECT_EQ(hut_.items[again].data.out, !c.out.empty());
  }
}

// Lists an earlier version left contradicting each other are mended at the
// start: a listed character is home, not away; one not listed is not out.
TEST_F(Lifecycle, StartMendsListsThatContradictEachOther) {
  const std::string later = FormatDayCount(ToDayCount(At(11, 10, 0)));
  Make("1", "<a>", "A");
  Make("2", "<b>", "B");
  Make("3", "<x>", "X");
  testing::WriteList(Home() + "visibleDB.dat", {"<a>", "<b>"});
  testing::WriteList(Home() + "outDB.dat", {"<a>", "<x>"});
  testing::WriteList(Home() + "resurrDB.dat", {"<b>", later, "<x>", later, "<odd>"});
  registry_.LoadLists();
  registry_.DropContradictions();
  EXPECT_EQ(File("outDB.dat"), std::vector<std::string>{"<a>"});
  EXPECT_EQ(File("resurrDB.dat"), (std::vector<std::string>{"<x>", later, "<odd>"}));
  EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<a>", "<b>"}));
}

TEST_F(Lifecycle, TheReturnCheckStopsAtABadTimeAndKeepsUnknownCharacters) {
  StartWithThree();
  registry_.resurrDB = {"<nofolder>", "45000", "<a>", "oops", "<b>", "45000", "<odd>"};
  clock_.Set(At(11, 10, 0));
  life_.ReturnDueCharacters();
  // The unknown one waits, the bad time stops the walk before <b>.
  EXPECT_EQ(File("resurrDB.dat"), registry_.resurrDB);
  EXPECT_EQ(registry_.resurrDB.size(), 7u);

  registry_.resurrDB = {"<nofolder>", "45000", "<b>", "45000", "<odd>"};
  life_.ReturnDueCharacters();
  EXPECT_EQ(registry_.resurrDB, (std::vector<std::string>{"<nofolder>", "45000", "<odd>"}));
  // <b> was still listed: ShowAgain found it visible and listed nothing.
  EXPECT_EQ(hut_.ItemCount(), 3);
}

TEST_F(Lifecycle, ShowAgainNeedsANameAndAPicture) {
  StartWithThree();
  EXPECT_TRUE(life_.ShowAgain("1", "<a>"));  // already visible
  EXPECT_EQ(hut_.ItemCount(), 3);
  EXPECT_FALSE(life_.ShowAgain("9", "<none>"));
  MakeCharacter(Home(), CharacterSetup{.folderName = "char4", .id = "<d>", .name = ""});
  EXPECT_FALSE(life_.ShowAgain("4", "<d>"));
  // A picture count that is no number means "look far": image7 is found.
  MakeCharacter(Home(), CharacterSetup{.folderName = "char5", .id = "<e>", .name = "E",
                                      .pictureCount = "x", .pictures = {7}});
  EXPECT_TRUE(life_.ShowAgain("5", "<e>"));
  EXPECT_EQ(hut_.images.back(), Home() + "char5/image7.bmp");
  EXPECT_EQ(File("visibleDB.dat").back(), "<e>");
}

TEST_F(Lifecycle, AJourneyRemovesBothFoldersAndTheCharacterStaysGone) {
  StartWithThree();
  hut_.selected = 1;
  life_.LeaveForGood();  // the question is answered No
  ASSERT_EQ(dialogs_.calls.size(), 1u);
  EXPECT_EQ(dialogs_.calls[0].text, Sj("旅に出ると二度と戻ってきません。よろしいですか。"));
  EXPECT_EQ(hut_.ItemCount(), 3);
  EXPECT_TRUE(platform::DirectoryExists(Home() + "char2"));

  dialogs_.yesNo = {true};
  life_.LeaveForGood();
  EXPECT_FALSE(platform::DirectoryExists(Home() + "char2"));
  EXPECT_FALSE(platform::DirectoryExists(Home() + "char2r"));
  EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<a>", "<c>"}));
  EXPECT_EQ(registry_.charDB, (std::vector<std::string>{"1", "<a>", "3", "<c>"}));
  EXPECT_FALSE(hut_.HasWindow(1));
  // The icon goes and the icons behind it move up.
  ASSERT_EQ(hut_.ItemCount(), 2);
  EXPECT_EQ(hut_.images.size(), 2u);
  EXPECT_EQ(hut_.items[1].image, 1);
  EXPECT_EQ(hut_.images[1], Home() + "char3/image1.bmp");

  Start();
  EXPECT_EQ(hut_.ItemCount(), 2);
  EXPECT_EQ(hut_.Row("<b>"), -1);
}

TEST_F(Lifecycle, AJourneyNeverDeletesOutsideTheProgramFolder) {
  StartWithThree();
  platform::TemporaryFolder outside;
  platform::WriteFileAtomic(outside.Path() + "keep.txt", "mine");
  std::filesystem::remove_all(platform::NativePath(Home() + "char2r"));
  std::filesystem::create_directory_symlink(platform::NativePath(outside.Path()),
                                            platform::NativePath(Home() + "char2r"));
  hut_.selected = 1;
  dialogs_.yesNo = {true};
  life_.LeaveForGood();
  EXPECT_FALSE(platform::DirectoryExists(Home() + "char2"));
  EXPECT_TRUE(platform::FileExists(outside.Path() + "keep.txt"));
}

TEST_F(Lifecycle, TheLastCharacterOnAJourneyLeavesTheHutButKeepsItsFolders) {
  Make("1", "<only>", "Only");
  testing::WriteList(Home() + "visibleDB.dat", {"<only>"});
  Start();
  hut_.selected = 0;
  dialogs_.yesNo = {true};
  life_.LeaveForGood();
  EXPECT_EQ(hut_.ItemCount(), 0);
  EXPECT_TRUE(File("visibleDB.dat").empty());
  EXPECT_TRUE(platform::DirectoryExists(Home() + "char1"));
  EXPECT_EQ(registry_.charDB.size(), 2u);
}

// A journey takes the character off every list, so that neither the next
// start (outDB) nor a return check (resurrDB) brings it back, even where
// its folders stay: the last character keeps them, and a character that
// left with a mail may be back in the hut by another mail.
TEST_F(Lifecycle, AJourneyTakesTheCharacterOffEveryListForGood) {
  struct JourneyCase {
    const char* name;
    bool onlyCharacter;
  };
  for (const JourneyCase& c : {JourneyCase{"one of three", false}, JourneyCase{"the only one", true}}) {
    SCOPED_TRACE(c.name);
    platform::RemoveFolderTreeInside(Home(), Home() + "char1");
    for (const char* name : {"char1", "char1r", "char2", "char2r", "char3", "char3r"}) {
      platform::RemoveFolderTreeInside(Home(), Home() + name);
    }
    const std::string later = FormatDayCount(ToDayCount(At(11, 10, 0)));
    if (c.onlyCharacter) {
      Make("2", "<b>", "B");
      testing::WriteList(Home() + "visibleDB.dat", {"<b>"});
      testing::WriteList(Home() + "outDB.dat", {"<b>"});
      testing::WriteList(Home() + "resurrDB.dat", {"<b>", later});
    } else {
      Make("1", "<a>", "A");
      Make("2", "<b>", "B");
      Make("3", "<c>", "C");
      testing::WriteList(Home() + "visibleDB.dat", {"<a>", "<b>", "<c>"});
      testing::WriteList(Home() + "outDB.dat", {"<b>", "<a>", "<b>"});
      testing::WriteList(Home() + "resurrDB.dat", {"<c>", later, "<b>", later, "<b>", later});
    }
    Start();
    hut_.selected = hut_.Row("<b>");
    hut_.items[hut_.selected].data.out = false;  // in the hut, as the menu asks
    dialogs_.yesNo = {true};
    life_.LeaveForGood();

    const std::vector<std::string> none;
    EXPECT_EQ(File("visibleDB.dat"), c.onlyCharacter ? none : std::vector<std::string>({"<a>", "<c>"}));
    EXPECT_EQ(File("outDB.dat"), c.onlyCharacter ? none : std::vector<std::string>{"<a>"});
    EXPECT_EQ(File("resurrDB.dat"), c.onlyCharacter ? none : std::vector<std::string>({"<c>", later}));
    EXPECT_EQ(platform::DirectoryExists(Home() + "char2"), c.onlyCharacter);

    // The next start, the next day: it stays away.
    Start();
    clock_.Set(At(11, 10, 30));
    life_.ReturnDueCharacters();
    EXPECT_EQ(hut_.Row("<b>"), -1);
    EXPECT_EQ(File("visibleDB.dat"), c.onlyCharacter ? none : std::vector<std::string>({"<a>", "<c>"}));
    clock_.Set(At(10, 10, 0));
  }
}

// A character away with a mail comes back only whole and as itself.
TEST_F(Lifecycle, ACharacterWhoseFoldersWentAwayMeanwhileNeverComesBackBroken) {
  struct GoneCase {
    const char* name;
    std::function<void(const std::string& home)> meanwhile;
  };
  const std::vector<GoneCase> cases = {
      {"mirror folder gone", [](const std::string& home) { platform::RemoveFolderTreeInside(home, home + "char2r"); }},
      {"scene gone", [](const std::string& home) { platform::DeleteFileInside(home, home + "char2/scene.txt"); }},
      {"folder holds another character",
       [](const std::string& home) {
         platform::RemoveFolderTreeInside(home, home + "char2");
         platform::RemoveFolderTreeInside(home, home + "char2r");
         MakeCharacter(home, CharacterSetup{.folderName = "char2", .id = "<new>", .name = "New",
                                            .scenes = testing::StandingScenes()});
       }},
  };
  for (const GoneCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (const char* name : {"char1", "char1r", "char2", "char2r", "char3", "char3r"}) {
      platform::RemoveFolderTreeInside(Home(), Home() + name);
    }
    platform::DeleteFileInside(Home(), Home() + "resurrDB.dat");
    clock_.Set(At(10, 10, 0));
    StartWithThree();
    life_.DepartWithMail("<b>");
    c.meanwhile(Home());
    clock_.Set(At(11, 10, 30));
    life_.ReturnDueCharacters();
    EXPECT_EQ(hut_.Row("<b>"), -1);
    EXPECT_EQ(hut_.ItemCount(), 2);
    EXPECT_FALSE(hut_.HasWindow(1));
    EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<a>", "<c>"}));
    EXPECT_TRUE(File("resurrDB.dat").empty()) << "tried again at every check";
  }
}

TEST_F(Lifecycle, RegisteringANewFolderListsItInTheFirstFreeSlot) {
  StartWithThree();
  life_.DepartWithMail("<a>");  // empties slot 0
  Make("7", "<new>", "New");
  life_.RegisterCharacter(7, "<new>");
  life_.RegisterCharacter(0, "<zero>");
  life_.RegisterCharacter(-3, "<minus>");
  EXPECT_EQ(registry_.charDB.size(), 8u);
  EXPECT_EQ(registry_.charDB[6], "7");
  EXPECT_EQ(registry_.charDB[7], "<new>");
  EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<b>", "<c>", "<new>"}));
  int row = hut_.Row("<new>");
  ASSERT_GE(row, 0);
  EXPECT_EQ(hut_.items[row].caption, "New");
  EXPECT_EQ(hut_.items[row].data.index, 0);
  EXPECT_EQ(hut_.slots[0]->id, "<new>");
  EXPECT_EQ(hut_.slots[0]->folder, Home() + "char7");
}

TEST_F(Lifecycle, EvolutionGivesTheFolderItsNewIdEverywhere) {
  StartWithThree();
  registry_.outDB = {"<x>", "<b>"};
  registry_.SaveOut();
  // The editor rewrote scene.txt with a new id and name; the selection moved on.
  Make("2", "<b2>", "B evolved");
  hut_.selected = 0;
  life_.RegisterCharacter(2, "<b2>");

  EXPECT_EQ(registry_.charDB, (std::vector<std::string>{"1", "<a>", "2", "<b2>", "3", "<c>"}));
  EXPECT_EQ(File("visibleDB.dat"), (std::vector<std::string>{"<a>", "<b2>", "<c>"}));
  EXPECT_EQ(registry_.outDB, (std::vector<std::string>{"<x>", "<b2>"}));
  // At once: a restart must know the character by its new id.
  EXPECT_EQ(File("outDB.dat"), registry_.outDB);
  EXPECT_EQ(hut_.items[1].caption, "B evolved");
  EXPECT_EQ(hut_.items[1].data.id, "<b2>");
  EXPECT_EQ(hut_.slots[1]->id, "<b2>");
  EXPECT_EQ(hut_.items[0].caption, "A");
  EXPECT_EQ(hut_.ItemCount(), 3);
}

}  // namespace
}  // namespace mf
