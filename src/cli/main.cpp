#include <cstdio>
#include <string>
#include <vector>

#include "cli/runner.h"
#include "cli/stop_signals.h"

int main(int argc, char** argv) {
  kelvane::cli::installStopSignals();
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = kelvane::cli::runMain(args, stdout, stderr);
  // Everything is shut down and written by now.
  if (kelvane::cli::stopSignal()) kelvane::cli::endByStopSignal();
  return status;
}
