#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The file layer. Every path is a Shift_JIS string, as the program keeps
// paths; the native (UTF-8) name is made here and nowhere else.
namespace mf::platform {

std::string NativePath(const std::string& sjisPath);
std::string FromNativePath(const std::string& nativePath);

bool FileExists(const std::string& path);       // a regular file
bool DirectoryExists(const std::string& path);  // a folder
std::optional<std::uint64_t> FileSize(const std::string& path);

// Names (not paths) in `folder` matching a pattern with "*" and "?"
// (ASCII case ignored), sorted without regard to ASCII case as a Windows
// listing would come. Folders match too unless `filesOnly`.
enum class ListKind { FilesAndFolders, FilesOnly, FoldersOnly };
std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern,
                                    ListKind kind = ListKind::FilesAndFolders);

std::optional<std::string> ReadFile(const std::string& path);

// A whole file in a buffer that is never cleared beforehand: a large file
// that is read only to be indexed (a mail list) is then written to memory
// once, by the read itself.
struct FileBytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;
  std::string_view View() const { return {data.get(), size}; }
};
// The bytes of a regular file as long as it was when opened; nothing when it
// cannot be read or is larger than `limit`.
std::optional<FileBytes> ReadFileBytes(const std::string& path, std::uint64_t limit);

// A regular file's bytes mapped read-only for as long as this lives: a
// large file read only to find one record in it is neither copied nor
// given fresh memory page by page. For the program's own store files, read
// between its writes (a file another process cuts short under a mapping
// would fault on the part that went).
class MappedFile {
 public:
  // Nothing when the file cannot be opened or is not a regular file.
  static std::optional<MappedFile> Open(const std::string& path);
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&&) = delete;
  ~MappedFile();
  std::string_view View() const { return {data_, size_}; }

 private:
  MappedFile(const char* data, std::size_t size) : data_(data), size_(size) {}
  const char* data_ = nullptr;
  std::size_t size_ = 0;
};

// Writes a temporary file beside `path`, flushes it and renames it over
// `path`: a crash or a full disk leaves either the old or the new file.
bool WriteFileAtomic(const std::string& path, const std::string& data);

// Writes a whole file (created or truncated) without waiting for the disk:
// files that must last are made durable later, many back to back with
// SyncFile or SyncFiles, which costs far less than a sync after each write.
// A crash before that may leave the file short or empty.
bool WriteFileUnsynced(const std::string& path, const std::string& data);

// Waits until a file's bytes and size are on disk.
bool SyncFile(const std::string& path);
// Waits until the names in a folder (files made or renamed there) are on disk.
bool SyncFolder(const std::string& path);
// Each file back to back, then each folder holding one of them once.
bool SyncFiles(const std::vector<std::string>& paths);

// Appends, creating the file when missing.
bool AppendFile(const std::string& path, const std::string& data);

// Overwrites bytes at `offset` of an existing file without changing its size
// beyond what is written.
bool OverwriteAt(const std::string& path, std::uint64_t offset, const std::string& bytes);
// Cuts a file back to `size` bytes (undoes an append that failed part-way).
bool TruncateFile(const std::string& path, std::uint64_t size);
std::optional<std::string> ReadAt(const std::string& path, std::uint64_t offset, std::size_t count);

bool CreateFolder(const std::string& path);   // one level; true if it exists afterwards
bool CreateFolders(const std::string& path);  // with every missing parent
bool CopyFile(const std::string& from, const std::string& to, bool overwrite);
// A file, or a folder with everything in it, to a new name; false when it
// could not be copied whole.
bool CopyTree(const std::string& from, const std::string& to);
bool RenameFile(const std::string& from, const std::string& to);

// Deletion only inside `root` (normally the program folder): a path that
// resolves outside it is refused and nothing is deleted.
bool IsInside(const std::string& root, const std::string& path);
bool DeleteFileInside(const std::string& root, const std::string& path);
bool RemoveFolderInside(const std::string& root, const std::string& path);           // empty folder
bool RemoveFolderTreeInside(const std::string& root, const std::string& path);       // with contents

// Deletes a file the user chose explicitly (a dialog), wherever it is.
bool DeleteUserChosenFile(const std::string& path);

// The folder part of a path with its trailing separator, and the name part.
std::string ExtractFilePath(const std::string& path);
std::string ExtractFileName(const std::string& path);

// A folder in the system's temporary area, removed with everything in it
// when the object goes (tests and the receive flow's scratch files).
class TemporaryFolder {
 public:
  TemporaryFolder();
  ~TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  // With a trailing separator.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace mf::platform
