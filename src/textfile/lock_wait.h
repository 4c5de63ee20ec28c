// Waits for a lock that another process holds (an appended file's flock, a
// history's write lock). Such a wait never outlasts a stop the program was
// asked for, and gives up after a bounded time, so a writer that hangs
// holding its lock cannot hold this process up for ever.
#pragma once

#include <chrono>
#include <string>

namespace kelvane::textfile {

// How long a wait for another process's lock lasts at most, unless set
// otherwise (tests shorten it).
inline constexpr std::chrono::milliseconds kLockWaitLimit{10000};
std::chrono::milliseconds lockWaitLimit();
void setLockWaitLimit(std::chrono::milliseconds limit);

// The program's stop test (kelvane-run: a stop signal arrived): a lock wait
// ends within one of its short steps once it says true. Null: never.
void setLockWaitStop(bool (*stopRequested)());
bool lockWaitStopped();

enum class LockWait {
  Taken,
  Stopped,   // the program was asked to stop meanwhile
  TimedOut,  // another process held the lock for lockWaitLimit()
  Failed,    // flock itself failed (errno tells why)
};

// Takes an exclusive flock on fd, trying again in short steps while another
// process holds it. A free lock is taken even after a stop request.
LockWait lockExclusive(int fd);

// The errno an append reports for a lock wait that gave up: ECANCELED for a
// stop, ETIMEDOUT for the time limit.
int lockWaitErrno(LockWait outcome);
// A reason for a message: for those two errno values what happened (naming
// the limit), else strerror.
std::string lockWaitReason(int error);

// One wait for a lock that is tried again by its owner (SQLite's busy
// handler): keepWaiting() sleeps one short step and tells whether to try
// again; false once stopped or past the limit since the first call.
class LockWaiter {
 public:
  bool keepWaiting();
  // Starts a new wait: the next keepWaiting() starts the clock again.
  void reset() {
    started_ = false;
    outcome_ = LockWait::Taken;
  }
  // Why the last keepWaiting() said false, Stopped or TimedOut; Taken while
  // it has not.
  LockWait outcome() const { return outcome_; }

 private:
  bool started_ = false;
  std::chrono::steady_clock::time_point start_{};
  LockWait outcome_ = LockWait::Taken;
};

}  // namespace kelvane::textfile
