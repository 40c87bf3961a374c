#include "app/Program.h"

#include <QGuiApplication>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include "addressbook/AddressFile.h"
#include "addressbook/gui/TMailadd.h"
#include "addressbook/gui/Tpasonal.h"
#include "addressbook/gui/TselectMailAdd.h"
#include "base/DateTime.h"
#include "base/Random.h"
#include "character/WindowEdgeSearch.h"
#include "character/gui/TCharForm.h"
#include "charedit/gui/TCharEdit.h"
#include "charedit/gui/TaddImageForm.h"
#include "hut/gui/TMainForm.h"
#include "mail/gui/CharPosition.h"
#include "mail/gui/MailErrorRoutine.h"
#include "mail/gui/ProgressWindows.h"
#include "mail/gui/TVersionInfoForm.h"
#include "mail/list/gui/TForm1.h"
#include "mail/receive/gui/ReceivingWindowController.h"
#include "mail/receive/gui/TRetuenForm.h"
#include "mail/receive/gui/TShowMailForm.h"
#include "mail/send/OutboxSender.h"
#include "mail/send/SendController.h"
#include "mail/send/gui/TNew_Mail.h"
#include "mail/store/MailStore.h"
#include "platform/Autostart.h"
#include "platform/DesktopWindows.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationWatch.h"
#include "platform/qt/DesktopNotification.h"
#include "platform/qt/DialogOwner.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtShell.h"
#include "platform/x11/X11DesktopWindows.h"
#include "roster/CharacterMaking.h"
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

// The hut's character commands open the editor modally through this.
class ModalCharacterEditor final : public CharacterEditorLauncher {
 public:
  explicit ModalCharacterEditor(TCharEdit& window) : window_(window) {}
  void EditCharacter(const EditorOpening& opening) override {
    window_.Open(opening);
    platform::ExecAbove(window_);
  }

 private:
  TCharEdit& window_;
};

}  // namespace

