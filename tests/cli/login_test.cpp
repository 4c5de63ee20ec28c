// A page behind a login, fetched directly with the cookies of a file: the
// session renewed by the server is kept there, a missing login is said as
// such, and the cookie's value shows up nowhere but in that file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>

#include "run_fixture.h"
#include "support/local_http_server.h"
#include "textfile/file_io.h"

namespace kelvane::cli {
namespace {

using Login = testing::RunFixture;
using kelvane::testing::LocalHttpServer;
using testing::Result;

// The session the test starts with, and the one the server renews it to.
constexpr const char* kFirst = "s3cr3t-first-4711";
constexpr const char* kRenewed = "s3cr3t-renewed-0815";

// A site whose /page answers only a known session, renewing it, and
// otherwise redirects to its login form.
struct LoginSite {
  std::atomic<int> pageViews{0};
  LocalHttpServer server{
      [this](LocalHttpServer&, int fd, const std::string& path, const std::string& head) {
        const bool known = head.find(std::string("session=") + kFirst) != std::string::npos ||
                           head.find(std::string("session=") + kRenewed) != std::string::npos;
        if (path == "/page" && known) {
          ++pageViews;
          LocalHttpServer::reply(fd, "200 OK",
                                 "Content-Type: text/html\r\nSet-Cookie: session=" +
                                     std::string(kRenewed) + "; Path=/; HttpOnly\r\n",
                                 "<p>member price 1200</p>");
        } else if (path == "/page") {
          LocalHttpServer::reply(fd, "302 Found", "Location: /login\r\n", "");
        } else {
          LocalHttpServer::reply(fd, "200 OK", "Content-Type: text/html\r\n",
                                 "<form method=post action=/login><input name=user>"
                                 "<input type=password name=pw></form>");
        }
      }};
};

TEST_F(Login, TheCookieFileOpensThePageAndKeepsTheRenewedSession) {
  LoginSite site;
  const auto script = write(
      "p.spt", "URL\t\"" + site.server.url("/page") + "\"\r\nGETC\tHT\tD\t\"<p>\"\t\"</p>\"\r\n");
  const auto cookies = write("cookies.txt",
                             "# Netscape HTTP Cookie File\n127.0.0.1\tFALSE\t/\t"
                             "FALSE\t0\tsession\t" +
                                 std::string(kFirst) + "\n");
  ::chmod(cookies.c_str(), 0600);
  const auto record = (dir_ / "r.jsonl").string();
  const auto history = (dir_ / "h.sqlite").string();
  const auto log = (dir_ / "log.txt").string();
  const std::vector<std::string> common = {"--fetch", "direct",   "--trace", "--record",
                                           record,    "--log",    log,       "--history",
                                           history,   "--cookies"};
  auto args = common;
  args.insert(args.end(), {cookies, script});
  const Result first = run(args);
  EXPECT_EQ(first.status, kExitNormal) << first.err;
  EXPECT_EQ(first.out, "member price 1200");
  const std::string kept = textfile::readFileBytes(cookies).value_or("");
  EXPECT_NE(kept.find(std::string("session\t") + kRenewed), std::string::npos) << kept;
  EXPECT_EQ(kept.find(kFirst), std::string::npos);
  // The trace names the cookie, never its value.
  EXPECT_NE(first.err.find("cookies kept in " + cookies + ": session"), std::string::npos)
      << first.err;
  struct stat st {};
  ASSERT_EQ(::stat(cookies.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // The renewed session opens the page the next time.
  const Result second = run(args);
  EXPECT_EQ(second.status, kExitNormal) << second.err;
  EXPECT_EQ(site.pageViews, 2);

  // Without the session the page is the login form: the run fails naming
  // the login.
  const auto empty = write("empty.txt", "");
  args = common;
  args.insert(args.end(), {empty, script});
  const Result logout = run(args);
  EXPECT_EQ(logout.status, kExitStopped);
  EXPECT_NE(logout.err.find("ログインが必要です"), std::string::npos) << logout.err;

  for (const auto& entry : std::filesystem::directory_iterator(dir_)) {
    if (entry.path() == cookies) continue;
    const std::string bytes = textfile::readFileBytes(entry.path().string()).value_or("");
    for (const char* secret : {kFirst, kRenewed}) {
      EXPECT_EQ(bytes.find(secret), std::string::npos) << secret << " in " << entry.path();
    }
  }
  for (const Result* r : {&first, &second, &logout}) {
    for (const char* secret : {kFirst, kRenewed}) {
      EXPECT_EQ((r->out + r->err).find(secret), std::string::npos) << secret;
    }
  }
}

}  // namespace
}  // namespace kelvane::cli
