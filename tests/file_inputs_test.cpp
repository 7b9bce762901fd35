// Files handed to kestrava-cli (a scenario, a list of them, a trace) are read whole only
// when they are regular files within their bounds. Anything else is a usage error that
// names the file and the reason, at once: no hang on a FIFO, no gigabyte from /dev/zero.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli_support.h"

namespace kestrava {
namespace {

namespace fs = std::filesystem;

class FileInputs : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kestrava-inputs-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string file(const std::string& name, const std::string& text) {
    std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // A file of `bytes` that takes no room on the disk.
  std::string sparse(const std::string& name, std::uintmax_t bytes) {
    std::string path = file(name, "");
    fs::resize_file(path, bytes);
    return path;
  }
  std::string fifo(const std::string& name) {
    std::string path = (dir_ / name).string();
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
  }
  std::string folder() const { return dir_.string(); }

 private:
  fs::path dir_;
};

TEST_F(FileInputs, WhatIsNoScenarioOrTraceIsAUsageErrorNamingFileAndReason) {
  // Eight names of one file: a list is bounded as one scenario is.
  const std::string large = file("large.json", R"({"files":{"/a":{"size":60000000},"/b":{"size":60000000}}})");
  const std::string list = large + "," + large + "," + large;
  const std::string trace = file("huge-answer.trace", "kestrava-trace 1\nread 0.000001 5120 5000 ok 104857600 00\n");
  struct Case {
    std::string device;
    std::string reason;
  };
  const Case cases[] = {
      {"virtual:/dev/zero", "\"/dev/zero\": not a regular file"},
      {"replay:/dev/zero", "\"/dev/zero\": not a regular file"},
      {"virtual:" + fifo("scenario.fifo"), "scenario.fifo\": not a regular file"},
      {"replay:" + fifo("trace.fifo"), "trace.fifo\": not a regular file"},
      {"virtual:" + folder(), "\": a directory, not a file"},
      {"replay:" + folder(), "\": a directory, not a file"},
      {"virtual:" + folder() + "/nothere.json", "nothere.json\": No such file or directory"},
      {"replay:" + folder() + "/nothere.trace", "nothere.trace\": No such file or directory"},
      {"virtual:" + sparse("17MiB.json", 17u << 20), "17MiB.json\": larger than 16 MiB"},
      {"replay:" + sparse("257MiB.trace", 257u << 20), "257MiB.trace\": larger than 256 MiB"},
      {"virtual:" + list, "more bytes than a scenario may hold (in \"" + large + "\")"},
      {"replay:" + trace, "trace line 2: more than 64 MiB in one transfer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    const auto start = std::chrono::steady_clock::now();
    testing::CliOutcome run = testing::runCli("--device '" + c.device + "'");
    EXPECT_EQ(run.status, 64) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    // Refused before it was read: a FIFO would hold the run until the minute's kill.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  }
}

}  // namespace
}  // namespace kestrava
