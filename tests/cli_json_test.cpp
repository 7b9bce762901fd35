// kestrava-cli --json: what the run read, as numbers and texts, and the page that
// documents it.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "base/version.h"
#include "cli_support.h"
#include "test_support.h"

namespace kestrava {
namespace {

using json = nlohmann::ordered_json;
using testing::runCli;

std::string scenario(const char* name) {
  return "virtual:" + testing::sourcePath(std::string("virtual/scenarios/") + name);
}

TEST(CliJson, PrinterMembersOfEachKindOfPrinter) {
  struct Case {
    const char* name;
    std::string device;
    int status;
    const char* outcome;
    const char* printer;  // the whole "printer" member, members in order
  };
  const Case cases[] = {
      {"mono with drum", "virtual", 0, "done",
       R"({"answered":true,"vendorId":9003,"productId":3829,"modelName":"P3301DN",
           "board":"Pantum P3301/Gorilla-SFP-MB-A","firmwareVersion":"3.3.8.1","buildDate":"2021-03-16 14:02",
           "buildDateAsGiven":" 2021-03-16 14:02","serialNumber":"CN3A012345","engineVersion":"1.2.15",
           "memoryMiB":128,"levels":{"Black toner":80,"Drum":64}})"},
      {"mono", scenario("mono.json"), 0, "done",
       R"({"answered":true,"vendorId":9003,"productId":51761,"modelName":"M2022","board":"G&G M2022/Spider4",
           "firmwareVersion":"1.0.9.4","buildDate":"2023-02-14","buildDateAsGiven":" 2023-02-14",
           "serialNumber":"GGM2022N88","engineVersion":"0.7","memoryMiB":128,"levels":{"Black toner":33}})"},
      {"colour", scenario("colour.json"), 0, "done",
       R"({"answered":true,"vendorId":9003,"productId":42003,"modelName":"CP1100DN",
           "board":"Pantum CP1100DN/DW/Tiger-SFP_3.E","firmwareVersion":"3.E.0.12","buildDate":"2022-08-30",
           "buildDateAsGiven":" 2022-08-30","serialNumber":"CP7X004711","engineVersion":"2.0.3","memoryMiB":256,
           "levels":{"Black toner":91,"Cyan toner":47,"Magenta toner":12,"Yellow toner":3}})"},
      // Pipes open, nothing ever answered: every item asked is null, and the run has a
      // status of its own.
      {"mute", scenario("mute.json"), 5, "the printer did not answer",
       R"({"answered":false,"vendorId":9003,"productId":3829,"modelName":"P3301DN","board":"unsupported yet",
           "failedStage":"EPLT","firmwareVersion":null,"buildDate":null,"buildDateAsGiven":null,"serialNumber":null,
           "engineVersion":null,"memoryMiB":null,"levels":{"Black toner":null,"Drum":null}})"},
      // Partly answered: what came is there, the rest null; an unknown level is -1.
      {"partial", scenario("unknown-model.json"), 0, "done",
       R"({"answered":true,"vendorId":9003,"productId":2081,"modelName":null,"board":"unsupported yet",
           "firmwareVersion":"1.0.0.1","buildDate":"2019-01-01","buildDateAsGiven":"2019-01-01",
           "serialNumber":"X0821","engineVersion":null,"memoryMiB":null,"levels":{"Black toner":50,"Drum":-1}})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testing::CliOutcome outcome = runCli("--json --device '" + c.device + "'");
    EXPECT_EQ(outcome.status, c.status) << outcome.err;
    json result = json::parse(outcome.out);
    EXPECT_EQ(result["exitStatus"], c.status);
    EXPECT_EQ(result["outcome"], c.outcome);
    EXPECT_EQ(result["status"], "done");
    ASSERT_TRUE(result["device"].is_string());
    EXPECT_NE(result["device"].get<std::string>().find("vid_232b"), std::string::npos);
    // Compared as text, so a number that came as a text (or the other way) shows.
    EXPECT_EQ(result["printer"].dump(), json::parse(c.printer).dump());
  }
}

