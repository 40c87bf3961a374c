#include "mail/receive/UidlRecord.h"

#include <iterator>

#include "base/Text.h"
#include "mail/store/AttachmentNames.h"
#include "platform/Files.h"

namespace mf {
namespace {

constexpr std::string_view kKeep = "K ";
constexpr std::string_view kDelete = "D ";

}  // namespace

std::string UidlRecord::PathFor(const std::string& programFolder, const std::string& server,
                                const std::string& user) {
  return programFolder + "ReceivedUidl_" + SafeFolderName(Trim(user)) + "@" + SafeFolderName(Trim(server)) + ".dat";
}

bool UidlRecord::Load() {
  ids_.clear();
  if (!platform::FileExists(path_)) return true;
  auto file = platform::ReadFile(path_);
  if (!file) return false;
  for (const auto& line : SplitLines(*file)) {
    if (line.size() <= kKeep.size()) continue;
    const std::string id = line.substr(kKeep.size());
    if (StartsWith(line, kDelete)) {
      ids_[id] = true;
    } else if (StartsWith(line, kKeep)) {
      ids_.emplace(id, false);
    }
  }
  return true;
}

bool UidlRecord::Save() const {
  std::string text;
  for (const auto& [id, pending] : ids_) {
    text += pending ? kDelete : kKeep;
    text += id;
    text += "\r\n";
  }
  return platform::WriteFileAtomic(path_, text);
}

bool UidlRecord::DeletePending(const std::string& uidl) const {
  auto found = ids_.find(uidl);
  return found != ids_.end() && found->second;
}

void UidlRecord::Add(const std::string& uidl, bool deleteOnServer) {
  if (uidl.empty()) return;
  ids_[uidl] = deleteOnServer;
}

void UidlRecord::RetainOnly(const std::set<std::string>& listed) {
  for (auto it = ids_.begin(); it != ids_.end();) {
    it = listed.count(it->first) != 0 ? std::next(it) : ids_.erase(it);
  }
}

}  // namespace mf
