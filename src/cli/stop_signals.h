// SIGTERM, SIGINT and SIGHUP end kelvane-run at a safe point: the running
// line finishes, a page wait gives up, and what the run produced (state,
// record, log, the printed buffer) is written whole before the process ends.
// SIGPIPE is ignored: a reader that went away shows as a failed write.
#pragma once

#include "engine/engine.h"

namespace kelvane::cli {

// Installs the handlers; called once, by main().
void installStopSignals();
// True once a stop signal has arrived; stays true. Any wait or long loop in
// kelvane-run polls this (or waits on stopSignalDescriptor()) and gives up
// when it turns true. Safe to call from any thread.
bool stopRequested();
// The signal that asked kelvane-run to stop, or 0.
int stopSignal();
// The engine a signal interrupts (null for none): its interruptRequested()
// is the same request, for code that holds the engine but not this module.
void interruptOnStopSignal(engine::Engine* engine);
// A descriptor that becomes readable when a stop signal arrives and stays
// readable, for poll() in waits that should end early; -1 before
// installStopSignals. The handlers restart interrupted system calls, so a
// blocking call that is not given this descriptor waits on regardless.
int stopSignalDescriptor();
// Ends the process by the signal that stopped it, as its default action
// would have, so that a service manager sees a clean stop.
[[noreturn]] void endByStopSignal();

}  // namespace kelvane::cli
