#include "text/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace vellumara {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PutFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Every test gets a fresh directory, so a stray temporary file shows up.
class WriteWholeFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string templ = (fs::temp_directory_path() / "vellumara-files-XXXXXX").string();
    ASSERT_NE(mkdtemp(templ.data()), nullptr);
    dir = templ;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir, ignored);
  }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
    return names;
  }

  fs::path dir;
};

TEST_F(WriteWholeFileTest, EmptyPathFailsAndTouchesNothing) {
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  const bool ok = WriteWholeFile("", TextToBytes("data"));
  fs::current_path(before);
  EXPECT_FALSE(ok);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(WriteWholeFileTest, WritesTheBuffersInOrderSkippingEmptyOnes) {
  const Bytes first = TextToBytes("\xb5\xda\xd2\xbb\xd5\xc2\r\n");
  const Bytes none;
  const Bytes second = {'a', 0, 'b'};
  const fs::path target = dir / "book.txt";
  ASSERT_TRUE(WriteWholeFile(target.string(), {&first, &none, &second}));
  EXPECT_EQ(ReadFile(target), std::string("\xb5\xda\xd2\xbb\xd5\xc2\r\na\0b", 11));
  EXPECT_EQ(Entries(), std::set<std::string>{"book.txt"});
}

TEST_F(WriteWholeFileTest, ReplacesTheWholeOldContent) {
  const fs::path target = dir / "book.txt";
  PutFile(target, "a much longer old content than the new one");
  ASSERT_TRUE(WriteWholeFile(target.string(), TextToBytes("new")));
  EXPECT_EQ(ReadFile(target), "new");
  ASSERT_TRUE(WriteWholeFile(target.string(), Bytes()));
  EXPECT_EQ(ReadFile(target), "");
  EXPECT_EQ(Entries(), std::set<std::string>{"book.txt"});
}

TEST_F(WriteWholeFileTest, RelativePathAndGbkName) {
  const fs::path before = fs::current_path();
  fs::current_path(dir);
  const std::string name = "\xb6\xb7\xc6\xc6\xb2\xd4\xf1\xb7.txt";
  const bool ok = WriteWholeFile(name, TextToBytes("x"));
  fs::current_path(before);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ReadFile(dir / name), "x");
  EXPECT_EQ(Entries(), std::set<std::string>{name});
}

TEST_F(WriteWholeFileTest, NewFileModeFollowsTheUmaskAndAnOldFileKeepsItsMode) {
  const mode_t saved = umask(022);
  const fs::path fresh = dir / "fresh.txt";
  ASSERT_TRUE(WriteWholeFile(fresh.string(), TextToBytes("x")));
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  umask(027);
  ASSERT_TRUE(WriteWholeFile((dir / "private.txt").string(), TextToBytes("x")));
  ASSERT_EQ(stat((dir / "private.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  const fs::path kept = dir / "kept.txt";
  PutFile(kept, "old");
  ASSERT_EQ(chmod(kept.c_str(), 0600), 0);
  ASSERT_TRUE(WriteWholeFile(kept.string(), TextToBytes("new")));
  ASSERT_EQ(stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  umask(saved);
}

TEST_F(WriteWholeFileTest, MissingDirectoryFails) {
  EXPECT_FALSE(WriteWholeFile((dir / "no-such-dir" / "book.txt").string(), TextToBytes("x")));
  EXPECT_TRUE(Entries().empty());
}

TEST_F(WriteWholeFileTest, PathNamingADirectoryFailsAndLeavesNoTemporary) {
  fs::create_directory(dir / "book.txt");
  PutFile(dir / "book.txt" / "inside", "kept");
  EXPECT_FALSE(WriteWholeFile((dir / "book.txt").string(), TextToBytes("x")));
  EXPECT_FALSE(WriteWholeFile(dir.string() + "/", TextToBytes("x")));
  EXPECT_EQ(Entries(), std::set<std::string>{"book.txt"});
  EXPECT_EQ(ReadFile(dir / "book.txt" / "inside"), "kept");
}

TEST_F(WriteWholeFileTest, LongNameStillGetsATemporaryFile) {
  const std::string name = std::string(240, 'n') + ".txt";
  ASSERT_TRUE(WriteWholeFile((dir / name).string(), TextToBytes("x")));
  EXPECT_EQ(Entries(), std::set<std::string>{name});
}

// A write that fails half-way (here: the file size limit is hit) keeps the old
// book and removes the temporary file. Runs in a child process so the limit
// does not stay behind.
TEST_F(WriteWholeFileTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  const fs::path target = dir / "book.txt";
  PutFile(target, "old book");
  const std::string path = target.string();
  EXPECT_EXIT(
      {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 4096;
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool ok = WriteWholeFile(path, Bytes(100000, 'x'));
        std::_Exit(ok ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(target), "old book");
  EXPECT_EQ(Entries(), std::set<std::string>{"book.txt"});
}

TEST_F(WriteWholeFileTest, UnwritableDirectoryFailsUnlessRoot) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only directories";
  const fs::path target = dir / "book.txt";
  PutFile(target, "old book");
  fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_FALSE(WriteWholeFile(target.string(), TextToBytes("x")));
  fs::permissions(dir, fs::perms::owner_all);
  EXPECT_EQ(ReadFile(target), "old book");
}

// --- RunDirectory ------------------------------------------------------------------

TEST(RunDirectory, IsTheTestBinarysDirectoryWithoutTrailingSeparator) {
  const Text& run = RunDirectory();
  ASSERT_FALSE(run.empty());
  EXPECT_NE(run.back(), '/');
  EXPECT_EQ(fs::path(run), fs::canonical(VELLUMARA_TEST_BINARY_DIR));
  EXPECT_EQ(&RunDirectory(), &run);  // taken once
}

// --- ExitProcessNow ----------------------------------------------------------------

TEST(ExitProcessNowDeathTest, ExitsWithTheStatusAfterFlushingOutput) {
  std::string templ = (fs::temp_directory_path() / "vellumara-exit-XXXXXX").string();
  const int fd = mkstemp(templ.data());
  ASSERT_GE(fd, 0);
  close(fd);
  EXPECT_EXIT(
      {
        if (!std::freopen(templ.c_str(), "w", stdout)) std::_Exit(99);
        std::fputs("buffered, no newline", stdout);
        ExitProcessNow(3);
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(ReadFile(templ), "buffered, no newline");
  fs::remove(templ);
}

}  // namespace
}  // namespace vellumara
