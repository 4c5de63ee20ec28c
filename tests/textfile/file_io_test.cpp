#include "textfile/file_io.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "textfile/lock_wait.h"

namespace kelvane::textfile {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-fileio-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string at(const char* name) const { return (dir_ / name).string(); }
  void put(const char* name, const std::string& bytes) const {
    std::ofstream(at(name), std::ios::binary) << bytes;
  }
  std::string bytes(const char* name) const { return readFileBytes(at(name)).value_or("<none>"); }
  mode_t mode(const char* name) const {
    struct stat st {};
    ::lstat(at(name).c_str(), &st);
    return st.st_mode;
  }
  std::set<std::string> names() const {
    std::set<std::string> all;
    for (const auto& entry : fs::directory_iterator(dir_)) all.insert(entry.path().filename());
    return all;
  }
  fs::path dir_;
};

TEST_F(FileIo, ReadsBytesExactlyAndRefusesWhatIsNoRegularFile) {
  ASSERT_TRUE(writeFileAtomically(at("a.bin"), std::string("x\0y\r\n", 5)));
  EXPECT_EQ(bytes("a.bin"), std::string("x\0y\r\n", 5));
  bool more = true;
  EXPECT_EQ(readFileHead(at("a.bin"), 5, &more), std::string("x\0y\r\n", 5));
  EXPECT_FALSE(more);
  EXPECT_EQ(readFileHead(at("a.bin"), 2, &more), std::string("x\0", 2));
  EXPECT_TRUE(more);
  // A FIFO would keep the open waiting for a writer: it must be refused at
  // once (the alarm ends a test that hangs).
  ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);
  ::alarm(10);
  EXPECT_FALSE(readFileBytes(at("fifo")));
  EXPECT_FALSE(writeFileAtomically(at("fifo"), "x"));
  ::alarm(0);
  EXPECT_TRUE(fs::is_fifo(at("fifo")));
  // A huge file is refused before anything is read (this one is sparse).
  ASSERT_EQ(::truncate(at("a.bin").c_str(), (off_t{1} << 30) + 1), 0);
  EXPECT_FALSE(readFileBytes(at("a.bin")));
  EXPECT_EQ(readFileHead(at("a.bin"), 3, &more), std::string("x\0y", 3));
  for (const std::string& refused : {at("missing"), dir_.string(), std::string()}) {
    EXPECT_FALSE(readFileBytes(refused)) << refused;
  }
}

TEST_F(FileIo, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  ASSERT_TRUE(writeFileAtomically(at("keep.txt"), "old"));
  fs::create_directories(dir_ / "blocked" / "inside");  // a folder in the way
  EXPECT_FALSE(writeFileAtomically(at("blocked"), "new"));
  EXPECT_FALSE(writeFileAtomically(at("no-such-dir/f"), "x"));
  EXPECT_EQ(bytes("keep.txt"), "old");
  EXPECT_EQ(names(), (std::set<std::string>{"blocked", "keep.txt"}));
}

TEST_F(FileIo, AWriteKeepsLinksAndModesAndCreatesWhatADanglingLinkNames) {
  fs::create_directories(dir_ / "real");
  put("real/conf", "old");
  ::chmod(at("real/conf").c_str(), 0600);
  fs::create_symlink("real/conf", dir_ / "link");
  fs::create_symlink("link", dir_ / "chain");
  fs::create_symlink("real/new", dir_ / "dangling");
  fs::create_symlink("loop", dir_ / "loop");

  ASSERT_TRUE(writeFileAtomically(at("chain"), "new"));
  EXPECT_TRUE(fs::is_symlink(at("link")));
  EXPECT_TRUE(fs::is_symlink(at("chain")));
  EXPECT_EQ(bytes("real/conf"), "new");
  EXPECT_EQ(mode("real/conf") & 07777, 0600u);
  EXPECT_TRUE(S_ISREG(mode("real/conf")));

  ASSERT_TRUE(writeFileAtomically(at("dangling"), "made"));
  EXPECT_TRUE(fs::is_symlink(at("dangling")));
  EXPECT_EQ(bytes("real/new"), "made");
  EXPECT_FALSE(writeFileAtomically(at("loop"), "x"));
  EXPECT_EQ(names(), (std::set<std::string>{"chain", "dangling", "link", "loop", "real"}));
}

