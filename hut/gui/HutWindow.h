#pragma once

#include <QListWidgetItem>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Random.h"
#include "character/CharacterHost.h"
#include "hut/HutMenu.h"
#include "mail/gui/MailHost.h"
#include "mail/receive/CharacterArrival.h"
#include "roster/CharacterRecord.h"
#include "roster/CharacterLifecycle.h"
#include "roster/CharacterMaking.h"
#include "roster/CharacterRegistry.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QSystemTrayIcon;
class QTimer;

namespace mf {

namespace platform {
class Dialogs;
class Shell;
class WindowMessageReader;
}
class Clock;
class CompositionOpener;
class HutMenuBar;
class MenuLabel;
class PassingNotice;
class CharacterWindow;
class WindowEdgeSearch;

// The hut's private window messages; their numbers are fixed because other
// copies of the program send them.
inline constexpr std::uint32_t WM_TRAYNOTIFY = 1738;
inline constexpr std::uint32_t WM_SHOWHUT = 1739;
// Mouse messages a tray notification carries.
inline constexpr std::int32_t kTrayLeftButtonUp = 514;
inline constexpr std::int32_t kTrayLeftDoubleClick = 515;
inline constexpr std::int32_t kTrayRightButtonUp = 517;
inline constexpr std::int32_t kTrayMiddleButtonUp = 520;

// One character in the hut's list; it owns the character's record.
class CharacterItem final : public QListWidgetItem {
 public:
  CharacterItem(const QString& caption, CharacterRecord data) : QListWidgetItem(caption), data(std::move(data)) {}
  CharacterRecord data;
  int imageIndex = -1;  // its icon in CharacterIcons
};

// What the hut needs to start.
struct HutStartup {
  std::string programFolder;  // with trailing separator
  std::string settingsPath;   // where [Main] Handle is written
  std::string firstArgument;  // "/s" starts without showing the hut
  // The clock and message boxes of the character rules; the system's own
  // when not given (tests give theirs).
  const Clock* clock = nullptr;
  platform::Dialogs* dialogs = nullptr;
  // The desktop's handler that opens the user guide; the system's own when
  // not given.
  platform::Shell* shell = nullptr;
  // The folders the user guide is looked for in; beside the executable and
  // in an install's shared folder when empty.
  std::vector<std::string> guideFolders{};
  // Whether the desktop shows a system tray now; Qt's answer when not
  // given.
  std::function<bool()> trayAvailable{};
  // How long a start with "/s" waits for a tray to come up (a panel
  // started with the same session may come after the program) before it
  // shows the hut, as nothing else could bring the hut up.
  int trayWaitMs = 5000;
};

// What the hut reaches in the windows created after it; the program wires
// every one (a debug build stops on a command whose link it did not wire).
struct HutLinks {
  std::function<void()> showMailList;              // the mail list window
  std::function<void()> receive;                   // its receive command
  std::function<void()> receivePeriodically;       // the same, run by the timer (`receive` when empty)
  std::function<bool()> receiveEnabled;            // its receive button is enabled
  std::function<bool()> mailTransferBusy;          // it sends or receives
  std::function<void()> clearReceivingFlag;        // the receiving progress window
  std::function<void()> showVersion;               // the version window, modal
  // A notice in passing where there is no tray for a balloon: the
  // desktop's notifications, which run `unavailable` when they cannot show
  // it. Shift_JIS.
  std::function<void(const std::string& title, const std::string& text, std::function<void()> unavailable)>
      notifyDesktop;
};

// The hut ("小屋"): the program's main window, house-shaped and borderless,
// listing the visible characters. It owns the character registry and one
// character window per listed character, the tray icon and its menu.
class HutWindow final : public QWidget,
                        public CharacterHost,
                        public MailHost,
                        public ReceivingHut,
                        private HutView {
  Q_OBJECT

 public:
  // Client size and the panels of the layout, in pixels.
  static constexpr int kWidth = 444;
  static constexpr int kHeight = 354;
  static constexpr int kRoofHeight = 97;  // roofPanel
  static constexpr int kSideWidth = 50;   // leftStrip, rightStrip
  static constexpr int kMenuHeight = 25;  // menuStrip
  static constexpr int kRoofRise = 100;   // the roof's apex above roofPanel's top
  static constexpr int kTrayIconId = 714;

  // `edges` is shared by every character window and must outlive the hut.
  HutWindow(HutStartup startup, WindowEdgeSearch& edges);
  ~HutWindow() override;

  // Ends the program when asked to (tray menu, session end); the program
  // passes the end of its loop.
  void SetEndProgram(std::function<void()> endProgram) { endProgram_ = std::move(endProgram); }

  // Whether start-up showed the hut (no "/s").
  bool ShowAtStart() const { return showAtStart_; }

  // Private window messages and the tray callback.
  void WindowMessage(std::uint32_t message, std::int32_t wParam, std::int32_t lParam);
  void WMShowHut();
  void WMTrayNotify(std::int32_t mouseMessage);

  // Tray menu commands.
  void OpenHut();
  void Quit();
  // Whether the desktop shows a system tray now. Without one, closing the
  // hut ends the program as "終了(&X)" does: nothing else could end it or
  // bring the hut back.
  bool TrayAvailable() const;

  // The session ends (log-out, shutdown): the next close ends the program.
  void QueryEndSession();
  // The session or a signal ends the program now, without asking.
  void EndSession();
  bool ExitPermitted() const { return exitPermitted_; }

  // Writes this window's id to [Main] Handle.
  void SaveHutHandle();

  // The periodic receive timer; armed by the settings.
  void ArmReceiveTimer(int intervalMs, bool enabled);
  // The mail list window's receive command, run by the timer.
  void SetReceiveCommand(std::function<void()> receive) { links_.receive = std::move(receive); }
  void SetLinks(HutLinks links) { links_ = std::move(links); }
  void ReceiveOnTimer();

  // The character commands of the right-click menu and the menu bar.
  void PrepareCharacterMenu();
  void GoOut() { lifecycle_.GoOut(); }
  void ReturnSelectedHome();
  void WriteMail();
  void EditCharacter();
  void HaveChild();
  void LeaveForGood() { lifecycle_.LeaveForGood(); }
  void NewCharacter();
  // The character editor the three commands above open, and the user's mail
  // address their new ids are made from; created after the hut.
  void SetCharacterEditor(CharacterEditorLauncher* editor, std::function<std::string()> senderAddress);
  void ReceiveMail();
  void ShowMailList();
  void ShowVersion();
  // Opens the user guide.
  void OpenHelp();
  void RunMenuCommand(MenuCommand command);

  // Hut operations the other windows use.
  // A character leaving with a mail says so in passing, with the time it
  // comes back.
  void DepartWithMail(const std::string& id) override;
  bool ShowAgain(const std::string& number, const std::string& id) override {
    return lifecycle_.ShowAgain(number, id);
  }
  void RegisterCharacter(int number, const std::string& id) override { lifecycle_.RegisterCharacter(number, id); }
  // ReceivingHut: the lists a received mail's character is chosen from.
  const std::vector<std::string>& CharDB() const override { return registry_.charDB; }
  const std::vector<std::string>& VisibleDB() const override { return registry_.VisibleDB; }
  void ReturnDueCharacters() { lifecycle_.ReturnDueCharacters(); }
  // An item is about to go: its record goes with it.
  void DropItemRecord(CharacterItem* item);

  // CharacterHost.
  void ReturnHome(int index) override;
  void SendMailByCharacter(const std::string& id) override;
  ScreenPoint& MailPosition() override { return *mailPosition_; }
  // The mail position kept by the mail list window replaces the hut's own.
  void UseMailPosition(ScreenPoint& position) { mailPosition_ = &position; }

  // Writes a mail carried by the item's character: its package made or
  // re-made when missing or unsound, the character parked beside the
  // composition window shown modally, and given back afterwards unless it
  // left with the mail. False when the package cannot be made.
  bool SendMailBy(CharacterItem* item);
  // The composition window, created after the hut.
  void SetCompositionWindow(CompositionOpener* composition);

  // MailHost: the mail windows reach the character windows through the hut.
  std::optional<CarrierPlace> PlaceOf(const CarrierRef& carrier) const override;
  void MoveCarrier(const CarrierRef& carrier, ScreenPoint topLeft) override;
  void BringCarrierIntoView(const CarrierRef& carrier) override;
  void RestoreCarrier(const CarrierRef& carrier) override;
  bool SendMailByCharacterId(const std::string& id) override;
  bool ListsCharacter(const std::string& id) const override { return FirstItemWithId(id) != nullptr; }
  CarrierRef LendCharacter(const std::string& id) override;

  // Lists a character: a list item captioned `name` with its record, a
  // character window in slot `slot` (-1: a new slot at the end) and the
  // picture at `iconPath` as its icon. The window stays hidden.
  CharacterItem* AddCharacter(const std::string& name, const std::string& folder, const std::string& id,
                          bool out, const std::string& iconPath, int slot = -1);
  // The first empty slot of CharacterWindows, or the next one at the end.
  int FreeSlot() const override;

  // The hut's registry and character windows.
  CharacterRegistry& Registry() { return registry_; }
  std::vector<std::unique_ptr<CharacterWindow>>& CharacterWindows() { return characterWindows_; }
  CharacterItem* Item(int row) const;
  int ItemCount() const override;
  // The selected item, or null.
  CharacterItem* SelectedItem() const;
  HutMenuBar& MenuBar() { return *menuBar_; }
  // The notice shown where neither a tray nor the desktop can show one.
  PassingNotice& OwnNotice() { return *ownNotice_; }
  std::vector<QPixmap>& CharacterIcons() { return characterIcons_; }
  // The user guide (where it is expected when it is missing).
  const std::string& HelpFile() const { return helpFile_; }
  // The hut's shape in window coordinates.
  const QRegion& HutRegion() const { return hutRegion_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Moves the hut wholly onto the monitor that shows most of it.
  void KeepOnOneMonitor();
  void BuildControls();
  void Start();
  void ShapeHut();
  void BuildPopupMenu();
  bool ReceiveEnabled() const { return !links_.receiveEnabled || links_.receiveEnabled(); }

  // HutView: what the character rules do to the window.
  CharacterRecord& ItemData(int row) override;
  int SelectedRow() const override;
  void AddItem(const std::string& caption, const CharacterRecord& data, const std::string& iconPath) override;
  void DeleteItem(int row, IconFate icon) override;
  void SetItemCaption(int row, const std::string& caption) override;
  void ArrangeIcons() override;
  bool HasWindow(int slot) const override;
  void CreateCharacterWindow(int slot, const std::string& id, const std::string& folder) override;
  void DestroyCharacterWindow(int slot) override;
  bool LoadScenes(int slot) override;
  void ShowOnDesktop(int slot) override;
  void HideFromDesktop(int slot) override;
  void SetWindowId(int slot, const std::string& id) override;
  bool MailTransferBusy() const override;
  void ForgetComposingCharacter() override;
  void AddTrayIcon();
  void RemoveTrayIcon();
  // The end of the program: the tray's "終了(&X)", a session end, or
  // closing the hut on a desktop without a tray.
  void EndProgram();
  // A start with "/s" on a desktop that has shown no tray by now.
  void ShowIfNoTray();
  // Tells the user something in passing (a character left with a mail): a
  // tray balloon, else a desktop notification, else a notice of the
  // program's own near `near`.
  void Notify(const std::string& title, const std::string& text, QPoint near);
  // Where a notice about the character in `slot` is seen: where it stood,
  // else by the hut, else mid-screen.
  QPoint NoticePlace(int slot) const;
  // The window of a lent character while it is still the one lent.
  CharacterWindow* CarrierWindow(const CarrierRef& carrier) const;
  CharacterItem* FirstItemWithId(const std::string& id) const;
  // True, with the window brought forward, while a mail is being written.
  bool ShowOpenComposition();
  platform::Dialogs& Dialogs();
  // Deletes retired character windows once no call of theirs can be running.
  void ScheduleRetiredDeletion();

  HutStartup startup_;
  WindowEdgeSearch& edges_;
  CharacterRegistry registry_;
  std::unique_ptr<Clock> ownClock_;
  std::unique_ptr<platform::Dialogs> ownDialogs_;
  std::unique_ptr<platform::Shell> ownShell_;
  CharacterLifecycle lifecycle_;
  MersenneRandom random_;
  CharacterMaking making_;
  CharacterEditorLauncher* characterEditor_ = nullptr;
  std::function<std::string()> senderAddress_;
  std::unique_ptr<HutMenuBar> menuBar_;
  HutLinks links_;
  std::vector<std::unique_ptr<CharacterWindow>> characterWindows_;
  // Character windows that left (a journey, a mail) but may still be on the
  // call stack: a window whose own menu started the mail that made it leave.
  std::vector<std::unique_ptr<CharacterWindow>> retired_;
  int composingDepth_ = 0;  // SendMailBy calls running
  // The composition window; a window that goes before the hut is
  // forgotten through the guard.
  CompositionOpener* composition_ = nullptr;
  QPointer<QObject> compositionGuard_;
  bool compositionGuarded_ = false;
  CompositionOpener* Composer() const;
  std::vector<QPixmap> characterIcons_;
  QRegion hutRegion_;
  std::string helpFile_;
  bool helpFound_ = false;
  bool showAtStart_ = true;
  bool exitPermitted_ = false;
  std::function<void()> endProgram_;
  ScreenPoint ownMailPosition_;
  ScreenPoint* mailPosition_ = &ownMailPosition_;
  std::unique_ptr<platform::WindowMessageReader> messages_;
  std::unique_ptr<PassingNotice> ownNotice_;
  // Roof dragging.
  bool roofDragging_ = false;
  QPoint roofPress_;

  // Controls.
  QWidget* roofPanel_;   // roof
  QWidget* leftStrip_;   // left strip, outside the shape
  QWidget* rightStrip_;  // right strip, outside the shape
  QWidget* bodyPanel_;   // body
  QWidget* menuStrip_;   // menu bar strip
  QListWidget* characterList_;
  QMenu* characterMenu_;
  QAction* goOutAction_;
  QAction* returnHomeAction_;
  QAction* writeMailAction_;
  QAction* evolveAction_;
  QAction* haveChildAction_;
  QAction* leaveForGoodAction_;
  QAction* newCharacterAction_;
  QAction* receiveAction_;
  QTimer* receiveTimer_;
  QTimer* returnTimer_;
  QTimer* trayWaitTimer_;  // a start with "/s" waits this long for a tray
  QSystemTrayIcon* trayIcon_ = nullptr;
  QMenu* trayMenu_;
  QAction* openHutAction_;
  QAction* exitAction_;
};

}  // namespace mf
