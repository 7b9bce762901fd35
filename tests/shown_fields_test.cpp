// The four shown values are one table: kestrava-cli's text, its progress and its JSON show
// each value under its caption or member, in the table's order.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/shown_fields.h"
#include "cli_support.h"
#include "test_support.h"

namespace kestrava {
namespace {

TEST(ShownFields, TextProgressAndJsonShowTheSameValuesInTheTablesOrder) {
  const std::string scenario = "'virtual:" KESTRAVA_SOURCE_DIR "/virtual/scenarios/colour.json'";
  testing::CliOutcome text = testing::runCli("--quiet --device " + scenario);
  testing::CliOutcome progress = testing::runCli("--progress --device " + scenario);
  testing::CliOutcome json = testing::runCli("--json --device " + scenario);
  ASSERT_EQ(text.status, 0) << text.err;
  ASSERT_EQ(progress.status, 0) << progress.err;
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json object = nlohmann::json::parse(json.out);
  std::size_t inText = 0, inProgress = 0;
  for (const ShownField& field : kShownFields) {
    SCOPED_TRACE(std::string(field.caption));
    const std::string value = object.at(std::string(field.jsonMember)).get<std::string>();
    ASSERT_NE(value, "undefined");
    const std::string line = captionColumn(field) + value + "\n";
    EXPECT_EQ(captionColumn(field).size(), 15u);  // the column of the values, as ever
    const std::size_t textAt = text.out.find(line);
    const std::size_t progressAt = progress.err.find(line);
    ASSERT_NE(textAt, std::string::npos) << text.out;
    ASSERT_NE(progressAt, std::string::npos) << progress.err;
    EXPECT_GT(textAt + 1, inText);
    EXPECT_GT(progressAt + 1, inProgress);
    inText = textAt + 1;
    inProgress = progressAt + 1;
  }
  EXPECT_EQ(text.out.rfind("Model:", 0), 0u);
}

// The Windows dialog's template is a resource script, which cannot read the table: it
// must spell the same captions in the same order.
TEST(ShownFields, TheWindowsDialogTemplateHasTheTablesCaptions) {
  std::ifstream in(testing::sourcePath("res/Kestrava.rc"));
  std::stringstream text;
  text << in.rdbuf();
  const std::string script = text.str();
  std::vector<std::string> captions;
  const std::regex label(R"x(CONTROL\s+"([^"]*)",\s*IDC_\w+_LABEL,)x");
  for (std::sregex_iterator it(script.begin(), script.end(), label), end; it != end; ++it) captions.push_back((*it)[1]);
  std::vector<std::string> expected;
  for (const ShownField& field : kShownFields) expected.emplace_back(field.caption);
  EXPECT_EQ(captions, expected);
}

}  // namespace
}  // namespace kestrava
