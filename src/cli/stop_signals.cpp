#include "cli/stop_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "textfile/lock_wait.h"

namespace kelvane::cli {
namespace {

volatile std::sig_atomic_t received = 0;
std::atomic<engine::Engine*> interrupted{nullptr};
int pipeEnds[2] = {-1, -1};

static_assert(std::atomic<engine::Engine*>::is_always_lock_free);

extern "C" void onStopSignal(int signal) {
  const int saved = errno;
  received = signal;
  if (engine::Engine* e = interrupted.load()) e->requestInterrupt();
  if (pipeEnds[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipeEnds[1], &byte, 1);
  }
  errno = saved;
}

}  // namespace

void installStopSignals() {
  if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) pipeEnds[0] = pipeEnds[1] = -1;
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  // Restarting keeps library code that does not expect EINTR working; our
  // own waits poll the descriptor instead.
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(signal, &action, nullptr);
  // A closed pipe shows as EPIPE where it is written, after what the run
  // produced has been kept.
  std::signal(SIGPIPE, SIG_IGN);
  // Waits for another process's lock (log, record, history) end at a stop.
  textfile::setLockWaitStop(&stopRequested);
}

bool stopRequested() {
  return received != 0;
}

int stopSignal() {
  return received;
}

void interruptOnStopSignal(engine::Engine* engine) {
  interrupted.store(engine);
  if (engine && received) engine->requestInterrupt();
}

int stopSignalDescriptor() {
  return pipeEnds[0];
}

void endByStopSignal() {
  const int signal = received ? static_cast<int>(received) : SIGTERM;
  std::signal(signal, SIG_DFL);
  std::raise(signal);
  std::_Exit(128 + signal);
}

}  // namespace kelvane::cli