TEST(CliJson, NoPrinterObjectWhenThePipesDidNotOpen) {
  struct Case {
    const char* device;
    int status;
    const char* outcome;
    bool device_known;
  };
  const Case cases[] = {
      {"tcp://127.0.0.1:9100/vid_1234&pid_0001", 2, "printer not found", false},
      {"tcp://127.0.0.1:1/vid_232b&pid_0ef5", 3, "connect to printer failed", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    testing::CliOutcome outcome = runCli(std::string("--json --device '") + c.device + "'");
    EXPECT_EQ(outcome.status, c.status);
    json result = json::parse(outcome.out);
    EXPECT_TRUE(result["printer"].is_null());
    EXPECT_EQ(result["outcome"], c.outcome);
    EXPECT_EQ(result["exitStatus"], c.status);
    EXPECT_EQ(result["device"].is_string(), c.device_known);
  }
}

std::string docsPage() {
  std::ifstream in(testing::sourcePath("docs/json.md"));
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CliJson, TheDocumentedExampleIsWhatTheVirtualPrinterGives) {
  std::string page = docsPage();
  std::size_t start = page.find("```json\n", page.find("## Example"));
  ASSERT_NE(start, std::string::npos);
  start += 8;
  std::size_t end = page.find("```", start);
  ASSERT_NE(end, std::string::npos);
  testing::CliOutcome outcome = runCli("--json --device virtual");
  ASSERT_EQ(outcome.status, 0);
  EXPECT_EQ(json::parse(outcome.out), json::parse(page.substr(start, end - start)));
}

// Every member any kind of printer can produce has its row in the page.
TEST(CliJson, EveryMemberIsDocumented) {
  std::string page = docsPage();
  std::set<std::string> seen;
  for (const std::string& device : {std::string("virtual"), scenario("colour.json"), scenario("mute.json"),
                                    scenario("failing-rule.json"), scenario("unknown-model.json")}) {
    json result = json::parse(runCli("--json --device '" + device + "'").out);
    for (const auto& member : result.items()) seen.insert(member.key());
    for (const auto& member : result["printer"].items()) seen.insert(member.key());
    for (const auto& level : result["printer"]["levels"].items()) seen.insert(level.key());
  }
  json listed = json::parse(runCli("--list --json --device virtual").out);
  for (const auto& member : listed[0].items()) seen.insert(member.key());
  json error = json::parse(runCli("--json --device nowhere").out);
  for (const auto& member : error.items()) seen.insert(member.key());
  EXPECT_GE(seen.size(), 28u);
  for (const std::string& member : seen) {
    EXPECT_NE(page.find("`" + member + "`"), std::string::npos) << member << " is not in docs/json.md";
  }
}

// Every object says which format it is in and what wrote it: a run, an interface of
// --list, a usage error (wherever --json stands, also before an option that is wrong).
TEST(CliJson, EveryObjectNamesItsFormatAndTool) {
  std::vector<json> objects;
  objects.push_back(json::parse(runCli("--json --device virtual").out));
  for (const json& run : json::parse(runCli("--all --json --device virtual").out)) objects.push_back(run);
  for (const json& item : json::parse(runCli("--list --json --device virtual").out)) objects.push_back(item);
  for (const char* wrong : {"--json --device nowhere", "--json --bogus", "--bogus --json", "--json --dump"}) {
    SCOPED_TRACE(wrong);
    testing::CliOutcome outcome = runCli(wrong);
    EXPECT_EQ(outcome.status, 64);
    json error = json::parse(outcome.out);
    EXPECT_EQ(error["exitStatus"], 64);
    EXPECT_EQ(error["outcome"], "usage error");
    EXPECT_NE(outcome.err.find(error["error"].get<std::string>()), std::string::npos) << outcome.err;
    objects.push_back(error);
  }
  for (const json& object : objects) {
    EXPECT_EQ(object["formatVersion"], 1) << object;
    EXPECT_EQ(object["tool"], "kestrava-cli") << object;
    EXPECT_EQ(object["toolVersion"], KESTRAVA_VERSION_TEXT) << object;
  }
}

}  // namespace
}  // namespace kestrava