TEST_F(FileIo, TheTemporaryCannotBeForeseenOrRedirectedAndOldOnesAreRemoved) {
  // A link planted at a predictable temporary name must not be written
  // through (that would overwrite the file it points to).
  put("victim", "victim");
  fs::create_symlink(dir_ / "victim", dir_ / ("conf.tmp-" + std::to_string(::getpid())));
  fs::create_symlink(dir_ / "victim", dir_ / ".conf.tmp-AAAAAA");
  // Temporaries that a save which died left behind: the old ones go; a
  // fresh one may belong to a save going on now.
  put(".conf.tmp-Old123", "stale");
  put("conf.tmp-4242", "stale");
  put(".conf.tmp-New123", "fresh");
  put(".conf.tmp-Old1234", "not ours");
  put(".other.tmp-Old123", "not ours");
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
  for (const char* name :
       {".conf.tmp-Old123", "conf.tmp-4242", ".conf.tmp-Old1234", ".other.tmp-Old123"}) {
    fs::last_write_time(at(name), old);
  }
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(writeFileAtomically(at("conf"), "data"));
  EXPECT_EQ(bytes("victim"), "victim");
  EXPECT_EQ(bytes("conf"), "data");
  const std::set<std::string> left = names();
  EXPECT_FALSE(left.count(".conf.tmp-Old123"));
  EXPECT_FALSE(left.count("conf.tmp-4242"));
  for (const char* kept :
       {".conf.tmp-New123", ".conf.tmp-Old1234", ".other.tmp-Old123", ".conf.tmp-AAAAAA"}) {
    EXPECT_TRUE(left.count(kept)) << kept;
  }
  EXPECT_EQ(left.size(), 7u);  // nothing of the three saves stays behind
}

// Links in a folder everyone may write to (sticky, as /tmp) are followed
// only when they are this user's or the folder owner's; elsewhere, and for
// everything that is not such a link, nothing changes.
TEST_F(FileIo, ALinkAnotherUserPlantedInASharedFolderIsNeverWrittenThrough) {
  if (::geteuid() != 0) GTEST_SKIP() << "giving a link to another user needs root";
  constexpr uid_t kOther = 65534;
  fs::create_directories(dir_ / "shared");
  fs::create_directories(dir_ / "private");
  ::chmod(at("shared").c_str(), 01777);
  ::chmod(at("private").c_str(), 0777);  // writable by all, but not sticky
  put("victim", "mine");
  const auto link = [&](const char* name, const std::string& target, uid_t owner) {
    fs::create_symlink(target, dir_ / name);
    ASSERT_EQ(::lchown(at(name).c_str(), owner, owner), 0);
  };
  link("shared/planted", at("victim"), kOther);
  link("shared/own", at("victim"), 0);
  link("shared/dir", at("private"), kOther);
  link("private/theirs", at("victim"), kOther);
  link("chain", at("shared/planted"), 0);
  const struct {
    const char* path;
    const char* refused;  // the link refused, or null
  } cases[] = {
      {"shared/planted", "shared/planted"},
      {"chain", "shared/planted"},        // one's own link on the way to it
      {"shared/dir/file", "shared/dir"},  // a planted folder link
      {"shared/./x/../planted", "shared/planted"},
      {"shared/own", nullptr},
      {"private/theirs", nullptr},  // not sticky: the folder is the writer's choice
      {"shared/missing", nullptr},
      {"victim", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plantedLink(at(c.path)), c.refused ? std::optional(at(c.refused)) : std::nullopt)
        << c.path;
    EXPECT_EQ(writeFileAtomically(at(c.path), "written"), !c.refused) << c.path;
    if (c.refused) {
      EXPECT_EQ(bytes("victim"), "mine") << c.path;
    }
    put("victim", "mine");
  }
  // The folder's owner may put links there for everyone.
  ::chown(at("shared").c_str(), kOther, kOther);
  EXPECT_EQ(plantedLink(at("shared/planted")), std::nullopt);
}

// An append behind another process's lock (a second open file holds it here)
// waits, but gives up at a stop request or after the limit, and goes on once
// the lock is free; what it gave up on leaves the file as it was.
TEST_F(FileIo, AnAppendBehindAHeldLockGivesUpAtAStopOrAfterTheLimit) {
  using namespace std::chrono_literals;
  put("log", "kept\n");
  const int holder = ::open(at("log").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_EQ(::flock(holder, LOCK_EX), 0);
  setLockWaitLimit(300ms);
  static bool stop = false;
  setLockWaitStop([] { return stop; });
  const struct {
    bool stop, held;
    int error;
    std::chrono::milliseconds least, most;
  } cases[] = {
      {true, true, ECANCELED, 0ms, 100ms},
      {false, true, ETIMEDOUT, 300ms, 1000ms},
      {true, false, 0, 0ms, 100ms},  // a free lock is taken even after a stop
  };
  for (const auto& c : cases) {
    stop = c.stop;
    if (!c.held) ::flock(holder, LOCK_UN);
    const int fd = ::open(at("log").c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    int error = -1;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = appendLocked(
        fd, [](uint64_t) { return std::string("new\n"); }, &error);
    const auto took = std::chrono::steady_clock::now() - start;
    ::close(fd);
    EXPECT_EQ(ok, c.error == 0);
    EXPECT_EQ(error, c.error);
    EXPECT_GE(took, c.least);
    EXPECT_LT(took, c.most);
    EXPECT_EQ(bytes("log"), c.held ? "kept\n" : "kept\nnew\n");
  }
  ::close(holder);
  setLockWaitStop(nullptr);
  setLockWaitLimit(kLockWaitLimit);
}

}  // namespace
}  // namespace kelvane::textfile
