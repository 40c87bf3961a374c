#include "mail/receive/InboxRepair.h"

#include <string>
#include <vector>

#include "mail/store/StoreRecords.h"
#include "platform/Files.h"

namespace mf {
namespace {

struct FileRecords {
  std::string path;
  std::string bytes;
  std::vector<std::size_t> ends;  // where each whole record ends
};

bool Read(const std::string& path, FileRecords& records) {
  records.path = path;
  if (!platform::FileExists(path)) return true;
  auto bytes = platform::ReadFile(path);
  if (!bytes) return false;
  records.bytes = std::move(*bytes);
  for (const auto& span : RecordSpans(records.bytes)) {
    if (span.terminated) records.ends.push_back(span.end);
  }
  return true;
}

// Keeps the first `count` whole records.
bool Cut(const FileRecords& records, std::size_t count) {
  const std::size_t keep = count == 0 ? 0 : records.ends[count - 1];
  if (keep == records.bytes.size()) return true;
  return platform::WriteFileAtomic(records.path, records.bytes.substr(0, keep));
}

}  // namespace

RepairResult RepairInboxPair(const MailStore& store) {
  FileRecords header;
  FileRecords body;
  if (!Read(store.HeaderPath(FolderKind::Inbox), header) || !Read(store.BodyPath(FolderKind::Inbox), body)) {
    return RepairResult::Failed;
  }
  const std::size_t count = std::min(header.ends.size(), body.ends.size());
  const std::size_t headerKeep = count == 0 ? 0 : header.ends[count - 1];
  const std::size_t bodyKeep = count == 0 ? 0 : body.ends[count - 1];
  const bool headerInStep = headerKeep == header.bytes.size();
  // The body file may hold nothing but line ends when it was made empty.
  const bool bodyInStep = bodyKeep == body.bytes.size() || (count == 0 && body.bytes.find_first_not_of("\r\n") == std::string::npos);
  if (headerInStep && bodyInStep) return RepairResult::InStep;
  if (!headerInStep && !Cut(header, count)) return RepairResult::Failed;
  if (!bodyInStep && !Cut(body, count)) return RepairResult::Failed;
  return RepairResult::Repaired;
}

}  // namespace mf
