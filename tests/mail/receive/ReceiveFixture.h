#pragma once

// Shared pieces of the receiving tests: a program folder of its own, a hut
// that records what receiving asks of it, and readers of the inbox files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/DateTime.h"
#include "base/Random.h"
#include "base/ShiftJis.h"
#include "base/Text.h"
#include "mail/receive/CharacterArrival.h"
#include "mail/store/MailStore.h"
#include "mail/store/StoreRecords.h"
#include "platform/Files.h"

namespace mf::testing {

class FakeReceivingHut final : public ReceivingHut {
 public:
  const std::vector<std::string>& CharDB() const override { return charDB; }
  const std::vector<std::string>& VisibleDB() const override { return visibleDB; }
  bool ShowAgain(const std::string& number, const std::string& id) override {
    shown.push_back(number + " " + id);
    return showable;
  }
  void RegisterCharacter(int number, const std::string& id) override {
    registered.push_back(std::to_string(number) + " " + id);
    charDB.push_back(std::to_string(number));
    charDB.push_back(id);
    visibleDB.push_back(id);
  }

  std::vector<std::string> charDB;
  std::vector<std::string> visibleDB;
  bool showable = true;
  std::vector<std::string> shown;
  std::vector<std::string> registered;
};

class ReceiveFixture : public ::testing::Test {
 protected:
  ReceiveFixture() : store(folder.Path()) { store.Prepare(); }

  std::string Path(const std::string& name) const { return folder.Path() + name; }

  // Writes a message file with LF line ends turned into CR LF.
  std::string WriteMessage(const std::string& name, const std::string& text) {
    platform::WriteFileAtomic(Path(name), Crlf(text));
    return Path(name);
  }

  static std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
      if (c == '\n') out += '\r';
      out += c;
    }
    return out;
  }

  std::vector<HeaderRecord> InboxHeaders() const { return store.ReadHeaderRecords(FolderKind::Inbox); }
  std::string InboxBody(std::size_t index) const { return store.ReadBodyRecord(FolderKind::Inbox, index); }
  std::size_t BodyCount() const {
    auto file = platform::ReadFile(store.BodyPath(FolderKind::Inbox));
    std::size_t count = 0;
    if (file) {
      for (const auto& span : RecordSpans(*file)) count += span.terminated ? 1 : 0;
    }
    return count;
  }
  // The value of the first "Name: " line of a body record's header block.
  static std::string Field(const std::string& record, const std::string& name) {
    for (const auto& line : SplitLines(record)) {
      if (line.empty()) break;
      if (StartsWith(line, name)) return line.substr(name.size());
    }
    return "<missing>";
  }
  static std::vector<std::string> Fields(const std::string& record, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& line : SplitLines(record)) {
      if (line.empty()) break;
      if (StartsWith(line, name)) values.push_back(line.substr(name.size()));
    }
    return values;
  }
  static std::string TextOf(const std::string& record) {
    const std::size_t blank = record.find("\r\n\r\n");
    return blank == std::string::npos ? std::string() : record.substr(blank + 4);
  }

  platform::TemporaryFolder folder;
  MailStore store;
  FakeReceivingHut hut;
  ScriptedRandom random;
  FixedClock clock{DateTime{2026, 12, 8, 10, 0, 0, 0, 540}};
};

}  // namespace mf::testing
