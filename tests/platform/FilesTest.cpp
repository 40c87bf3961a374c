#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>

#include "base/ShiftJis.h"
#include "platform/Files.h"

namespace mf::platform {
namespace {

// Lowers the file size limit for the scope, as a full disk would stop a write.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

TEST(Files, AtomicWriteThatFailsLeavesTheOldFileAndNoTemporary) {
  TemporaryFolder folder;
  std::string path = folder.Path() + "outDB.dat";
  ASSERT_TRUE(WriteFileAtomic(path, "old contents\r\n"));
  {
    FileSizeLimit limit(1024);
    EXPECT_FALSE(WriteFileAtomic(path, std::string(100000, 'x')));
  }
  EXPECT_EQ(*ReadFile(path), "old contents\r\n");
  EXPECT_EQ(ListFolder(folder.Path(), "*"), std::vector<std::string>{"outDB.dat"});
}

TEST(Files, JapaneseNamesAreStoredAsUtf8OnDisk) {
  TemporaryFolder folder;
  std::string name = Sj("受信ヘッダー.txt");
  ASSERT_TRUE(AppendFile(folder.Path() + name, "a"));
  ASSERT_TRUE(AppendFile(folder.Path() + name, "b"));
  EXPECT_EQ(*ReadFile(folder.Path() + name), "ab");
  EXPECT_EQ(::access((NativePath(folder.Path()) + "受信ヘッダー.txt").c_str(), F_OK), 0);
  EXPECT_EQ(ListFolder(folder.Path(), "*.txt"), std::vector<std::string>{name});
}

TEST(Files, ListFolderMatchesPatternsWithoutCaseInListingOrder) {
  TemporaryFolder folder;
  for (const char* name : {"char2", "Char10", "char1r", "other"}) CreateFolder(folder.Path() + name);
  AppendFile(folder.Path() + "char7", "");
  EXPECT_EQ(ListFolder(folder.Path(), "char*"),
            (std::vector<std::string>{"Char10", "char1r", "char2", "char7"}));
  EXPECT_EQ(ListFolder(folder.Path(), "char*", ListKind::FoldersOnly),
            (std::vector<std::string>{"Char10", "char1r", "char2"}));
  EXPECT_TRUE(ListFolder(folder.Path() + "missing/", "*").empty());
}

TEST(Files, OverwriteAtChangesOnlyThoseBytes) {
  TemporaryFolder folder;
  std::string path = folder.Path() + "h.txt";
  ASSERT_TRUE(WriteFileAtomic(path, "0123456789"));
  ASSERT_TRUE(OverwriteAt(path, 3, "abcd"));
  EXPECT_EQ(*ReadFile(path), "012abcd789");
  EXPECT_EQ(*ReadAt(path, 8, 10), "89");
}

TEST(Files, ReadFileBytesHoldsTheWholeFileUpToALimit) {
  TemporaryFolder folder;
  std::string path = folder.Path() + Sj("受信.txt");
  ASSERT_TRUE(WriteFileAtomic(path, std::string("a\0b\r\n", 5)));
  auto bytes = ReadFileBytes(path, 5);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->View(), std::string_view("a\0b\r\n", 5));
  EXPECT_FALSE(ReadFileBytes(path, 4)) << "over the limit";
  EXPECT_FALSE(ReadFileBytes(folder.Path() + "missing.txt", 100));
  EXPECT_FALSE(ReadFileBytes(folder.Path(), 100)) << "a folder is not a file";
  ASSERT_TRUE(WriteFileAtomic(path, ""));
  ASSERT_TRUE(ReadFileBytes(path, 0));
  EXPECT_TRUE(ReadFileBytes(path, 0)->View().empty());
}

TEST(Files, DeletionStaysInsideItsRoot) {
  TemporaryFolder root, elsewhere;
  std::string inside = root.Path() + "FileKeep/a.txt";
  ASSERT_TRUE(CreateFolders(root.Path() + "FileKeep"));
  ASSERT_TRUE(AppendFile(inside, "x"));
  std::string outside = elsewhere.Path() + "precious.txt";
  ASSERT_TRUE(AppendFile(outside, "x"));

  EXPECT_FALSE(DeleteFileInside(root.Path(), outside));
  EXPECT_FALSE(DeleteFileInside(root.Path() + "FileKeep/", root.Path() + "FileKeep/../../" +
                                                              elsewhere.Path().substr(1) + "precious.txt"));
  EXPECT_FALSE(DeleteFileInside(root.Path(), root.Path()));
  EXPECT_TRUE(FileExists(outside));
  EXPECT_TRUE(DeleteFileInside(root.Path(), inside));
  EXPECT_FALSE(FileExists(inside));
  EXPECT_TRUE(RemoveFolderInside(root.Path(), root.Path() + "FileKeep"));
}

TEST(Files, PathParts) {
  EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
  EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
  EXPECT_EQ(ExtractFilePath("c.txt"), "");
}

}  // namespace
}  // namespace mf::platform
