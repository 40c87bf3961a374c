#pragma once

#include <string>
#include <vector>

#include "base/DateTime.h"
#include "mail/receive/CharacterArrival.h"
#include "platform/Dialogs.h"
#include "roster/CharacterLifecycle.h"
#include "roster/CharacterRegistry.h"
#include "roster/CharacterScan.h"

namespace mf::tool {

// The hut without windows: the registry's lists and rules, items kept only
// as records, so that a character arriving by mail is registered exactly as
// the running program would register it.
class HeadlessHut final : public HutView, public ReceivingHut {
 public:
  explicit HeadlessHut(const std::string& programFolder)
      : registry_(programFolder), lifecycle_(registry_, *this, clock_, dialogs_) {
    registry_.ClearLists();
    registry_.LoadLists();
    for (const auto& character : ScanCharacterFolders(registry_)) {
      items_.push_back(CharacterRecord{character.folder, character.id, character.out, static_cast<int>(items_.size())});
    }
  }

  // ReceivingHut
  const std::vector<std::string>& CharDB() const override { return registry_.charDB; }
  const std::vector<std::string>& VisibleDB() const override { return registry_.VisibleDB; }
  bool ShowAgain(const std::string& number, const std::string& id) override {
    return lifecycle_.ShowAgain(number, id);
  }
  void RegisterCharacter(int number, const std::string& id) override { lifecycle_.RegisterCharacter(number, id); }

  // HutView
  int ItemCount() const override { return static_cast<int>(items_.size()); }
  CharacterRecord& ItemData(int row) override { return items_[static_cast<std::size_t>(row)]; }
  int SelectedRow() const override { return -1; }
  void AddItem(const std::string&, const CharacterRecord& data, const std::string&) override { items_.push_back(data); }
  void DeleteItem(int row, IconFate) override { items_.erase(items_.begin() + row); }
  void SetItemCaption(int, const std::string&) override {}
  void ArrangeIcons() override {}
  bool HasWindow(int) const override { return false; }
  int FreeSlot() const override { return static_cast<int>(items_.size()); }
  void CreateCharacterWindow(int, const std::string&, const std::string&) override {}
  void DestroyCharacterWindow(int) override {}
  bool LoadScenes(int) override { return false; }
  void ShowOnDesktop(int) override {}
  void HideFromDesktop(int) override {}
  void SetWindowId(int, const std::string&) override {}
  bool MailTransferBusy() const override { return true; }
  void ForgetComposingCharacter() override {}

 private:
  SystemClock clock_;
  platform::FakeDialogs dialogs_;  // the rules used here ask nothing
  CharacterRegistry registry_;
  CharacterLifecycle lifecycle_;
  std::vector<CharacterRecord> items_;
};

}  // namespace mf::tool
