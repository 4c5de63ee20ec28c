#include <cstdio>
#include <string>
#include <vector>

#include "cli/runner.h"
#include "cli/stop_signals.h"
#include "language/language.h"

int main(int argc, char** argv) {
  kelvane::cli::installStopSignals();
  // Messages in English only for a locale that asks for it, as in the window.
  kelvane::language::setCurrent(kelvane::language::languageOfEnvironment());
  std::vector<std::string> args(argv + 1, argv + argc);
  const int status = kelvane::cli::runMain(args, stdout, stderr);
  // Everything is shut down and written by now.
  if (kelvane::cli::stopSignal()) kelvane::cli::endByStopSignal();
  return status;
}
