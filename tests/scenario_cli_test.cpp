// Scenario files handed to kestrava-cli: what cannot be a scenario is a usage error with
// its reason, never a crash or a machine out of memory.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "cli_support.h"
#include "virtual/scenario.h"

namespace kestrava::virtualprinter {
namespace {

std::string nestedTexts(std::size_t depth) {
  std::string text = "{\"oids\": {\"A.0\": ";
  for (std::size_t i = 0; i < depth; ++i) text += "{\"text\": ";
  text += "\"x\"" + std::string(depth, '}');
  return text + "}}";
}

TEST(ScenarioFile, AnEndlessFileIsRefused) {
  try {
    loadScenario("/dev/zero");
    FAIL() << "/dev/zero loaded";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find("not a regular file"), std::string::npos) << error.what();
  }
}

// The user sees the reason and kestrava-cli's usage status, never a crash.
TEST(ScenarioFile, BadScenariosAreUsageErrorsOfTheCli) {
  const std::string deep =
      (std::filesystem::temp_directory_path() / ("kestrava-deep-" + std::to_string(::getpid()) + ".json")).string();
  std::ofstream(deep, std::ios::binary) << nestedTexts(20000);
  const std::string huge = deep + ".huge.json";
  std::ofstream(huge, std::ios::binary) << R"({"files":{"/etc/version":{"size":2147483647}}})";
  for (const std::string& file : {deep, huge, std::string("/dev/zero")}) {
    SCOPED_TRACE(file);
    testing::CliOutcome outcome = testing::runCli("--device 'virtual:" + file + "'");
    EXPECT_EQ(outcome.status, 64);
    EXPECT_NE(outcome.err.find("scenario"), std::string::npos) << outcome.err;
  }
  std::remove(deep.c_str());
  std::remove(huge.c_str());
}

}  // namespace
}  // namespace kestrava::virtualprinter
