// Notices through the real apprise to a receiver on 127.0.0.1 that also
// serves the watched page: which runs send, what a broken watch sends, that a
// target's token stays out of every file and message, and that delivery never
// holds the runs up.
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <nlohmann/json.hpp>

#include "cli/run_fixture.h"
#include "cli/watch_notify.h"
#include "textfile/file_io.h"

namespace kelvane::cli::testing {
namespace {

// Answers GET with the page set (none: 500) and keeps the body of each POST.
class Receiver {
 public:
  explicit Receiver(bool hang = false) : hang_(hang) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 16);
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~Receiver() {
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
    thread_.join();
    for (const int c : held_) ::close(c);
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int port() const { return port_; }
  std::string target() const {
    return "json://127.0.0.1:" + std::to_string(port_) + "/hook?token=S3CRETTOKEN";
  }
  void setPage(std::string page) {
    std::lock_guard lock(mutex_);
    page_ = std::move(page);
  }
  std::vector<std::string> messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  void serve() {
    for (int c; (c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
      std::string request;
      char buf[8192];
      size_t want = std::string::npos;
      for (ssize_t n; request.size() < want && (n = ::recv(c, buf, sizeof buf, 0)) > 0;) {
        request.append(buf, static_cast<size_t>(n));
        const size_t head = request.find("\r\n\r\n");
        if (head == std::string::npos) continue;
        const size_t length = request.find("Content-Length: ");
        want = head + 4 + (length < head ? std::stoul(request.substr(length + 16)) : 0);
      }
      std::lock_guard lock(mutex_);
      if (request.rfind("POST", 0) == 0 && hang_) {
        held_.push_back(c);
        continue;
      }
      std::string answer = "HTTP/1.1 500 Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      if (request.rfind("POST", 0) == 0) {
        // apprise's JSON: the title and the message as sent.
        const auto json =
            nlohmann::json::parse(request.substr(request.find("\r\n\r\n") + 4), nullptr, false);
        messages_.push_back(
            json.is_discarded() ? "" : json.value("title", "") + "\n" + json.value("message", ""));
        answer = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      } else if (!page_.empty()) {
        answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                 std::to_string(page_.size()) + "\r\nConnection: close\r\n\r\n" + page_;
      }
      ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
      ::close(c);
    }
  }

  bool hang_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::string page_;
  std::vector<std::string> messages_;
  std::vector<int> held_;
};

class Notify : public RunFixture {
 protected:
  std::string script(const std::string& url) {
    return write("mikan.spt", "CLEAR\tD\r\n" + (url.empty() ? "" : "URL\t\"" + url + "\"\r\n") +
                                  "GETC\tHT\tV1\t\"<b>\"\t\"</b>\"\r\n"
                                  "PUT\t\"みかん（有田）\"\tD\r\nPUTTAB\tD\r\nPUT\tV1\tD\r\n");
  }
  std::string history() { return (dir_ / "h.sqlite").string(); }
};

TEST_F(Notify, APriceBelowItsBoundSendsOnceEachTimeItGoesBelow) {
  Receiver receiver;
  const std::string spt = script("");
  std::string err;
  for (const char* price : {"320", "310", "298", "295", "305", "290"}) {
    const std::string page = write("p.html", std::string("<b>￥") + price + "</b>");
    const Result r =
        run({"--page", page, "--history", history(), "--record", (dir_ / "r.jsonl").string(),
             "--when", "\"みかん\" below 300", "--notify", receiver.target(), "--trace", spt});
    EXPECT_EQ(r.status, 0) << r.err;
    err += r.err;
  }
  const std::vector<std::string> got = receiver.messages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].substr(0, got[0].find('\n', 7)),
            "mikan\nみかん（有田） = 298 (\"みかん\" below 300)");
  EXPECT_NE(got[1].find("みかん（有田）: ￥305 → ￥290"), std::string::npos) << got[1];
  EXPECT_NE(err.find("still true, told already"), std::string::npos);  // --trace
  const Result log = run({"--history", history(), "--export", "deliveries"});
  EXPECT_NE(log.out.find("json://127.0.0.1:"), std::string::npos) << log.out;
  for (const std::string& where : {log.out, err, *textfile::readFileBytes(history()),
                                   textfile::readFileBytes(history() + "-wal").value_or(""),
                                   *textfile::readFileBytes((dir_ / "r.jsonl").string())}) {
    EXPECT_EQ(where.find("S3CRETTOKEN"), std::string::npos);
  }
}

