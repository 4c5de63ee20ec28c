#include "acquisition/direct/cookie_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "acquisition/direct/http_fetch.h"
#include "textfile/file_io.h"

namespace kelvane::acquisition {
namespace {

namespace fs = std::filesystem;

std::string cookie(const std::string& name, const std::string& value) {
  return "127.0.0.1\tFALSE\t/\tFALSE\t0\t" + name + "\t" + value;
}

class CookieFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kelvane-cookies-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    path_ = (dir_ / "cookies.txt").string();
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string file() const { return textfile::readFileBytes(path_).value_or(""); }
  fs::path dir_;
  std::string path_;
};

// Two programs keep cookies in one file at once: each one's changes reach
// the file, neither loses the other's, and each takes the other's.
TEST_F(CookieFileTest, WritersKeepEachOthersCookies) {
  std::ofstream(path_) << "# a file a user made\n" << cookie("shared", "old") << "\n";
  ::chmod(path_.c_str(), 0644);
  HttpFetcher a, b;
  CookieFile fileA(path_), fileB(path_);
  ASSERT_EQ(fileA.beforeFetch(a), "");
  ASSERT_EQ(fileB.beforeFetch(b), "");
  ASSERT_EQ(a.cookieLines(), std::vector<std::string>{cookie("shared", "old")});

  a.addCookie(cookie("fromA", "1"));
  ASSERT_EQ(fileA.afterFetch(a), "");
  b.addCookie(cookie("shared", "renewed"));  // b has not seen fromA
  ASSERT_EQ(fileB.afterFetch(b), "");
  for (const char* kept : {"fromA\t1", "shared\trenewed"}) {
    EXPECT_NE(file().find(kept), std::string::npos) << kept << " in\n" << file();
  }
  EXPECT_EQ(file().find("\told"), std::string::npos);
  ASSERT_EQ(fileA.beforeFetch(a), "");
  EXPECT_EQ(a.cookieLines().size(), 2u);
  // A cookie the server dropped leaves the file; the other's stays.
  a.replaceCookies({cookie("shared", "renewed")});
  ASSERT_EQ(fileA.afterFetch(a), "");
  EXPECT_EQ(file().find("fromA"), std::string::npos);
  EXPECT_NE(file().find("shared\trenewed"), std::string::npos);

  struct stat st {};
  ASSERT_EQ(::stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(fileA.clear(), "");
  EXPECT_EQ(file().find("shared"), std::string::npos);
}

TEST_F(CookieFileTest, FilesThatCannotHoldCookiesAreRefused) {
  // A new file is made readable by its owner only.
  HttpFetcher engine;
  CookieFile fresh((dir_ / "new.txt").string());
  ASSERT_EQ(fresh.beforeFetch(engine), "");
  engine.addCookie("Set-Cookie: s=v; domain=127.0.0.1; path=/; HttpOnly");
  ASSERT_EQ(fresh.afterFetch(engine), "");
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "new.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const auto fields = cookieFields(engine.cookieLines().at(0));
  ASSERT_TRUE(fields);
  EXPECT_TRUE(fields->httpOnly);
  EXPECT_EQ(fields->name + "=" + fields->value + "@" + fields->domain + fields->path,
            "s=v@127.0.0.1/");

  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);  // no writer: never waited for
  CookieFile fifo((dir_ / "fifo").string());
  EXPECT_NE(fifo.beforeFetch(engine).find("is not a regular file"), std::string::npos);
  fs::create_directories(dir_ / "folder");
  CookieFile folder((dir_ / "folder").string());
  EXPECT_NE(folder.afterFetch(engine), "");
}

}  // namespace
}  // namespace kelvane::acquisition
