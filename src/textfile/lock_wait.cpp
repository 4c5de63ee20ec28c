#include "textfile/lock_wait.h"

#include <sys/file.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace kelvane::textfile {
namespace {

// Short enough that a stop is seen well within a second, long enough that a
// wait costs next to nothing.
constexpr std::chrono::milliseconds kStep{20};

std::atomic<bool (*)()> stopTest{nullptr};
std::atomic<int64_t> limitMs{kLockWaitLimit.count()};

}  // namespace

std::chrono::milliseconds lockWaitLimit() {
  return std::chrono::milliseconds(limitMs.load());
}

void setLockWaitLimit(std::chrono::milliseconds limit) {
  limitMs.store(limit.count());
}

void setLockWaitStop(bool (*stopRequested)()) {
  stopTest.store(stopRequested);
}

bool lockWaitStopped() {
  const auto test = stopTest.load();
  return test != nullptr && test();
}

bool LockWaiter::keepWaiting() {
  const auto now = std::chrono::steady_clock::now();
  if (!started_) {
    started_ = true;
    start_ = now;
  }
  if (lockWaitStopped()) {
    outcome_ = LockWait::Stopped;
    return false;
  }
  if (now - start_ >= lockWaitLimit()) {
    outcome_ = LockWait::TimedOut;
    return false;
  }
  std::this_thread::sleep_for(kStep);
  return true;
}

LockWait lockExclusive(int fd) {
  LockWaiter waiter;
  while (true) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return LockWait::Taken;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return LockWait::Failed;
    if (!waiter.keepWaiting()) return waiter.outcome();
  }
}

int lockWaitErrno(LockWait outcome) {
  switch (outcome) {
    case LockWait::Stopped:
      return ECANCELED;
    case LockWait::TimedOut:
      return ETIMEDOUT;
    default:
      return errno;
  }
}

std::string lockWaitReason(int error) {
  if (error == ECANCELED) return "stopped while another process held the file's lock";
  if (error == ETIMEDOUT) {
    return "another process held the file's lock for " +
           std::to_string(lockWaitLimit().count() / 1000) + " s; gave up waiting";
  }
  return std::strerror(error);
}

}  // namespace kelvane::textfile
