// A fixture that runs kelvane-run in process over files in a fresh folder.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli/runner.h"

namespace kelvane::cli::testing {

struct Result {
  int status;
  std::string out, err;
};

class RunFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           ("kelvane-cli-" + std::to_string(::getpid()) + "-" + info->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Writes a file into the folder and returns its path.
  std::string write(const std::string& name, const std::string& bytes) {
    const auto path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  Result run(std::vector<std::string> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int status = runMain(args, out, err);
    return {status, slurp(out), slurp(err)};
  }

  std::filesystem::path dir_;

  // Starts the real program with standard output on outFd (-1: /dev/null)
  // and standard error on /dev/null.
  static pid_t spawnProgram(std::vector<std::string> args, int outFd = -1) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    if (outFd >= 0) {
      posix_spawn_file_actions_adddup2(&files, outFd, 1);
    } else {
      posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, args[0].c_str(), &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    EXPECT_EQ(error, 0);
    return pid;
  }
  // Waits up to 10 s for pid to end; its wait status, -1 (and the process
  // killed) when it did not.
  static int waitEnded(pid_t pid) {
    using namespace std::chrono_literals;
    const auto start = std::chrono::steady_clock::now();
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() - start > 10s) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return -1;
      }
      std::this_thread::sleep_for(5ms);
    }
    return status;
  }

  // What was written to f, which is closed.
  static std::string slurp(std::FILE* f) {
    std::string s;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
  }
};

}  // namespace kelvane::cli::testing
