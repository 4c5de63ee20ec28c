// SIGTERM and SIGINT end kelvane-run at a safe point: the running line
// finishes, a page wait gives up, and nothing is written after the run, so
// no log, state or record is left half-written.
#pragma once

#include "engine/engine.h"

namespace kelvane::cli {

// Installs the handlers; called once, by main().
void installStopSignals();
// The signal that asked kelvane-run to stop, or 0.
int stopSignal();
// The engine a signal interrupts (null for none).
void interruptOnStopSignal(engine::Engine* engine);
// A descriptor that becomes readable when a stop signal arrives, for waits
// that should end early; -1 before installStopSignals.
int stopSignalDescriptor();
// Ends the process by the signal that stopped it, as its default action
// would have, so that a service manager sees a clean stop.
[[noreturn]] void endByStopSignal();

}  // namespace kelvane::cli
