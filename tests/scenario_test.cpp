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
  EXPECT_EQ(busybox.substr(0, 4),
            "\x7f"
            "ELF");
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

TEST(ScenarioFile, NumbersAreDecimalOrHexTextOrJsonNumbers) {
  struct Case {
    const char* value;
    std::uint16_t productId;
  } cases[] = {{"12", 12}, {"\"12\"", 12}, {"\"0\"", 0}, {"\"0x0EF5\"", 0x0EF5}, {"\"0XFFFF\"", 0xFFFF}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(parseScenario(std::string("{\"productId\": ") + c.value + "}").productId, c.productId);
  }
}

// What JSON or the scenario format calls an error is one, never a guess.
TEST(ScenarioFile, TheFormatsRulesAreEnforced) {
  const std::string bad[] = {
      R"({"productId": 1, "productId": 2})",
      R"({"oids": {"A.0": "1", "A.0": "2"}})",
      R"({"faults": {"kind": "noReply"}})",
      R"({"faults": ["noReply"]})",
      R"({"oids": ["A.0", "1"]})",
      R"({"files": "/etc/version"})",
      R"({"commands": [1]})",
      R"({"otherInterfaces": "vid_232b"})",
      R"({"files": {"/f": {"size": 2, "set": [1, 2]}}})",
      R"({"files": {"/f": {"hex": 12}}})",
      R"({"files": {"/f": {"hexx": "12"}}})",
      R"({"productId": "0777"})",
      R"({"productId": " 12"})",
      R"({"productId": "12 "})",
      R"({"productId": "+12"})",
      R"({"productId": "-1"})",
      R"({"productId": "0x"})",
      R"({"productId": ""})",
      R"({"productId": 1.5})",
      R"({"productId": -1})",
      R"({"productId": "0x1_0"})",
      std::string("{\"productId\": 1}\0{\"bad\": 1}", 27),
      std::string("{\"productId\": 1\0}", 17),
      // Found by the scenario fuzzer: a number beyond a double is not a syntax error to
      // the JSON parser, and escaped as another exception.
      "1e400",
      R"({"productId": 8388888888888888888888888888888888888880000e004467440737})",
  };
  for (const std::string& text : bad) {
    SCOPED_TRACE(text);
    EXPECT_THROW(parseScenario(text), std::runtime_error);
  }
}

std::string nested(std::size_t depth) {
  std::string text = "{\"oids\": {\"A.0\": ";
  for (std::size_t i = 0; i < depth; ++i) text += "{\"text\": ";
  text += "\"x\"";
  text += std::string(depth, '}');
  return text + "}}";
}

std::string messageOf(const std::string& text) {
  try {
    parseScenario(text);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(ScenarioFile, DepthAndSizesAreBounded) {
  EXPECT_EQ(parseScenario(nested(20)).oids.at("A.0"), "x");
  EXPECT_NE(messageOf(nested(20000)).find("nested deeper than"), std::string::npos);
  EXPECT_NE(messageOf(std::string(100000, '[') + std::string(100000, ']')).find("nested deeper than"),
            std::string::npos);
  EXPECT_NE(messageOf(R"({"files": {"/etc/version": {"size": 2147483647}}})").find("out of range"), std::string::npos);
  EXPECT_NE(messageOf(R"({"files": {"/f": {"size": 2, "set": {"2147483647": 1}}}})").find("out of range"),
            std::string::npos);
  EXPECT_NE(messageOf(std::string(kMaxScenarioFileBytes + 1, ' ')).find("longer than"), std::string::npos);
}

}  // namespace
}  // namespace kestrava::virtualprinter
