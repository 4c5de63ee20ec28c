#include <cstdio>
#include <string>
#include <vector>

#include "cli/runner.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return kelvane::cli::runMain(args, stdout, stderr);
}
