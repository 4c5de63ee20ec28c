#include "logging/log_writer.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "textfile/file_io.h"
#include "textfile/text_codec.h"

namespace kelvane::logging {
namespace {

namespace fs = std::filesystem;

class LogWriter : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-log-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "log.txt").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  void put(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
  std::string bytes() { return textfile::readFileBytes(path_).value_or("<missing>"); }
  fs::path dir_;
  std::string path_;
};

TEST_F(LogWriter, AppendsMemoAndDisplayEachWithCrLf) {
  ASSERT_TRUE(appendEntry(path_, u"memo", u"a\tb"));
  EXPECT_EQ(bytes(), "memo\r\na\tb\r\n");
  ASSERT_TRUE(appendEntry(path_, u"memo", u"a\tb"));  // the same entry twice
  EXPECT_EQ(bytes(), "memo\r\na\tb\r\nmemo\r\na\tb\r\n");
  ASSERT_TRUE(appendEntry(path_, u"", u"x\r\n"));  // empty memo; display ending in CR LF
  EXPECT_EQ(bytes(), "memo\r\na\tb\r\nmemo\r\na\tb\r\n\r\nx\r\n\r\n");
}

TEST_F(LogWriter, AFileThatCannotBeOpenedGetsNothingAndNoFile) {
  EXPECT_FALSE(appendEntry("", u"m", u"d"));
  const std::string inMissingFolder = (dir_ / "no-folder" / "log.txt").string();
  EXPECT_FALSE(appendEntry(inMissingFolder, u"m", u"d"));
  EXPECT_FALSE(fs::exists(dir_ / "no-folder"));
  EXPECT_FALSE(appendEntry(dir_.string(), u"m", u"d"));  // a folder
  EXPECT_EQ(cannotWriteMessage(), u"Logファイルに書き込めません．");
}

TEST_F(LogWriter, ADanglingLinkCreatesItsFileAndAFifoIsRefusedAtOnce) {
  fs::create_symlink("real.txt", path_);
  ASSERT_TRUE(appendEntry(path_, u"m", u"d"));
  EXPECT_TRUE(fs::is_symlink(path_));
  EXPECT_EQ(textfile::readFileBytes((dir_ / "real.txt").string()), "m\r\nd\r\n");

  // A file without a name of its own, reached through /proc/self/fd, is a log
  // like any other: it was taken for one that another writer had removed.
  const int unnamed = ::open(dir_.c_str(), O_TMPFILE | O_RDWR, 0600);
  ASSERT_GE(unnamed, 0);
  const std::string byDescriptor = "/proc/self/fd/" + std::to_string(unnamed);
  EXPECT_TRUE(appendEntry(byDescriptor, u"m", u"d"));
  EXPECT_EQ(textfile::readFileBytes(byDescriptor), "m\r\nd\r\n");
  ::close(unnamed);

  // Without a reader a FIFO takes a small entry and then blocks for good.
  const std::string fifo = (dir_ / "fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ::alarm(10);  // ends the test if the write waits
  EXPECT_FALSE(appendEntry(fifo, u"memo", std::u16string(200000, u'x')));
  ::alarm(0);
}

TEST_F(LogWriter, EachLogKeepsItsEncoding) {
  // An existing CP932 log stays CP932.
  put("\x93\xFA\x96\x7B\r\n");  // 日本
  ASSERT_TRUE(appendEntry(path_, u"語", u"ｶﾅ"));
  EXPECT_EQ(bytes(), "\x93\xFA\x96\x7B\r\n\x8C\xEA\r\n\xB6\xC5\r\n");
  // An existing UTF-8 log stays UTF-8, even for text that CP932 has.
  put("日本\r\n");
  ASSERT_TRUE(appendEntry(path_, u"語", u"ｶﾅ"));
  EXPECT_EQ(bytes(), "日本\r\n語\r\nｶﾅ\r\n");
  // A new log is CP932 when the entry fits ...
  fs::remove(path_);
  ASSERT_TRUE(appendEntry(path_, u"語", u""));
  EXPECT_EQ(bytes(), "\x8C\xEA\r\n\r\n");
  // ... and UTF-8 when it does not; a plain ASCII log counts as new.
  put("ascii only\r\n");
  ASSERT_TRUE(appendEntry(path_, u"😀 語", u"ok"));
  EXPECT_EQ(bytes(), "ascii only\r\n😀 語\r\nok\r\n");
  ASSERT_TRUE(appendEntry(path_, u"語", u""));
  EXPECT_EQ(textfile::decodeText(bytes()), u"ascii only\r\n😀 語\r\nok\r\n語\r\n\r\n");
}

TEST_F(LogWriter, ACp932LogGetsReferencesForWhatItCannotHold) {
  put("\x93\xFA\r\n");
  const char16_t loneSurrogate[] = {u'a', 0xD83D, u'b', 0};
  ASSERT_TRUE(appendEntry(path_, u"😀語€\u200B", loneSurrogate));  // a zero-width space too
  EXPECT_EQ(bytes(), "\x93\xFA\r\n&#128512;\x8C\xEA&#8364;&#8203;\r\na&#55357;b\r\n");
  // Without such characters the references path gives the converter's bytes,
  // control characters included.
  const std::u16string text = u"\x1A\x1C\x7F\t日本ｶﾅ~\\";
  EXPECT_EQ(entryBytes(text, u"", LogEncoding::Cp932Refs),
            *textfile::encodeCp932(text + u"\r\n\r\n"));
}

TEST_F(LogWriter, AnEntryNeverTurnsACp932LogIntoUtf8) {
  // The log ends in ﾃ (C3) with no line end; an entry starting with ｩ (A9)
  // would complete C3 A9, "é" in UTF-8, and the log would read as UTF-8.
  put("abc\xC3");
  ASSERT_TRUE(appendEntry(path_, u"ｩ", u""));
  EXPECT_EQ(bytes(), "abc\xC3\r\n\xA9\r\n\r\n");
  ASSERT_TRUE(appendEntry(path_, u"ｩ", u""));  // a log that ends in a line end gets none
  EXPECT_EQ(bytes(), "abc\xC3\r\n\xA9\r\n\r\n\xA9\r\n\r\n");
}

TEST_F(LogWriter, AnEntryCutShortByAKilledWriterIsFinishedFirst) {
  const struct {
    const char* log;
    const char* after;  // the log after appending memo 本, empty display
  } cases[] = {
      {"m\r\nhalf", "m\r\nhalf\r\n\x96\x7B\r\n\r\n"},
      {"m\r", "m\r\n\x96\x7B\r\n\r\n"},
      {"m\n", "m\n\x96\x7B\r\n\r\n"},  // a line end of another kind will do
      // A UTF-8 log cut inside 語 (E8 AA 9E) gets some character there and
      // stays UTF-8.
      {"日本\r\n\xE8\xAA", "日本\r\n\xE8\xAA\x80\r\n本\r\n\r\n"},
      {"日本\r\n\xF0", "日本\r\n\xF0\x90\x80\x80\r\n本\r\n\r\n"},
  };
  for (const auto& c : cases) {
    put(c.log);
    ASSERT_TRUE(appendEntry(path_, u"本", u""));
    EXPECT_EQ(bytes(), c.after) << c.log;
  }
}

// Processes append at once while the file may not grow past a limit for
// some of them (a filling disk): every entry reported written is there,
// whole, and nothing else is.
TEST_F(LogWriter, ConcurrentAppendsWhereSomeFailKeepEveryEntryReportedWritten) {
  // A long log: an append takes long enough for others to come between.
  const std::string start(8 << 20, 'a');
  put(start + "\r\n");
  int results[2];
  ASSERT_EQ(::pipe(results), 0);
  constexpr int kProcesses = 6, kEach = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (p % 2 == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{(8 << 20) + 1000, (8 << 20) + 1000};
        setrlimit(RLIMIT_FSIZE, &small);
      }
      for (int n = 0; n < kEach; ++n) {
        const std::string memo = "p" + std::to_string(p) + "-" + std::to_string(n);
        if (appendEntry(path_, textfile::fromUtf8(memo), u"display")) {
          const std::string line = memo + "\n";
          (void)!::write(results[1], line.data(), line.size());
        }
      }
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(results[1]);
  std::string reported;
  char chunk[4096];
  for (ssize_t n; (n = ::read(results[0], chunk, sizeof chunk)) > 0;) reported.append(chunk, n);
  ::close(results[0]);
  for (const pid_t pid : children) ::waitpid(pid, nullptr, 0);
  std::string expected;  // the entries in the log, as the log should hold them
  std::multiset<std::string> written, logged;
  for (size_t at = 0, end; (end = reported.find('\n', at)) != std::string::npos; at = end + 1) {
    written.insert(reported.substr(at, end - at));
  }
  ASSERT_EQ(bytes().substr(0, start.size() + 2), start + "\r\n");
  const std::string log = bytes().substr(start.size() + 2);
  for (size_t at = 0, end; (end = log.find("\r\ndisplay\r\n", at)) != std::string::npos;
       at = end + 11) {
    logged.insert(log.substr(at, end - at));
    expected += log.substr(at, end - at) + "\r\ndisplay\r\n";
  }
  EXPECT_GT(written.size(), 75u);   // those without a limit
  EXPECT_LT(written.size(), 150u);  // and some with one failed
  EXPECT_EQ(logged, written);
  EXPECT_EQ(log, expected);  // whole entries only
}

TEST_F(LogWriter, AUtf8LogLongerThanOneReadIsStillSeenAsUtf8) {
  // A three-byte character straddles a boundary of the reads.
  std::string log(1 << 20, 'a');
  log.replace((1 << 20) - 3, 3, "語\r\n");
  put(log);
  ASSERT_TRUE(appendEntry(path_, u"本", u""));
  EXPECT_EQ(bytes().substr(log.size()), "本\r\n\r\n");
  EXPECT_EQ(classifyLog(log + "\xE8"), ExistingLog::Cp932);  // cut short at the end
  EXPECT_EQ(classifyLog(""), ExistingLog::Empty);
}

TEST_F(LogWriter, AnEntryThatCannotBeWrittenWholeIsTakenBack) {
  put("old\r\n");
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 8;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool appended = appendEntry(path_, u"memo", u"display");
  const bool created = appendEntry((dir_ / "new.txt").string(), u"memo", u"display");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, SIG_DFL);
  EXPECT_FALSE(appended);
  EXPECT_EQ(bytes(), "old\r\n");
  EXPECT_FALSE(created);
  EXPECT_FALSE(fs::exists(dir_ / "new.txt"));
}

}  // namespace
}  // namespace kelvane::logging