Program::Program(platform::EventLoop& loop, const std::string& firstArgument)
    : desktop_(OpenDesktop()), edges_(std::make_unique<WindowEdgeSearch>(*desktop_)) {
  std::string settingsPath = platform::SettingsPath();
  MainForm = std::make_unique<TMainForm>(
      HutStartup{platform::ProgramFolder(), settingsPath, firstArgument}, *edges_);

  editorDialogs_ = std::make_unique<platform::QtDialogs>();
  CharEdit = std::make_unique<TCharEdit>(
      *editorDialogs_, [this](int number, const std::string& id) { MainForm->RegisterCharacter(number, id); });
  addImageForm = std::make_unique<TaddImageForm>(*CharEdit, *editorDialogs_, CharEdit.get());
  CharEdit->SetImportWindow(addImageForm.get());
  editorLauncher_ = std::make_unique<ModalCharacterEditor>(*CharEdit);
  MainForm->SetCharacterEditor(editorLauncher_.get(), [this] { return settings_->mailAddress; });

  settings_ = std::make_unique<LiveSettings>(
      platform::IniFile(settingsPath),
      [this](int intervalMs, bool enabled) { MainForm->ArmReceiveTimer(intervalMs, enabled); },
      [](bool enabled) { platform::SetAutostart(enabled, platform::ExecutablePath()); });
  BaseSetUp = std::make_unique<TBaseSetUp>(*settings_);

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
  pasonal = std::make_unique<Tpasonal>(*addressFile_, *dialogs_);
  RetuenForm = std::make_unique<TRetuenForm>();
  selectMailAdd = std::make_unique<TselectMailAdd>(*addressFile_, *pasonal, *dialogs_);

  New_Mail = std::make_unique<TNew_Mail>(CompositionContext{*MainForm, loop, *settings_, *store_, *clock_, *random_,
                                                            *dialogs_, *shell_, platform::IniFile(settingsPath),
                                                            *commands_, *errors_});
  MainForm->SetCompositionWindow(New_Mail.get());
  New_Mail->links.pickRecipients = [this] { platform::ExecAbove(*selectMailAdd); };
  New_Mail->links.clearPickerSelection = [this] { selectMailAdd->ClearTo(); };
  selectMailAdd->SetResultHook(
      [this](const PickedAddresses& picked) { New_Mail->SetRecipients(picked.to, picked.cc); });
  Mailadd = std::make_unique<TMailadd>(*addressFile_, *pasonal, *dialogs_);
  ShowMailForm = std::make_unique<TShowMailForm>(
      ViewerContext{*MainForm, *dialogs_, *shell_, platform::IniFile(settingsPath), *New_Mail, *errors_});
  // The answer and the mail it answers stand together.
  New_Mail->links.moveViewer = [this](QPoint topLeft) {
    if (ShowMailForm->isVisible()) ShowMailForm->move(topLeft);
  };
  VersionInfoForm = std::make_unique<TVersionInfoForm>(HutIcon());
  MailRcvingForm = std::make_unique<TMailRcvingForm>();
  MailSendingForm = std::make_unique<TMailSendingForm>();
  auto hideProgress = [this] {
    MailRcvingForm->HideProgress();
    MailSendingForm->HideProgress();
  };
  New_Mail->links.showSendingProgress = [this] { MailSendingForm->ShowProgress(); };
  New_Mail->links.hideProgress = hideProgress;
  errors_->hooks.hideProgress = hideProgress;

  receiving_ = std::make_unique<ReceivingWindowController>(
      ReceivingContext{loop, *settings_, *store_, *MainForm, *MainForm, *random_, *clock_, *dialogs_, *commands_,
                       *errors_, *MailRcvingForm, *ShowMailForm, *RetuenForm});
  receiving_->links.hideProgress = hideProgress;
  receiving_->links.sendBusy = [this] { return New_Mail->Sender().Busy() || (Form1 && Form1->Outbox().Busy()); };

  Form1 = std::make_unique<TForm1>(MailListContext{*MainForm, *MainForm, loop, *settings_, *store_, *clock_, *random_,
                                                   *dialogs_, *shell_, platform::IniFile(settingsPath), *commands_,
                                                   *errors_, *New_Mail});
  // The mail list starts the mail position in the middle of the screen; the
  // place the user last left a character, read by the speech bubbles made
  // before it, wins.
  LoadCharPosition(platform::IniFile(settingsPath), MainForm->MailPosition());
  Form1->links.receive = [this] { receiving_->MailRcvClick(ReceiveTrigger::Manual); };
  Form1->links.showSendingProgress = [this] { MailSendingForm->ShowProgress(); };
  Form1->links.hideProgress = hideProgress;
  Form1->links.hideReturnNotice = [this] { RetuenForm->hide(); };
  Form1->links.openAddressBook = [this] { platform::ExecAbove(*Mailadd); };
  Form1->links.addAddress = [this](const std::string& name, const std::string& address) {
    pasonal->OpenForSender(Form1.get(), name, address);
  };
  Form1->links.openSettings = [this] { BaseSetUp->ShowModalOnFirstTab(); };
  Form1->links.showVersion = [this] { platform::ExecAbove(*VersionInfoForm); };
  Form1->links.openHelp = [this] { MainForm->OpenHelp(); };
  Form1->links.presentMail = [this](const ArrivedMail& mail) { receiving_->Present(mail); };
  Form1->links.viewerCarrier = [this] {
    return ShowMailForm->isVisible() ? ShowMailForm->LentCharacter : CarrierRef{};
  };
  receiving_->links.inboxChanged = [this] { Form1->ReloadIfShown(FolderKind::Inbox); };

  HutLinks links;
  links.receive = [this] { receiving_->MailRcvClick(ReceiveTrigger::Manual); };
  links.receivePeriodically = [this] { receiving_->MailRcvClick(ReceiveTrigger::Periodic); };
  links.receiveEnabled = [this] { return receiving_->ReceiveEnabled(); };
  links.showVersion = [this] { platform::ExecAbove(*VersionInfoForm); };
  links.notifyDesktop = [](const std::string& title, const std::string& text, std::function<void()> unavailable) {
    platform::ShowDesktopNotification(title, text, std::move(unavailable));
  };
  links.showMailList = [this] {
    Form1->show();
    Form1->raise();
    Form1->activateWindow();
  };
  links.mailTransferBusy = [this] {
    return !commands_->SendEnabled() || !commands_->ReceiveEnabled() || New_Mail->Sender().Busy() ||
           Form1->Outbox().Busy();
  };
  links.clearReceivingFlag = [this] { MailRcvingForm->SetShowSwitch(false); };
  MainForm->SetLinks(std::move(links));

  CharForm = std::make_unique<TCharForm>(*MainForm, *edges_);

  // A log-out asks first whether the program may end; the hut then lets
  // its close go through instead of hiding.
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, MainForm.get(),
                   [this](QSessionManager&) { MainForm->QueryEndSession(); });
  termination_ = std::make_unique<platform::TerminationWatch>(loop, [this] { MainForm->EndSession(); });
}

Program::~Program() {
  // The entry dialog shown over the mail list became its child window, and
  // the mail list goes first: it would take the dialog with it, which this
  // program still owns and destroys itself.
  if (pasonal && Form1) pasonal->ForgetOpener(Form1.get());
}

}  // namespace mf
