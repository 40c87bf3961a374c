#pragma once

#include <memory>
#include <string>

namespace mf {

namespace platform {
class DesktopWindows;
class Dialogs;
class EventLoop;
class Shell;
class TerminationWatch;
}  // namespace platform
class AddressFile;
class Clock;
class LiveSettings;
class MailErrorRoutine;
class MailStore;
class RandomGenerator;
class TMailadd;
class ReceivingWindowController;
class TMailRcvingForm;
class TMailSendingForm;
class TNew_Mail;
class TRetuenForm;
class TShowMailForm;
class TVersionInfoForm;
class Tpasonal;
class TselectMailAdd;
class TransferCommands;
class CharacterEditorLauncher;
class TBaseSetUp;
class TCharEdit;
class TaddImageForm;
class TCharForm;
class TForm1;
class TMainForm;
class WindowEdgeSearch;

// The running program: every window, created once in a fixed order, hut
// first, and kept until the program ends.
class Program {
 public:
  Program(platform::EventLoop& loop, const std::string& firstArgument);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  TMainForm& Hut() { return *MainForm; }
  // The spare character window: never on the desktop; other windows read
  // the picture size from it.
  TCharForm& SpareCharForm() { return *CharForm; }
  TNew_Mail& Composition() { return *New_Mail; }
  TMailSendingForm& SendingProgress() { return *MailSendingForm; }
  // The address book window and its entry dialog (the mail list opens both).
  TMailadd& AddressBook() { return *Mailadd; }
  Tpasonal& AddressEntry() { return *pasonal; }
  TselectMailAdd& RecipientPicker() { return *selectMailAdd; }
  TShowMailForm& Viewer() { return *ShowMailForm; }
  ReceivingWindowController& Receiving() { return *receiving_; }
  TForm1& MailList() { return *Form1; }
  TBaseSetUp& SettingsDialog() { return *BaseSetUp; }
  TCharEdit& CharacterEditor() { return *CharEdit; }
  TaddImageForm& PictureImport() { return *addImageForm; }

 private:
  std::unique_ptr<platform::DesktopWindows> desktop_;
  std::unique_ptr<WindowEdgeSearch> edges_;
  std::unique_ptr<LiveSettings> settings_;
  // What the mail windows share.
  std::unique_ptr<platform::Dialogs> dialogs_;
  std::unique_ptr<platform::Shell> shell_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<RandomGenerator> random_;
  std::unique_ptr<MailStore> store_;
  std::unique_ptr<TransferCommands> commands_;
  std::unique_ptr<MailErrorRoutine> errors_;
  std::unique_ptr<AddressFile> addressFile_;

  // In the order of creation; members go in the reverse order.
  std::unique_ptr<TMainForm> MainForm;
  // The character editor and its picture import window (which makes the
  // picture creation window); the hut opens the editor through the launcher.
  std::unique_ptr<platform::Dialogs> editorDialogs_;
  std::unique_ptr<TCharEdit> CharEdit;
  std::unique_ptr<TaddImageForm> addImageForm;
  std::unique_ptr<CharacterEditorLauncher> editorLauncher_;
  // Next: TForm1.
  std::unique_ptr<TBaseSetUp> BaseSetUp;
  std::unique_ptr<Tpasonal> pasonal;
  std::unique_ptr<TRetuenForm> RetuenForm;
  std::unique_ptr<TselectMailAdd> selectMailAdd;
  std::unique_ptr<TNew_Mail> New_Mail;
  std::unique_ptr<TMailadd> Mailadd;
  std::unique_ptr<TShowMailForm> ShowMailForm;
  std::unique_ptr<TVersionInfoForm> VersionInfoForm;
  std::unique_ptr<TMailRcvingForm> MailRcvingForm;
  std::unique_ptr<TMailSendingForm> MailSendingForm;
  std::unique_ptr<TCharForm> CharForm;
  // The receive command, until the mail list window takes it over.
  std::unique_ptr<ReceivingWindowController> receiving_;
  // The mail list window: it uses every mail window above, so it goes first.
  std::unique_ptr<TForm1> Form1;

  std::unique_ptr<platform::TerminationWatch> termination_;
};

}  // namespace mf