TEST_F(Notify, AWatchThatBreaksIsToldOnceAndItsRecoveryOnce) {
  Receiver receiver;
  const std::string spt = script(receiver.url("/page"));
  for (int i = 0; i < 5; ++i) {
    if (i == 4) receiver.setPage("<b>￥298</b>");
    const Result r =
        run({"--fetch", "direct", "--history", history(), "--notify", receiver.target(), spt});
    EXPECT_EQ(r.status, i < 4 ? 1 : 0) << r.err;
  }
  const std::vector<std::string> got = receiver.messages();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NE(got[0].find("has not run normally since"), std::string::npos) << got[0];
  EXPECT_NE(got[1].find("runs normally again"), std::string::npos) << got[1];

  const Result test = run({"--notify-test", "--notify", receiver.target(), "--notify",
                           "json://127.0.0.1:9/dead?token=S3CRETTOKEN"});
  EXPECT_EQ(test.status, 1);  // the second target cannot be reached
  EXPECT_NE(test.out.find(":" + std::to_string(receiver.port()) + "/****: sent\n"),
            std::string::npos)
      << test.out;
  EXPECT_NE(test.out.find("json://127.0.0.1:9/****: failed"), std::string::npos) << test.out;
  EXPECT_EQ((test.out + test.err).find("S3CRETTOKEN"), std::string::npos);
}

TEST_F(Notify, WithoutAppriseOrWithAReceiverThatHangsTheRunsGoOn) {
  const std::string page = write("p.html", "<b>￥298</b>");
  const std::string spt = script("");
  const std::string path = std::getenv("PATH");
  ::setenv("PATH", dir_.c_str(), 1);
  Result r = run({"--page", page, "--runs", "2", "--first", "--when", "shows \"みかん\"",
                  "--notify", "json://127.0.0.1:9/a", "--notify", "json://127.0.0.1:9/b", spt});
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(r.status, 0);
  const size_t said = r.err.find("Debian package apprise");
  EXPECT_NE(said, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Debian package apprise", said + 1), std::string::npos) << r.err;

  // The runs are recorded at once; the process then waits for apprise, and a
  // stop signal ends that wait with the delivery logged as abandoned.
  Receiver hangs(true);
  const pid_t pid =
      spawnProgram({KELVANE_RUN, "--page", page, "--runs", "3", "--history", history(), "--first",
                    "--when", "shows \"みかん\"", "--notify", hangs.target(), spt});
  const auto start = std::chrono::steady_clock::now();
  Result runs;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    runs = run({"--history", history(), "--export", "csv"});
  } while (std::count(runs.out.begin(), runs.out.end(), '\n') < 4 &&
           std::chrono::steady_clock::now() - start < std::chrono::seconds(10));
  EXPECT_EQ(std::count(runs.out.begin(), runs.out.end(), '\n'), 4) << runs.out;
  ::kill(pid, SIGTERM);
  EXPECT_NE(waitEnded(pid), -1);  // ended, by the signal
  const Result log = run({"--history", history(), "--export", "deliveries"});
  EXPECT_NE(log.out.find(",abandoned,"), std::string::npos) << log.out;
}

TEST_F(Notify, AWatchTakesItsRulesFromItsSettingsAndItsTargetsFromItsSecrets) {
  const std::string classic(24, '\n');
  const std::string cnf = write("Kelvane.cnf", classic +
                                                   "notify_when=\"みかん\" below 300\n"
                                                   "notify_when=hides 「在庫あり」\n"
                                                   "notify_first=1\nnotify_alert_after=5\n");
  write("Kelvane.secrets", "notify=json://127.0.0.1:9/a?token=T\n");
  std::FILE* err = std::tmpfile();
  const auto settings = watchNotifySettings(cnf, err);
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->rules.size(), 2u);
  EXPECT_TRUE(settings->first);
  EXPECT_EQ(settings->alertAfter, 5);
  EXPECT_EQ(settings->targets, std::vector<std::string>{"json://127.0.0.1:9/a?token=T"});
  write("Kelvane.cnf", classic + "notify_when=\"みかん\" under 300\n");
  EXPECT_FALSE(watchNotifySettings(cnf, err));
  EXPECT_NE(slurp(err).find("not a rule: \"みかん\" under 300"), std::string::npos);
}

}  // namespace
}  // namespace kelvane::cli::testing
