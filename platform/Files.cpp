#include "platform/Files.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "base/ShiftJis.h"
#include "base/Text.h"

namespace fs = std::filesystem;

namespace mf::platform {
namespace {

// Closes a descriptor on every path out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

fs::path Native(const std::string& path) { return fs::path(NativePath(path)); }

}  // namespace

std::string NativePath(const std::string& sjisPath) { return SjisToUtf8(sjisPath); }
std::string FromNativePath(const std::string& nativePath) { return Utf8ToSjis(nativePath); }

bool FileExists(const std::string& path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return ::stat(NativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::uint64_t> FileSize(const std::string& path) {
  struct stat info {};
  if (::stat(NativePath(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern,
                                    ListKind kind) {
  std::vector<std::string> names;
  std::error_code error;
  fs::directory_iterator it(Native(folder), error);
  if (error) return names;
  std::string nativePattern = NativePath(pattern);
  for (const auto& entry : it) {
    std::error_code statError;
    bool isDir = entry.is_directory(statError);
    if (kind == ListKind::FilesOnly && isDir) continue;
    if (kind == ListKind::FoldersOnly && !isDir) continue;
    std::string name = entry.path().filename().string();
    if (::fnmatch(nativePattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_PERIOD) != 0) continue;
    names.push_back(FromNativePath(name));
  }
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    auto la = LowerAscii(a), lb = LowerAscii(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

std::optional<std::string> ReadFile(const std::string& path) {
  Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string data;
  data.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[65536];
  while (true) {
    ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    data.append(buffer, static_cast<std::size_t>(got));
  }
  return data;
}

std::optional<FileBytes> ReadFileBytes(const std::string& path, std::uint64_t limit) {
  Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  if (static_cast<std::uint64_t>(info.st_size) > limit) return std::nullopt;
  const auto size = static_cast<std::size_t>(info.st_size);
  FileBytes bytes{std::make_unique_for_overwrite<char[]>(size), 0};
  while (bytes.size < size) {
    ssize_t got = ::pread(fd.Get(), bytes.data.get() + bytes.size, size - bytes.size, static_cast<off_t>(bytes.size));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;  // cut shorter since it was opened
    bytes.size += static_cast<std::size_t>(got);
  }
  return bytes;
}

std::optional<MappedFile> MappedFile::Open(const std::string& path) {
  Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const auto size = static_cast<std::size_t>(info.st_size);
  if (size == 0) return MappedFile(nullptr, 0);
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
  if (data == MAP_FAILED) return std::nullopt;
  return MappedFile(static_cast<const char*>(data), size);
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

MappedFile::~MappedFile() {
  if (data_ != nullptr) ::munmap(const_cast<char*>(data_), size_);
}

bool WriteFileAtomic(const std::string& path, const std::string& data) {
  std::string target = NativePath(path);
  std::string temp = target + ".tmp-XXXXXX";
  Descriptor fd(::mkstemp(temp.data()));
  if (!fd.Valid()) return false;
  bool ok = WriteAll(fd.Get(), data.data(), data.size()) && ::fsync(fd.Get()) == 0;
  // Keep the permissions of the file being replaced, or the usual ones.
  struct stat old {};
  mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
  ok = ok && ::fchmod(fd.Get(), mode) == 0;
  ok = ::close(fd.Release()) == 0 && ok;
  if (ok && ::rename(temp.c_str(), target.c_str()) == 0) return true;
  ::unlink(temp.c_str());
  return false;
}

bool WriteFileUnsynced(const std::string& path, const std::string& data) {
  Descriptor fd(::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  // No early write-back either: a file deleted before the kernel writes it
  // back costs no disk work at all, and deleting one under write-back waits.
  if (!fd.Valid() || !WriteAll(fd.Get(), data.data(), data.size())) return false;
  return ::close(fd.Release()) == 0;
}

bool SyncFile(const std::string& path) {
  Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  return fd.Valid() && ::fsync(fd.Get()) == 0;
}

bool SyncFolder(const std::string& path) {
  Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.Valid() && ::fsync(fd.Get()) == 0;
}

bool SyncFiles(const std::vector<std::string>& paths) {
  std::vector<std::string> folders;
  for (const auto& path : paths) {
    if (!SyncFile(path)) return false;
    std::string folder = ExtractFilePath(path);
    if (folder.empty()) folder = ".";
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(std::move(folder));
  }
  return std::all_of(folders.begin(), folders.end(), [](const std::string& folder) { return SyncFolder(folder); });
}

bool AppendFile(const std::string& path, const std::string& data) {
  Descriptor fd(::open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fd.Valid()) return false;
  return WriteAll(fd.Get(), data.data(), data.size());
}

bool OverwriteAt(const std::string& path, std::uint64_t offset, const std::string& bytes) {
  Descriptor fd(::open(NativePath(path).c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd.Valid()) return false;
  if (::lseek(fd.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  return WriteAll(fd.Get(), bytes.data(), bytes.size()) && ::fsync(fd.Get()) == 0;
}

bool TruncateFile(const std::string& path, std::uint64_t size) {
  return ::truncate(NativePath(path).c_str(), static_cast<off_t>(size)) == 0;
}

std::optional<std::string> ReadAt(const std::string& path, std::uint64_t offset, std::size_t count) {
  Descriptor fd(::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.Valid()) return std::nullopt;
  std::string data(count, '\0');
  std::size_t done = 0;
  while (done < count) {
    ssize_t got = ::pread(fd.Get(), data.data() + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  data.resize(done);
  return data;
}

bool CreateFolder(const std::string& path) {
  if (::mkdir(NativePath(path).c_str(), 0755) == 0) return true;
  return DirectoryExists(path);
}

bool CreateFolders(const std::string& path) {
  std::error_code error;
  fs::create_directories(Native(path), error);
  return DirectoryExists(path);
}

bool CopyFile(const std::string& from, const std::string& to, bool overwrite) {
  std::error_code error;
  auto options = overwrite ? fs::copy_options::overwrite_existing : fs::copy_options::none;
  return fs::copy_file(Native(from), Native(to), options, error) && !error;
}

bool CopyTree(const std::string& from, const std::string& to) {
  std::error_code error;
  fs::copy(Native(from), Native(to), fs::copy_options::recursive, error);
  return !error;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0;
}

bool IsInside(const std::string& root, const std::string& path) {
  std::error_code error;
  fs::path base = fs::weakly_canonical(Native(root), error);
  if (error) return false;
  fs::path target = fs::weakly_canonical(Native(path), error);
  if (error) return false;
  auto baseText = base.lexically_normal().string();
  auto targetText = target.lexically_normal().string();
  while (baseText.size() > 1 && baseText.back() == '/') baseText.pop_back();
  if (targetText.size() <= baseText.size()) return false;
  return targetText.compare(0, baseText.size(), baseText) == 0 && targetText[baseText.size()] == '/';
}

bool DeleteFileInside(const std::string& root, const std::string& path) {
  if (!IsInside(root, path)) return false;
  return ::unlink(NativePath(path).c_str()) == 0;
}

bool RemoveFolderInside(const std::string& root, const std::string& path) {
  if (!IsInside(root, path)) return false;
  return ::rmdir(NativePath(path).c_str()) == 0;
}

bool RemoveFolderTreeInside(const std::string& root, const std::string& path) {
  if (!IsInside(root, path)) return false;
  std::error_code error;
  fs::remove_all(Native(path), error);
  return !error;
}

bool DeleteUserChosenFile(const std::string& path) { return ::unlink(NativePath(path).c_str()) == 0; }

std::string ExtractFilePath(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

TemporaryFolder::TemporaryFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/mfmail-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = FromNativePath(pattern) + "/";
}

TemporaryFolder::~TemporaryFolder() {
  if (path_.empty()) return;
  std::error_code error;
  fs::remove_all(Native(path_), error);
}

}  // namespace mf::platform
