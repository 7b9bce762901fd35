// kestrava-cli's text output of a printer whose serial number carries terminal escape
// sequences: shown visibly, never sent to the terminal; --json escapes them as before.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "cli_support.h"

namespace kestrava {
namespace {

TEST(CliTextOutput, PrinterTextNeverSendsControlsToTheTerminal) {
  const std::string scenario =
      (std::filesystem::temp_directory_path() / ("kestrava-escape-" + std::to_string(::getpid()) + ".json")).string();
  std::ofstream(scenario, std::ios::binary) << R"({"oids": {
    "OID_PLATFORM_PRODUCT_SERIAL_NUM.0": "\u001b]0;owned\u0007\u001b[2J\u001b[3A\rModel: Totally Legit Board",
    "OID_PLATFORM_FW_VERSION.0": "3.3.8.1\u009b1m"}})";
  testing::CliOutcome text = testing::runCli("--device 'virtual:" + scenario + "'");
  EXPECT_EQ(text.status, 0) << text.err;
  for (char c : text.out) {
    const unsigned char byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte >= 0x20 || c == '\n' || c == '\t') << "control byte " << int(byte);
    EXPECT_NE(byte, 0x7F);
  }
  EXPECT_EQ(text.out.find("\xC2\x9B"), std::string::npos);  // C1 CSI in UTF-8
  EXPECT_NE(text.out.find("\\x1B]0;owned\\x07\\x1B[2J\\x1B[3A\\x0DModel: Totally Legit Board"), std::string::npos)
      << text.out;

  testing::CliOutcome json = testing::runCli("--json --device 'virtual:" + scenario + "'");
  EXPECT_EQ(json.status, 0);
  EXPECT_NE(json.out.find(R"(\u001b]0;owned\u0007\u001b[2J\u001b[3A\rModel: Totally Legit Board)"), std::string::npos)
      << json.out;
  std::remove(scenario.c_str());
}

}  // namespace
}  // namespace kestrava
