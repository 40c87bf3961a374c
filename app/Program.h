#pragma once

#include <memory>
#include <string>

namespace mf {

namespace platform {
class DesktopWindows;
class Dialogs;
class EventLoop;
class Keyring;
class Shell;
class TerminationWatch;
}  // namespace platform
class AddressFile;
class Clock;
class LiveSettings;
class MailErrorRoutine;
class MailStore;
class RandomGenerator;
class AddressBookWindow;
class ReceivingWindowController;
class ReceivingProgressWindow;
class SendingProgressWindow;
class CompositionWindow;
class ReturnNotice;
class MailViewer;
class VersionWindow;
class AddressEntryDialog;
class AddressPicker;
class TransferCommands;
class CharacterEditorLauncher;
class SettingsDialog;
class CharacterEditorWindow;
class PictureImportWindow;
class CharacterWindow;
class CharacterWindowEvents;
class MailListWindow;
class HutWindow;
class WindowEdgeSearch;

// The running program: every window, created once in a fixed order, hut
// first, and kept until the program ends.
class Program {
 public:
  Program(platform::EventLoop& loop, const std::string& firstArgument);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  HutWindow& Hut() { return *hut_; }
  // The spare character window: never on the desktop; other windows read
  // the picture size from it.
  CharacterWindow& SpareCharacterWindow() { return *spareCharacter_; }
  CompositionWindow& Composition() { return *composition_; }
  SendingProgressWindow& SendingProgress() { return *sendingProgress_; }
  // The address book window and its entry dialog (the mail list opens both).
  AddressBookWindow& AddressBook() { return *addressBook_; }
  AddressEntryDialog& AddressEntry() { return *addressEntry_; }
  AddressPicker& RecipientPicker() { return *addressPicker_; }
  MailViewer& Viewer() { return *viewer_; }
  ReceivingWindowController& Receiving() { return *receiving_; }
  MailListWindow& MailList() { return *mailList_; }
  SettingsDialog& Settings() { return *settingsDialog_; }
  CharacterEditorWindow& CharacterEditor() { return *characterEditor_; }
  PictureImportWindow& PictureImport() { return *pictureImport_; }

 private:
  std::unique_ptr<CharacterWindowEvents> characterEvents_;
  std::unique_ptr<platform::DesktopWindows> desktop_;
  std::unique_ptr<WindowEdgeSearch> edges_;
  std::unique_ptr<platform::Keyring> keyring_;
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
  std::unique_ptr<HutWindow> hut_;
  // The character editor and its picture import window (which makes the
  // picture creation window); the hut opens the editor through the launcher.
  std::unique_ptr<platform::Dialogs> editorDialogs_;
  std::unique_ptr<CharacterEditorWindow> characterEditor_;
  std::unique_ptr<PictureImportWindow> pictureImport_;
  std::unique_ptr<CharacterEditorLauncher> editorLauncher_;
  // Next: MailListWindow.
  std::unique_ptr<SettingsDialog> settingsDialog_;
  std::unique_ptr<AddressEntryDialog> addressEntry_;
  std::unique_ptr<ReturnNotice> returnNotice_;
  std::unique_ptr<AddressPicker> addressPicker_;
  std::unique_ptr<CompositionWindow> composition_;
  std::unique_ptr<AddressBookWindow> addressBook_;
  std::unique_ptr<MailViewer> viewer_;
  std::unique_ptr<VersionWindow> versionWindow_;
  std::unique_ptr<ReceivingProgressWindow> receivingProgress_;
  std::unique_ptr<SendingProgressWindow> sendingProgress_;
  std::unique_ptr<CharacterWindow> spareCharacter_;
  // The receive command, until the mail list window takes it over.
  std::unique_ptr<ReceivingWindowController> receiving_;
  // The mail list window: it uses every mail window above, so it goes first.
  std::unique_ptr<MailListWindow> mailList_;

  std::unique_ptr<platform::TerminationWatch> termination_;
};

}  // namespace mf
