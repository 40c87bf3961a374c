#pragma once

#include <memory>
#include <string>

namespace mf {

namespace platform {
class DesktopWindows;
class EventLoop;
class TerminationWatch;
}  // namespace platform
class LiveSettings;
class TBaseSetUp;
class TCharForm;
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

 private:
  std::unique_ptr<platform::DesktopWindows> desktop_;
  std::unique_ptr<WindowEdgeSearch> edges_;
  std::unique_ptr<LiveSettings> settings_;

  // In the order of creation; members go in the reverse order.
  std::unique_ptr<TMainForm> MainForm;
  // Next: TCharEdit, TaddImageForm, TcreateNewImage, TForm1.
  std::unique_ptr<TBaseSetUp> BaseSetUp;
  // Next: Tpasonal, TRetuenForm, TselectMailAdd, TDummyForm, TNew_Mail,
  // TMailadd, TShowMailForm, TVersionInfoForm, TMailRcvingForm,
  // TMailSendingForm.
  std::unique_ptr<TCharForm> CharForm;

  std::unique_ptr<platform::TerminationWatch> termination_;
};

}  // namespace mf
