#include "app/Program.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include "addressbook/AddressFile.h"
#include "addressbook/gui/AddressBookWindow.h"
#include "addressbook/gui/AddressEntryDialog.h"
#include "addressbook/gui/AddressPicker.h"
#include "base/DateTime.h"
#include "base/Random.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/CharacterWindow.h"
#include "character/gui/CharacterWindowEvents.h"
#include "charedit/gui/CharacterEditorWindow.h"
#include "charedit/gui/PictureImportWindow.h"
#include "hut/gui/HutWindow.h"
#include "mail/gui/CharPosition.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/ProgressWindows.h"
#include "mail/gui/VersionWindow.h"
#include "mail/list/gui/MailListWindow.h"
#include "mail/receive/gui/ReceivingWindowController.h"
#include "mail/receive/gui/ReturnNotice.h"
#include "mail/receive/gui/MailViewer.h"
#include "mail/send/OutboxSender.h"
#include "mail/send/SendController.h"
#include "mail/send/gui/CompositionWindow.h"
#include "mail/store/MailStore.h"
#include "platform/Autostart.h"
#include "platform/DesktopWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationWatch.h"
#include "platform/qt/DesktopNotification.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "platform/secret/SecretServiceKeyring.h"
#include "platform/x11/X11DesktopWindows.h"
#include "roster/CharacterMaking.h"
#include "settings/LiveSettings.h"
#include "settings/gui/SettingsDialog.h"
#include "widgets/ApplicationIcon.h"

namespace mf {
namespace {

// The desktop's windows from the display Qt talks to; without X11 the
// characters only know the screen's bottom edge. The list has a connection
// of its own, which follows the windows through the server's events (on
// Qt's connection those events would make Qt re-read the monitors).
std::unique_ptr<platform::DesktopWindows> OpenDesktop(platform::EventLoop& loop) {
  if (qApp->nativeInterface<QNativeInterface::QX11Application>()) {
    // $DISPLAY, as Qt's.
    auto desktop = std::make_unique<platform::X11DesktopWindows>();
    if (desktop->Connected()) {
      desktop->FollowEvents(loop);
      return desktop;
    }
  }
  auto fake = std::make_unique<platform::FakeDesktopWindows>();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->geometry();
    fake->screen = platform::Rect{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
  }
  return fake;
}

// The hut's character commands open the editor modally through this.
class ModalCharacterEditor final : public CharacterEditorLauncher {
 public:
  explicit ModalCharacterEditor(CharacterEditorWindow& window) : window_(window) {}
  void EditCharacter(const EditorOpening& opening) override {
    window_.Open(opening);
    platform::ExecAbove(window_);
  }

