// Scenario files of the virtual printer.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

#include "virtual/scenario.h"

namespace kestrava::virtualprinter {
namespace {

TEST(ScenarioFile, TheDocumentedExampleLoads) {
  std::ifstream doc(std::string(KESTRAVA_SOURCE_DIR) + "/docs/virtual-printer.md");
  std::stringstream text;
  text << doc.rdbuf();
  std::string markdown = text.str();
  std::size_t start = markdown.find("```json\n");
  ASSERT_NE(start, std::string::npos);
  start += 8;
  Scenario scenario = parseScenario(markdown.substr(start, markdown.find("```", start) - start));
  EXPECT_EQ(scenario.productId, 0x0EF5);
  EXPECT_EQ(scenario.ramSizeMb, 128);
  EXPECT_EQ(scenario.oids.at("OID_CONSUMABLE_DRUM_REMAIN.0"), "64");
  const std::string& busybox = scenario.files.at("/bin/busybox");
  ASSERT_EQ(busybox.size(), 4096u);
  EXPECT_EQ(busybox.substr(0, 4), "\x7f" "ELF");
  EXPECT_EQ(busybox[18], 0x28);
  ASSERT_EQ(scenario.faults.size(), 1u);
  EXPECT_EQ(scenario.faults[0].kind, FaultKind::badStatus);
  EXPECT_EQ(scenario.faults[0].target, "OID_CONSUMABLE_DRUM_REMAIN.0");
  EXPECT_EQ(scenario.path(), "\\\\?\\usb#vid_232b&pid_0ef5#virtual0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
}

TEST(ScenarioFile, BytesOfEveryForm) {
  Scenario scenario = parseScenario(R"({"oids": {"A.0": "1\u0000\u00b5"},
    "files": {"/f": {"text": "ab", "size": 4, "fill": "0x2e"}, "/g": {"hex": "00 ff"}}})");
  EXPECT_EQ(scenario.oids.at("A.0"), std::string("1\0\xB5", 3));
  EXPECT_EQ(scenario.files.at("/f"), "ab..");
  EXPECT_EQ(scenario.files.at("/g"), std::string("\0\xFF", 2));
}

TEST(ScenarioFile, MistakesAreNamed) {
  const char* bad[] = {
      "[1]",
      "{\"productid\": 1}",
      "{\"productId\": 70000}",
      "{\"oids\": {\"A.0\": \"\\u0100\"}}",
      "{\"faults\": [{\"kind\": \"sometimes\"}]}",
      "{\"faults\": [{\"request\": 1}]}",
      "{\"files\": {\"/f\": {\"hex\": \"abc\"}}}",
      "{\"files\": {\"/f\": {\"size\": 2, \"set\": {\"5\": 1}}}}",
      "{\"openFails\": \"both\"}",
      "{not json",
  };
  for (const char* text : bad) {
    SCOPED_TRACE(text);
    EXPECT_THROW(parseScenario(text), std::runtime_error);
  }
}

}  // namespace
}  // namespace kestrava::virtualprinter
