#include "notify/courier.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

#include "notify/secrets.h"

extern char** environ;

namespace kelvane::notify {
namespace {

// A body larger than this is cut: it then fits a pipe's buffer whole, so
// handing it over never waits for apprise.
constexpr size_t kBodyCap = 8000;
// What is kept of apprise's answer: its last lines.
constexpr size_t kSaidCap = 2000;

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::string lastLines(const std::string& said) {
  std::string s = said;
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  const size_t line = s.rfind('\n');
  return line == std::string::npos ? s : s.substr(line + 1);
}

// The body cut at kBodyCap, not inside a UTF-8 sequence.
std::string capped(const std::string& body) {
  if (body.size() <= kBodyCap) return body;
  size_t end = kBodyCap;
  while (end > 0 && (static_cast<unsigned char>(body[end]) & 0xC0) == 0x80) --end;
  return body.substr(0, end) + "\n…";
}

// Writes text to a pipe whose reader may have ended already (a program that
// exits at once): the write then fails with EPIPE instead of the SIGPIPE
// ending a caller that does not ignore it.
bool writeAll(int fd, const std::string& text) {
  sigset_t pipe, old;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  sigset_t pending;
  sigpending(&pending);
  const bool wasPending = sigismember(&pending, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, &old);
  const bool written = ::write(fd, text.data(), text.size()) >= 0;
  const int error = errno;
  if (!written && error == EPIPE && !wasPending) {
    const timespec none{};
    while (sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  errno = error;
  return written;
}

}  // namespace

Courier::Courier(std::string program, std::chrono::milliseconds backstop)
    : program_(std::move(program)), backstop_(backstop) {}

Courier::~Courier() {
  for (Job& job : jobs_) {
    ::kill(job.pid, SIGKILL);
    ::waitpid(job.pid, nullptr, 0);
    closeFd(job.output);
  }
}

Notice testNotice(const std::string& watchName) {
  return {watchName, "Kelvane からのテスト送信です。", "test", "info", watchName, 0};
}

void Courier::send(const std::string& target, const Notice& notice) {
  Job job;
  job.target = target;
  job.result = {maskTarget(target), notice.rule, "", "", notice.watch, notice.runId};
  const auto notStarted = [&](std::string why) {
    Delivered d = job.result;
    d.outcome = "not started";
    d.error = std::move(why);
    done_.push_back(std::move(d));
  };
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    notStarted(std::strerror(errno));
    return;
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    notStarted(std::strerror(errno));
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  // The environment without any targets of the caller's, and this one's.
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    if (std::strncmp(*e, "APPRISE_URLS=", 13) && std::strncmp(*e, "APPRISE_CONFIG=", 15)) {
      env.emplace_back(*e);
    }
  }
  std::vector<std::string> args{program_, "-v", "--title=" + notice.title,
                                "--notification-type=" + notice.type};
  if (target.find("://") != std::string::npos) {
    env.push_back("APPRISE_URLS=" + target);
  } else {
    args.push_back("--tag=" + target);
  }
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // Its own process group: a Ctrl-C meant for the watch is not apprise's,
  // and the default signal handling, whatever the caller set up.
  sigset_t all, none;
  sigfillset(&all);
  sigemptyset(&none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  const int failed =
      ::posix_spawnp(&job.pid, program_.c_str(), &actions, &attr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  ::close(in[0]);
  ::close(out[1]);
  if (failed != 0) {
    ::close(in[1]);
    ::close(out[0]);
    const std::string why = failed == ENOENT
                                ? program_ + " is not installed (Debian package apprise)"
                                : program_ + ": " + std::strerror(failed);
    if (failed == ENOENT && !missingSaid_ && onMissing) {
      missingSaid_ = true;
      onMissing("notifications are not sent: " + why);
    }
    notStarted(why);
    return;
  }
  // The body fits the pipe: written at once, then the end of it.
  ::fcntl(in[1], F_SETFL, O_NONBLOCK);
  if (!writeAll(in[1], capped(notice.body))) job.said = std::strerror(errno);
  ::close(in[1]);
  ::fcntl(out[0], F_SETFL, O_NONBLOCK);
  job.output = out[0];
  job.started = std::chrono::steady_clock::now();
  jobs_.push_back(std::move(job));
}

// Reads what apprise said and whether it has ended; true when it has.
bool Courier::reap(Job& job, bool block) {
  char buffer[4096];
  for (ssize_t n; job.output >= 0 && (n = ::read(job.output, buffer, sizeof buffer)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) closeFd(job.output);
      break;
    }
    job.said.append(buffer, static_cast<size_t>(n));
    if (job.said.size() > 2 * kSaidCap) job.said.erase(0, job.said.size() - kSaidCap);
  }
  int status = 0;
  const pid_t ended = ::waitpid(job.pid, &status, block ? 0 : WNOHANG);
  if (ended == 0) return false;
  closeFd(job.output);
  const bool sent = ended == job.pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (job.result.outcome.empty()) job.result.outcome = sent ? "sent" : "failed";
  if (!sent && job.result.error.empty()) {
    job.result.error = lastLines(job.said);
    if (job.result.error.empty() && WIFEXITED(status)) {
      job.result.error = "apprise exited with status " + std::to_string(WEXITSTATUS(status));
    }
  }
  job.result.error = maskedIn(job.result.error, job.target);
  return true;
}

void Courier::end(Job& job, const char* outcome) {
  ::kill(-job.pid, SIGKILL);
  ::kill(job.pid, SIGKILL);
  job.result.outcome = outcome;
  job.result.error = lastLines(job.said);
  reap(job, true);
}

std::vector<Delivered> Courier::collect() {
  const auto now = std::chrono::steady_clock::now();
  for (auto job = jobs_.begin(); job != jobs_.end();) {
    bool ended = reap(*job, false);
    if (!ended && now - job->started > backstop_) {
      end(*job, "timed out");
      ended = true;
    }
    if (ended) {
      done_.push_back(std::move(job->result));
      job = jobs_.erase(job);
    } else {
      ++job;
    }
  }
  return std::exchange(done_, {});
}

std::vector<Delivered> Courier::finish(const std::function<bool()>& stop) {
  std::vector<Delivered> all = collect();
  while (!jobs_.empty()) {
    if (stop && stop()) {
      for (Job& job : jobs_) {
        end(job, "abandoned");
        all.push_back(std::move(job.result));
      }
      jobs_.clear();
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (Delivered& d : collect()) all.push_back(std::move(d));
  }
  return all;
}

}  // namespace kelvane::notify
