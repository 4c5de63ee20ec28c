// Deliveries through the apprise command (Debian's apprise package), each
// started beside the run and never waited for by it: the target reaches
// apprise through its environment (APPRISE_URLS), never its command line,
// the body through its standard input.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace kelvane::notify {

struct Notice {
  std::string title;
  std::string body;
  std::string rule;           // what made it: a rule, "failing", "recovered", "test"
  std::string type = "info";  // apprise's kinds: info, success, warning, failure
  std::string watch;          // for the delivery log
  long long runId = 0;        // the run it follows, 0 for none
};

// The message テスト送信 and --notify-test send, titled with the watch's name.
Notice testNotice(const std::string& watchName);

struct Delivered {
  std::string target;  // masked
  std::string rule;
  std::string outcome;  // "sent", "failed", "timed out", "abandoned", "not started"
  std::string error;    // apprise's last words (masked), or why it did not start
  std::string watch;
  long long runId = 0;
};

class Courier {
 public:
  // program: the command looked up on PATH. backstop: how long apprise may
  // take before it is ended (it gives up on a dead target by itself sooner).
  explicit Courier(std::string program = "apprise",
                   std::chrono::milliseconds backstop = std::chrono::seconds(60));
  ~Courier();  // ends what is still running, without waiting
  Courier(const Courier&) = delete;
  Courier& operator=(const Courier&) = delete;

  // Starts one delivery and returns at once. A target without "://" is a
  // tag of the user's own Apprise configuration.
  void send(const std::string& target, const Notice& notice);
  // The deliveries finished since the last call, a delivery past the
  // backstop ended as "timed out".
  std::vector<Delivered> collect();
  // Waits for every delivery, checking stop about every 50 ms; when stop says
  // so, what still runs is ended and reported "abandoned".
  std::vector<Delivered> finish(const std::function<bool()>& stop);
  size_t running() const { return jobs_.size(); }

  // Called once per Courier when the program cannot be found.
  std::function<void(const std::string&)> onMissing;

 private:
  struct Job {
    pid_t pid = -1;
    int output = -1;  // apprise's standard output and error
    std::string target;
    Delivered result;
    std::string said;
    std::chrono::steady_clock::time_point started;
  };
  bool reap(Job& job, bool block);
  void end(Job& job, const char* outcome);

  std::string program_;
  std::chrono::milliseconds backstop_;
  std::vector<Job> jobs_;
  std::vector<Delivered> done_;
  bool missingSaid_ = false;
};

}  // namespace kelvane::notify
