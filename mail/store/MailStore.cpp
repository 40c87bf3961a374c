#include "mail/store/MailStore.h"

#include <algorithm>
#include <cstdio>

#include "base/Text.h"
#include "mail/store/AttachmentNames.h"
#include "platform/Files.h"
#include "platform/ProgramFolder.h"

namespace mf {
namespace {

// The first byte after any empty lines at the start.
std::size_t SkipEmptyLines(std::string_view text) {
  std::size_t pos = 0;
  while (true) {
    if (pos < text.size() && text[pos] == '\n') {
      ++pos;
    } else if (pos + 1 < text.size() && text[pos] == '\r' && text[pos + 1] == '\n') {
      pos += 2;
    } else {
      return pos;
    }
  }
}

// Whether a line ends at `pos`: at LF, CR LF or the end of the file.
bool LineEndsAt(std::string_view file, std::size_t pos) {
  if (pos == file.size() || file[pos] == '\n') return true;
  return file[pos] == '\r' && (pos + 1 == file.size() || file[pos + 1] == '\n');
}

// A missing file is an empty folder; an unreadable one is an error.
std::optional<std::string> ReadStoreFile(const std::string& path) {
  if (!platform::FileExists(path)) return std::string();
  return platform::ReadFile(path);
}

std::string_view Content(std::string_view file, const RecordSpan& span) {
  return file.substr(span.begin, span.contentEnd - span.begin);
}

// A record as it goes to another file: no empty lines in front, every line
// ended by CR LF, and a separator line even when the source had lost it.
std::string RecordForAppend(std::string_view recordContent) {
  std::string out = NormalizeLineEnds(recordContent.substr(SkipEmptyLines(recordContent)));
  out += kSeparatorLine;
  out += "\r\n";
  return out;
}

std::vector<std::size_t> Descending(std::vector<std::size_t> indices) {
  std::sort(indices.begin(), indices.end(), std::greater<>());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  return indices;
}

// How to take back an append.
struct AppendUndo {
  std::string path;
  std::uint64_t oldSize = 0;
  bool existed = false;
};

void Undo(const AppendUndo& undo, const std::string& root) {
  if (undo.existed) {
    platform::TruncateFile(undo.path, undo.oldSize);
  } else {
    platform::DeleteFileInside(root, undo.path);
  }
}

// Appends records so that they start on a fresh line; a write that fails
// part-way is cut off again.
bool AppendRecords(const std::string& path, const std::string& records, const std::string& root,
                   AppendUndo& undo) {
  undo.path = path;
  undo.existed = platform::FileExists(path);
  undo.oldSize = undo.existed ? platform::FileSize(path).value_or(0) : 0;
  std::string data;
  if (undo.oldSize > 0) {
    auto last = platform::ReadAt(path, undo.oldSize - 1, 1);
    if (!last || last->size() != 1) return false;
    if ((*last)[0] == '\r') data = "\n";
    else if ((*last)[0] != '\n') data = "\r\n";
  }
  data += records;
  if (platform::AppendFile(path, data)) return true;
  Undo(undo, root);
  return false;
}

std::string Hex3(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%03X", value);
  return text;
}

}  // namespace

// One source file of a move: what stays, what goes where.
struct MailStore::FilePlan {
  std::string source;
  std::string target;  // empty when the records are deleted for good
  std::string original;
  std::string remaining;
  std::string appended;
  std::vector<std::string> removedRecords;  // contents, highest index first
};

MailStore::MailStore() : MailStore(platform::ProgramFolder()) {}

MailStore::MailStore(std::string programFolder)
    : programFolder_(std::move(programFolder)), storeFolder_(programFolder_ + "FileKeep/") {}

std::string MailStore::HeaderPath(FolderKind folder) const { return storeFolder_ + HeaderFileName(folder); }
std::string MailStore::BodyPath(FolderKind folder) const { return storeFolder_ + BodyFileName(folder); }

bool MailStore::Prepare() const {
  if (!platform::CreateFolders(storeFolder_)) return false;
  const std::string inboxBody = BodyPath(FolderKind::Inbox);
  return platform::FileExists(inboxBody) || platform::WriteFileAtomic(inboxBody, "");
}

bool MailStore::HasImportFolder() const { return platform::FileExists(HeaderPath(FolderKind::Import)); }

HeaderFile MailStore::ReadHeaderFile(FolderKind folder) const {
  // Straight into one buffer of the file's size: the list of a large folder
  // is read on every folder change.
  auto file = platform::ReadFileBytes(HeaderPath(folder), HeaderFile::kLargestFile);
  return file ? HeaderFile(std::move(file->data), file->size) : HeaderFile();
}

std::vector<HeaderRecord> MailStore::ReadHeaderRecords(FolderKind folder) const {
  HeaderFile file = ReadHeaderFile(folder);
  std::vector<HeaderRecord> records;
  records.reserve(file.size());
  for (const auto& view : file) records.push_back(view.ToRecord());
  return records;
}

std::vector<MailListEntry> MailStore::ReadListEntries(FolderKind folder) const {
  HeaderFile file = ReadHeaderFile(folder);
  std::vector<MailListEntry> entries;
  entries.reserve(file.size());
  for (std::size_t i = 0; i < file.size(); ++i) entries.push_back(MakeMailListEntry(folder, file[i], i));
  return entries;
}

MailListRows MailStore::ReadListRows(FolderKind folder) const { return MailListRows(folder, ReadHeaderFile(folder)); }

std::size_t MailStore::RecordCount(FolderKind folder) const { return ReadHeaderFile(folder).size(); }

std::optional<HeaderRecord> MailStore::LastHeaderRecord(FolderKind folder) const {
  auto file = platform::ReadFile(HeaderPath(folder));
  if (!file) return std::nullopt;
  auto spans = RecordSpans(*file);
  if (spans.empty()) return std::nullopt;
  return ParseHeaderRecord(Content(*file, spans.back()));
}

std::string MailStore::ReadBodyRecord(FolderKind folder, std::size_t index) const {
  // Mapped, not read: the body file holds every mail of the folder, and
  // only one record of it is wanted.
  auto file = platform::MappedFile::Open(BodyPath(folder));
  return file ? BodyRecordText(file->View(), index) : std::string();
}

std::optional<std::string> MailStore::ReadSender(std::size_t index) const {
  auto file = platform::ReadFile(HeaderPath(FolderKind::Inbox));
  if (!file) return std::nullopt;
  return SenderAt(*file, index);
}

StoreResult MailStore::AppendMail(FolderKind folder, const HeaderRecord& header,
                                  const BodyRecord& body) const {
  AppendUndo headerUndo, bodyUndo;
  if (!AppendRecords(HeaderPath(folder), FormatHeaderRecord(header), storeFolder_, headerUndo)) {
    return StoreResult::Failed;
  }
  if (!AppendRecords(BodyPath(folder), FormatBodyRecord(body), storeFolder_, bodyUndo)) {
    Undo(headerUndo, storeFolder_);
    return StoreResult::Failed;
  }
  return StoreResult::Done;
}

StoreResult MailStore::AppendHeaderRecord(FolderKind folder, const HeaderRecord& header) const {
  AppendUndo undo;
  return AppendRecords(HeaderPath(folder), FormatHeaderRecord(header), storeFolder_, undo)
             ? StoreResult::Done
             : StoreResult::Failed;
}

StoreResult MailStore::AppendBodyRecord(FolderKind folder, const BodyRecord& body) const {
  AppendUndo undo;
  return AppendRecords(BodyPath(folder), FormatBodyRecord(body), storeFolder_, undo)
             ? StoreResult::Done
             : StoreResult::Failed;
}

StoreResult MailStore::FillAttachmentFolder(const std::string& folderName) const {
  const std::string path = HeaderPath(FolderKind::Inbox);
  if (folderName.empty() || !platform::FileExists(path)) return StoreResult::Unchanged;
  auto file = platform::ReadFile(path);
  if (!file) return StoreResult::Failed;
  auto spans = RecordSpans(*file);
  if (spans.empty()) return StoreResult::Unchanged;
  HeaderRecord record = ParseHeaderRecord(Content(*file, spans.back()));
  if (!record.attachmentFolder.empty()) return StoreResult::Unchanged;
  record.attachmentFolder = folderName;
  std::string rewritten = file->substr(0, spans.back().begin) + FormatHeaderRecord(record);
  return platform::WriteFileAtomic(path, rewritten) ? StoreResult::Done : StoreResult::Failed;
}

StoreResult MailStore::RewriteStatus(std::size_t index, MailStatus status, bool onlyUnread) const {
  const std::string path = HeaderPath(FolderKind::Inbox);
  if (!platform::FileExists(path)) return StoreResult::Unchanged;
  auto file = platform::ReadFile(path);
  if (!file) return StoreResult::Failed;
  auto offset = FindHeaderRecordByBytes(*file, index);
  if (!offset || *offset + 4 > file->size()) return StoreResult::Unchanged;
  // Only a whole 4-byte status line may be overwritten: four bytes over a
  // longer or shorter line would corrupt the record.
  if (!LineEndsAt(*file, *offset + 4)) return StoreResult::Unchanged;
  auto current = StatusFromWord(std::string_view(*file).substr(*offset, 4));
  if (current != MailStatus::Unread && current != MailStatus::Read && current != MailStatus::Replied) {
    return StoreResult::Unchanged;
  }
  if (onlyUnread && current != MailStatus::Unread) return StoreResult::Unchanged;
  if (current == status) return StoreResult::Unchanged;
  return platform::OverwriteAt(path, *offset, StatusWord(status)) ? StoreResult::Done
                                                                  : StoreResult::Failed;
}

StoreResult MailStore::MarkRead(std::size_t index) const { return RewriteStatus(index, MailStatus::Read, true); }
StoreResult MailStore::MarkReplied(std::size_t index) const {
  return RewriteStatus(index, MailStatus::Replied, false);
}

template <typename Transform>
std::optional<MailStore::FilePlan> MailStore::PlanRemoval(
    const std::string& source, const std::string& target,
    const std::vector<std::size_t>& indicesDescending, Transform transform) const {
  FilePlan plan;
  plan.source = source;
  plan.target = target;
  auto file = ReadStoreFile(source);
  if (!file) return std::nullopt;
  plan.original = std::move(*file);
  const std::string_view data = plan.original;
  auto spans = RecordSpans(data);
  std::vector<bool> removed(spans.size(), false);
  for (std::size_t index : indicesDescending) {
    if (index >= spans.size()) continue;
    removed[index] = true;
    std::string_view content = Content(data, spans[index]);
    plan.removedRecords.emplace_back(content);
    plan.appended += RecordForAppend(transform(content));
  }
  if (plan.removedRecords.empty()) return plan;
  std::string kept;
  kept.reserve(data.size());
  for (std::size_t i = 0; i < spans.size(); ++i) {
    if (!removed[i]) kept.append(data.substr(spans[i].begin, spans[i].end - spans[i].begin));
  }
  plan.remaining = NormalizeLineEnds(kept);
  return plan;
}

StoreResult MailStore::Apply(std::vector<FilePlan>& plans) const {
  std::vector<AppendUndo> appends;
  auto undoAppends = [&] {
    for (auto it = appends.rbegin(); it != appends.rend(); ++it) Undo(*it, storeFolder_);
  };
  bool any = false;
  for (const auto& plan : plans) {
    if (plan.removedRecords.empty()) continue;
    any = true;
    if (plan.target.empty()) continue;
    AppendUndo undo;
    if (!AppendRecords(plan.target, plan.appended, storeFolder_, undo)) {
      undoAppends();
      return StoreResult::Failed;
    }
    appends.push_back(undo);
  }
  if (!any) return StoreResult::Unchanged;
  for (std::size_t i = 0; i < plans.size(); ++i) {
    const auto& plan = plans[i];
    if (plan.removedRecords.empty()) continue;
    // A folder left without mail loses its file, as a missing file is an
    // empty folder (and the outbox sender starts only when its file exists).
    const bool ok = plan.remaining.empty() ? DeleteFileInStore(plan.source)
                                           : platform::WriteFileAtomic(plan.source, plan.remaining);
    if (!ok) {
      for (std::size_t j = 0; j < i; ++j) {
        if (!plans[j].removedRecords.empty()) platform::WriteFileAtomic(plans[j].source, plans[j].original);
      }
      undoAppends();
      return StoreResult::Failed;
    }
  }
  return StoreResult::Done;
}

StoreResult MailStore::Transfer(FolderKind from, std::optional<FolderKind> to,
                                std::vector<std::size_t> indices) const {
  const auto order = Descending(std::move(indices));
  auto same = [](std::string_view content) { return content; };
  auto header = PlanRemoval(HeaderPath(from), to ? HeaderPath(*to) : std::string(), order, same);
  auto body = PlanRemoval(BodyPath(from), to ? BodyPath(*to) : std::string(), order, same);
  if (!header || !body) return StoreResult::Failed;
  std::vector<FilePlan> plans;
  plans.push_back(std::move(*header));
  plans.push_back(std::move(*body));
  const StoreResult result = Apply(plans);
  if (result == StoreResult::Done && !to) {
    for (const auto& record : plans[1].removedRecords) {
      for (const auto& path : AttachmentFilesOf(record)) DeleteAttachmentFile(path);
    }
  }
  return result;
}

StoreResult MailStore::MoveMails(FolderKind from, FolderKind to, std::vector<std::size_t> indices) const {
  if (!CanMove(from, to)) return StoreResult::Unchanged;
  return Transfer(from, to, std::move(indices));
}

StoreResult MailStore::DeleteMails(FolderKind from, std::vector<std::size_t> indices) const {
  return Transfer(from, std::nullopt, std::move(indices));
}

StoreResult MailStore::MarkOutboxUnconfirmed(std::size_t index, bool unconfirmed) const {
  const std::string path = HeaderPath(FolderKind::Outbox);
  if (!platform::FileExists(path)) return StoreResult::Unchanged;
  auto file = platform::ReadFile(path);
  if (!file) return StoreResult::Failed;
  auto offset = FindHeaderRecordByBytes(*file, index);
  if (!offset) return StoreResult::Unchanged;
  std::size_t end = file->find('\n', *offset);
  if (end == std::string::npos) return StoreResult::Unchanged;
  if (end > *offset && (*file)[end - 1] == '\r') --end;
  const auto current = StatusFromWord(std::string_view(*file).substr(*offset, end - *offset));
  if (!current) return StoreResult::Unchanged;
  const bool reply = current == MailStatus::WaitingReply || current == MailStatus::UnconfirmedReply;
  if (!reply && current != MailStatus::Waiting && current != MailStatus::Unconfirmed) return StoreResult::Unchanged;
  const MailStatus wanted = unconfirmed ? (reply ? MailStatus::UnconfirmedReply : MailStatus::Unconfirmed)
                                        : (reply ? MailStatus::WaitingReply : MailStatus::Waiting);
  if (current == wanted) return StoreResult::Unchanged;
  // The words of a pair are equally long, so the record keeps its size.
  return platform::OverwriteAt(path, *offset, StatusWord(wanted)) ? StoreResult::Done : StoreResult::Failed;
}

StoreResult MailStore::TakeOutboxToSent(std::size_t index, const DateTime& now, const std::string& messageId) const {
  const std::string date = Rfc822DateText(now);
  auto sentHeader = [&](std::string_view content) {
    HeaderRecord record = ParseHeaderRecord(content);
    const bool plain =
        record.status == StatusWord(MailStatus::Waiting) || record.status == StatusWord(MailStatus::Unconfirmed);
    record.status = StatusWord(plain ? MailStatus::Sent : MailStatus::SentReply);
    record.date = date;
    std::string formatted = FormatHeaderRecord(record);
    // Without its separator line: the move adds it back.
    formatted.resize(formatted.size() - kSeparatorLine.size() - 2);
    return formatted;
  };
  auto sentBody = [&](std::string_view content) {
    std::vector<std::string> lines;
    std::string_view rest = content.substr(SkipEmptyLines(content));
    for (std::size_t pos = 0; pos < rest.size();) {
      std::size_t lf = rest.find('\n', pos);
      std::size_t end = lf == std::string_view::npos ? rest.size() : lf;
      std::size_t next = lf == std::string_view::npos ? rest.size() : lf + 1;
      if (end > pos && rest[end - 1] == '\r') --end;
      lines.emplace_back(rest.substr(pos, end - pos));
      pos = next;
    }
    // The composition window's layout: Subject, From, Date, To, ...
    if (lines.size() > 2) lines[2] = "Date: " + date;
    if (lines.size() > 3) {
      lines.insert(lines.begin() + 4, "Message-ID: " + SingleLine(messageId));
    }
    return JoinLines(lines);
  };
  auto header = PlanRemoval(HeaderPath(FolderKind::Outbox), HeaderPath(FolderKind::Sent), {index}, sentHeader);
  auto body = PlanRemoval(BodyPath(FolderKind::Outbox), BodyPath(FolderKind::Sent), {index}, sentBody);
  if (!header || !body) return StoreResult::Failed;
  std::vector<FilePlan> plans;
  plans.push_back(std::move(*header));
  plans.push_back(std::move(*body));
  return Apply(plans);
}

StoreResult MailStore::EmptyTrash() const {
  const std::string bodyPath = BodyPath(FolderKind::Trash);
  if (!platform::FileExists(bodyPath)) return StoreResult::Unchanged;
  auto file = platform::ReadFile(bodyPath);
  if (!file) return StoreResult::Failed;
  for (const auto& span : RecordSpans(*file)) {
    for (const auto& path : AttachmentFilesOf(Content(*file, span))) DeleteAttachmentFile(path);
  }
  const std::string headerPath = HeaderPath(FolderKind::Trash);
  bool ok = DeleteFileInStore(bodyPath);
  if (platform::FileExists(headerPath)) ok = DeleteFileInStore(headerPath) && ok;
  return ok ? StoreResult::Done : StoreResult::Failed;
}

std::optional<std::string> MailStore::CreateReceivedAttachmentFolder(const std::string& messageIdValue,
                                                                     RandomGenerator& random) const {
  const std::string base = ReceivedFolderBaseName(messageIdValue);
  auto taken = [&](const std::string& name) {
    const std::string path = storeFolder_ + name;
    return name.empty() || platform::FileExists(path) || platform::DirectoryExists(path);
  };
  auto create = [&](const std::string& name) -> std::optional<std::string> {
    if (!platform::CreateFolders(storeFolder_ + name)) return std::nullopt;
    return name;
  };
  if (!taken(base)) return create(base);
  // Draws first, as the name has always been made; then every suffix in
  // turn, so that a crowded store still finds a free name.
  constexpr int kDraws = 200;
  for (int attempt = 0; attempt < kDraws; ++attempt) {
    std::string name = base + Hex3(RandomBelow(random, 500));
    if (!taken(name)) return create(name);
  }
  for (int value = 0; value < 500; ++value) {
    std::string name = base + Hex3(value);
    if (!taken(name)) return create(name);
  }
  for (int counter = 500;; ++counter) {
    std::string name = base + Hex3(counter % 500) + "_" + std::to_string(counter);
    if (!taken(name)) return create(name);
  }
}

std::string MailStore::AttachmentFilePath(const std::string& folderName, const std::string& fileName) const {
  return storeFolder_ + folderName + "/" + SafeAttachmentFileName(fileName);
}

bool MailStore::DeleteFileInStore(const std::string& path) const {
  return platform::DeleteFileInside(storeFolder_, path);
}

void MailStore::DeleteAttachmentFile(const std::string& path) const {
  std::string folder = platform::ExtractFilePath(path);
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  // Attachments live in a subfolder of "FileKeep"; a path naming anything
  // else (the store's own files, files elsewhere) is never deleted.
  if (folder.empty() || !platform::DirectoryExists(folder) || !platform::IsInside(storeFolder_, folder)) {
    return;
  }
  platform::DeleteFileInside(storeFolder_, path);
  platform::RemoveFolderInside(storeFolder_, folder);
}

}  // namespace mf