 private:
  CharacterEditorWindow& window_;
};

}  // namespace

Program::Program(platform::EventLoop& loop, const std::string& firstArgument)
    : characterEvents_(std::make_unique<CharacterWindowEvents>()),
      desktop_(OpenDesktop(loop)),
      edges_(std::make_unique<WindowEdgeSearch>(*desktop_)) {
  QCoreApplication::instance()->installNativeEventFilter(characterEvents_.get());
  std::string settingsPath = platform::SettingsPath();
  hut_ = std::make_unique<HutWindow>(
      HutStartup{platform::ProgramFolder(), settingsPath, firstArgument}, *edges_);

  editorDialogs_ = std::make_unique<platform::QtDialogs>();
  characterEditor_ = std::make_unique<CharacterEditorWindow>(
      *editorDialogs_, [this](int number, const std::string& id) { hut_->RegisterCharacter(number, id); });
  pictureImport_ = std::make_unique<PictureImportWindow>(*characterEditor_, *editorDialogs_, characterEditor_.get());
  characterEditor_->SetImportWindow(pictureImport_.get());
  editorLauncher_ = std::make_unique<ModalCharacterEditor>(*characterEditor_);
  hut_->SetCharacterEditor(editorLauncher_.get(), [this] { return settings_->mailAddress; });

  keyring_ = std::make_unique<platform::SecretServiceKeyring>();
  settings_ = std::make_unique<LiveSettings>(
      platform::IniFile(settingsPath),
      [this](int intervalMs, bool enabled) { hut_->ArmReceiveTimer(intervalMs, enabled); },
      [](bool enabled) { platform::SetAutostart(enabled, platform::ExecutablePath()); }, keyring_.get());
  settingsDialog_ = std::make_unique<SettingsDialog>(*settings_);

  dialogs_ = std::make_unique<platform::QtDialogs>();
  shell_ = std::make_unique<platform::QtShell>();
  clock_ = std::make_unique<SystemClock>();
  auto random = std::make_unique<MersenneRandom>();
  random->SeedFromClock();
  random_ = std::move(random);
  store_ = std::make_unique<MailStore>(platform::ProgramFolder());
  commands_ = std::make_unique<TransferCommands>();
  errors_ = std::make_unique<MailErrorRoutine>(loop, *dialogs_, *commands_);

  addressFile_ = std::make_unique<AddressFile>(platform::ProgramFolder());
  addressEntry_ = std::make_unique<AddressEntryDialog>(*addressFile_, *dialogs_);
  returnNotice_ = std::make_unique<ReturnNotice>();
  addressPicker_ = std::make_unique<AddressPicker>(*addressFile_, *addressEntry_, *dialogs_);

  const MailServices mail{*hut_,    loop,    *settings_, *store_, *clock_, *random_, *dialogs_,
                          *shell_, platform::IniFile(settingsPath), *commands_, *errors_};
  composition_ = std::make_unique<CompositionWindow>(mail);
  hut_->SetCompositionWindow(composition_.get());
  composition_->links.pickRecipients = [this] { platform::ExecAbove(*addressPicker_); };
  composition_->links.clearPickerSelection = [this](bool alsoCc) {
    addressPicker_->ClearTo();
    if (alsoCc) addressPicker_->ClearCc();
  };
  addressPicker_->SetResultHook(
      [this](const PickedAddresses& picked) { composition_->SetRecipients(picked.to, picked.cc); });
  addressBook_ = std::make_unique<AddressBookWindow>(*addressFile_, *addressEntry_, *dialogs_);
  viewer_ = std::make_unique<MailViewer>(mail, *composition_);
  // The answer and the mail it answers stand together.
  composition_->links.moveViewer = [this](QPoint topLeft) {
    if (viewer_->isVisible()) viewer_->move(topLeft);
  };
  versionWindow_ = std::make_unique<VersionWindow>(ApplicationIcon());
  receivingProgress_ = std::make_unique<ReceivingProgressWindow>();
  sendingProgress_ = std::make_unique<SendingProgressWindow>();
  auto hideProgress = [this] {
    receivingProgress_->HideProgress();
    sendingProgress_->HideProgress();
  };
  composition_->links.showSendingProgress = [this] { sendingProgress_->ShowProgress(); };
  composition_->links.hideProgress = hideProgress;
  errors_->hooks.hideProgress = hideProgress;

  receiving_ = std::make_unique<ReceivingWindowController>(mail, *hut_, *receivingProgress_, *viewer_, *returnNotice_);
  receiving_->links.hideProgress = hideProgress;
  receiving_->links.sendBusy = [this] { return composition_->Sender().Busy() || (mailList_ && mailList_->Outbox().Busy()); };

  mailList_ = std::make_unique<MailListWindow>(mail, *hut_, *composition_);
  // The mail list starts the mail position in the middle of the screen; the
  // place the user last left a character, read by the speech bubbles made
  // before it, wins.
  LoadCharPosition(platform::IniFile(settingsPath), hut_->MailPosition());
  mailList_->links.receive = [this] { receiving_->Receive(ReceiveTrigger::Manual); };
  mailList_->links.showSendingProgress = [this] { sendingProgress_->ShowProgress(); };
  mailList_->links.hideProgress = hideProgress;
  mailList_->links.hideReturnNotice = [this] { returnNotice_->hide(); };
  mailList_->links.openAddressBook = [this] { platform::ExecAbove(*addressBook_); };
  mailList_->links.addAddress = [this](const std::string& name, const std::string& address) {
    addressEntry_->OpenForSender(mailList_.get(), name, address);
  };
  mailList_->links.openSettings = [this] { settingsDialog_->ShowModalOnFirstTab(); };
  mailList_->links.showVersion = [this] { platform::ExecAbove(*versionWindow_); };
  mailList_->links.openHelp = [this] { hut_->OpenHelp(); };
  mailList_->links.presentMail = [this](const ArrivedMail& mail) { receiving_->Present(mail); };
  mailList_->links.viewerCarrier = [this] {
    return viewer_->isVisible() ? viewer_->LentCarrier() : CarrierRef{};
  };
  receiving_->links.inboxChanged = [this] { mailList_->ReloadIfShown(FolderKind::Inbox); };

  HutLinks links;
  links.receive = [this] { receiving_->Receive(ReceiveTrigger::Manual); };
  links.receivePeriodically = [this] { receiving_->Receive(ReceiveTrigger::Periodic); };
  links.receiveEnabled = [this] { return receiving_->ReceiveEnabled(); };
  links.showVersion = [this] { platform::ExecAbove(*versionWindow_); };
  links.notifyDesktop = [](const std::string& title, const std::string& text, std::function<void()> unavailable) {
    platform::ShowDesktopNotification(title, text, std::move(unavailable));
  };
  links.showMailList = [this] {
    // A list the user minimised comes back: showing it alone leaves it
    // minimised, and the menu item seemed to do nothing.
    mailList_->setWindowState(mailList_->windowState() & ~Qt::WindowMinimized);
    mailList_->show();
    mailList_->raise();
    mailList_->activateWindow();
  };
  links.mailTransferBusy = [this] {
    return !commands_->SendEnabled() || !commands_->ReceiveEnabled() || composition_->Sender().Busy() ||
           mailList_->Outbox().Busy();
  };
  links.clearReceivingFlag = [this] { receivingProgress_->SetShowSwitch(false); };
  hut_->SetLinks(std::move(links));

  spareCharacter_ = std::make_unique<CharacterWindow>(*hut_, *edges_);

  // A log-out asks first whether the program may end; the hut then lets
  // its close go through instead of hiding.
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, hut_.get(),
                   [this](QSessionManager&) { hut_->QueryEndSession(); });
  termination_ = std::make_unique<platform::TerminationWatch>(loop, [this] { hut_->EndSession(); });
}

Program::~Program() {
  // The entry dialog shown over the mail list became its child window, and
  // the mail list goes first: it would take the dialog with it, which this
  // program still owns and destroys itself.
  if (addressEntry_ && mailList_) addressEntry_->ForgetOpener(mailList_.get());
}

}  // namespace mf
