// The OID query: request text, the status-0 rule, answer sizes and text handling.
#include <gtest/gtest.h>

#include "test_support.h"

namespace kestrava {
namespace {

using virtualprinter::FaultKind;
using virtualprinter::makeFault;
using virtualprinter::Scenario;

Scenario withOid(const std::string& key, const std::string& answer) {
  Scenario scenario = testing::emptyScenario();
  scenario.oids[key] = answer;
  return scenario;
}

TEST(OidQuery, AnswersAndFailures) {
  struct Case {
    const char* name;
    std::string answer;  // of OID_CONSUMABLE_PERCENT_REMAINING.3
    std::vector<virtualprinter::Fault> faults;
    testing::ExpectedCode result;
    std::u16string value;  // on success
  };
  const Case cases[] = {
      {"plain answer", "80", {}, ResultCode::noError, u"80"},
      {"status 0 with a length is used", "12345", {makeFault(FaultKind::status0)}, ResultCode::noError, u"12345"},
      {"status 1 with length 0", "", {}, ResultCode::executionFailed, {}},
      {"status 2", "80", {makeFault(FaultKind::badStatus)}, ResultCode::executionError, {}},
      {"wrong echo", "80", {makeFault(FaultKind::wrongEcho)}, ResultCode::invalidResponse, {}},
      {"answer stops half-way", "1234", {makeFault(FaultKind::shortData)}, ResultCode::receiveFailed, {}},
      {"length 0xFFFF, nothing behind", "80", {makeFault(FaultKind::hugeLength)}, ResultCode::receiveFailed, {}},
      {"no reply", "80", {makeFault(FaultKind::noReply)}, ResultCode::receiveFailed, {}},
      {"NUL inside the answer",
       std::string("12\0"
                   "34",
                   5),
       {},
       ResultCode::noError,
       u"12"},
      {"blanks and line ends kept", " 7 \r\n", {}, ResultCode::noError, u" 7 \r\n"},
      {"8-bit text widened", "\xB5m", {}, ResultCode::noError, u"\u00B5m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario scenario = withOid("OID_CONSUMABLE_PERCENT_REMAINING.3", c.answer);
    scenario.faults = c.faults;
    testing::ConnectedDevice fixture(scenario);
    std::u16string value = u"before";
    EXPECT_EQ(fixture.device.queryOid("OID_CONSUMABLE_PERCENT_REMAINING", 3, value), c.result);
    EXPECT_EQ(value, c.result == ResultCode::noError ? c.value : u"before");
    ASSERT_EQ(fixture.printer().requests().size(), 1u);
    EXPECT_EQ(fixture.printer().requests()[0].data, "<!--#ssi 0 OID_CONSUMABLE_PERCENT_REMAINING.3 -->");
  }
}

TEST(OidQuery, UnknownOidIsStatusZeroLengthZero) {
  testing::ConnectedDevice fixture(testing::emptyScenario());
  std::u16string value;
  EXPECT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, value), ResultCode::executionFailed);
}

TEST(OidQuery, LongAnswersAreReadWhole) {
  for (std::size_t length : {std::size_t{4095}, std::size_t{4096}, std::size_t{65535}}) {
    SCOPED_TRACE(length);
    std::string answer(length, 'a');
    answer.back() = 'z';
    testing::ConnectedDevice fixture(withOid("OID_PLATFORM_FW_VERSION.0", answer));
    std::u16string value;
    ASSERT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, value), ResultCode::noError);
    EXPECT_EQ(value.size(), length);
    EXPECT_EQ(value.back(), u'z');
  }
}

TEST(OidQuery, IndexIsDecimalWithoutLeadingZeros) {
  testing::ConnectedDevice fixture(withOid("OID_X.4294967295", "max"));
  std::u16string value;
  EXPECT_EQ(fixture.device.queryOid("OID_X", 4294967295u, value), ResultCode::noError);
  EXPECT_EQ(value, u"max");
}

}  // namespace
}  // namespace kestrava
