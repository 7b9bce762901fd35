// The build date: the replaceable handler, command 0x0008 then the OID, the version file
// with either marker, and the year taken out of a date.
#include <gtest/gtest.h>

#include <cstring>

#include "info/four_digit_number.h"
#include "info_support.h"

namespace kestrava {
namespace {

using testing::asked;
using testing::commandFault;
using testing::ConnectedDevice;
using testing::emptyScenario;
using testing::oidFault;
using virtualprinter::Fault;
using virtualprinter::FaultKind;
using virtualprinter::Scenario;

constexpr const char* kDateOid = "OID_PLATFORM_PRODUCT_DATE.0";

// What identification decides about the build date: where it is read, after which marker.
BoardIdentity readingFrom(BuildDateSource source, const char* marker = kDefaultBuildDateMarker) {
  BoardIdentity identity;
  identity.buildDateSource = source;
  identity.buildDateMarker = marker;
  return identity;
}

struct QueryCase {
  const char* name;
  std::optional<std::string> buildInfo;  // unset: 0x0008 answers status 0
  std::optional<std::string> oidAnswer;  // unset: the OID is unknown (8)
  std::vector<Fault> faults;
  testing::ExpectedCode result;
  std::u16string date;
  std::vector<std::string> asked;
};

TEST(BuildDate, DefaultHandlerAsksCommand0008ThenTheOid) {
  const std::vector<std::string> both = {"0008", kDateOid};
  const std::vector<std::string> commandOnly = {"0008"};
  const std::vector<QueryCase> rows = {
      {"cut right after the first ]", "2018-07-12 [r1] tail", "x", {}, 0, u"2018-07-12 [r1]", commandOnly},
      {"two ]: the first one counts", "2018 [a] [b]", "x", {}, 0, u"2018 [a]", commandOnly},
      {"] at the very end", "2018-07-12 [r1]", "x", {}, 0, u"2018-07-12 [r1]", commandOnly},
      {"no ]: the text is taken whole", "2018-07-12 r1 tail", "x", {}, 0, u"2018-07-12 r1 tail", commandOnly},
      {"a NUL byte ends the text", std::string("2018\0 [r1]", 10), "x", {}, 0, u"2018", commandOnly},
      {"0008 status 0: the OID", std::nullopt, "2019-01-01", {}, 0, u"2019-01-01", both},
      {"0008 text short: the OID",
       "2018-07-12 [r1]",
       "2019-01-01",
       {commandFault(FaultKind::shortData, aclcmd::buildInfo)},
       0,
       u"2019-01-01",
       both},
      {"0008 wrong echo: the OID",
       "2018",
       "2019-01-01",
       {commandFault(FaultKind::wrongEcho, aclcmd::buildInfo)},
       0,
       u"2019-01-01",
       both},
      {"0008 short reply: the OID",
       "2018",
       "2019-01-01",
       {commandFault(FaultKind::shortReply, aclcmd::buildInfo)},
       0,
       u"2019-01-01",
       both},
      // Both fail: here the OID query comes last, so its code is the answer.
      {"0008 8, OID 8", std::nullopt, std::nullopt, {}, 8, u"", both},
      {"0008 7, OID 9",
       "2018",
       "2019",
       {commandFault(FaultKind::wrongEcho, aclcmd::buildInfo), oidFault(FaultKind::badStatus, kDateOid)},
       9,
       u"",
       both},
      {"0008 9, OID 6 (short data)",
       "2018",
       "2019-01-01",
       {commandFault(FaultKind::badStatus, aclcmd::buildInfo), oidFault(FaultKind::shortData, kDateOid)},
       6,
       u"",
       both},
      {"0008 8, OID 7", std::nullopt, "2019", {oidFault(FaultKind::wrongEcho, kDateOid)}, 7, u"", both},
  };
  for (const QueryCase& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario scenario = emptyScenario();
    scenario.buildInfo = row.buildInfo;
    if (row.oidAnswer) scenario.oids[kDateOid] = *row.oidAnswer;
    scenario.faults = row.faults;
    ConnectedDevice fixture(scenario);
    std::u16string out = u"keep";
    EXPECT_EQ(fixture.info.getBuildDate(out), row.result);
    EXPECT_EQ(asked(fixture), row.asked);
    EXPECT_EQ(out, row.result == ResultCode::noError ? row.date : u"keep");
    EXPECT_EQ(fixture.info.isCached(CachedItem::buildDate), row.result == ResultCode::noError);
    // Only a success is kept: a later call answers it without asking.
    if (row.result == ResultCode::noError) {
      std::size_t asked = fixture.requestCount();
      std::u16string again;
      EXPECT_EQ(fixture.info.getBuildDate(again), ResultCode::noError);
      EXPECT_EQ(again, row.date);
      EXPECT_EQ(fixture.requestCount(), asked);
    }
  }
}

struct FileCase {
  const char* name;
  const char* marker;
  std::optional<std::string> file;  // unset: no /etc/version (the read answers status 0)
  std::vector<Fault> faults;
  testing::ExpectedCode result;
  std::u16string date;
};

TEST(BuildDate, FromVersionFileAfterEitherMarker) {
  const std::string both = "PRODUCT: P3301DN\nBuildtime:2020-01-02 10:00\nDATA: 2019-05-30\r\nEND\n";
  const Fault fileFault = commandFault(FaultKind::shortData, aclcmd::fileRead);
  const std::vector<FileCase> rows = {
      {"DATA: blank and CR kept", "DATA:", "X\nDATA: 2019-05-30\r\nY\n", {}, 0, u" 2019-05-30\r"},
      {"Buildtime:", "Buildtime:", "Buildtime:2020-01-02 10:00\n", {}, 0, u"2020-01-02 10:00"},
      {"both markers, DATA: chosen", "DATA:", both, {}, 0, u" 2019-05-30\r"},
      {"both markers, Buildtime: chosen", "Buildtime:", both, {}, 0, u"2020-01-02 10:00"},
      {"the first occurrence counts", "DATA:", "DATA:a\nDATA:b\n", {}, 0, u"a"},
      {"marker at the very end: empty date", "DATA:", "X\nDATA:", {}, 0, u""},
      {"marker right before the line feed: empty date", "DATA:", "DATA:\nnext", {}, 0, u""},
      {"no line feed after it: up to the end", "DATA:", "DATA: 2019", {}, 0, u" 2019"},
      {"case matters", "DATA:", "data: 2019\n", {}, 14, u""},
      {"Buildtime: missing, DATA: there: 14", "Buildtime:", "DATA: 2019-05-30\n", {}, 14, u""},
      {"empty file: 14", "DATA:", "", {}, 14, u""},
      {"a NUL byte ends the file text", "DATA:", std::string("X\0DATA: 2019\n", 13), {}, 14, u""},
      {"1023 bytes fit", "DATA:", "DATA: 2019\n" + std::string(1012, 'x'), {}, 0, u" 2019"},
      {"exactly 1024 bytes: too large", "DATA:", "DATA: 2019\n" + std::string(1013, 'x'), {}, 12, u""},
      {"1025 bytes: too large", "DATA:", "DATA: 2019\n" + std::string(1014, 'x'), {}, 12, u""},
      {"no such file: 8", "DATA:", std::nullopt, {}, 8, u""},
      {"file stops short: 6", "DATA:", "DATA: 2019\n", {fileFault}, 6, u""},
      {"file read wrong echo: 7",
       "DATA:",
       "DATA: 2019\n",
       {commandFault(FaultKind::wrongEcho, aclcmd::fileRead)},
       7,
       u""},
      {"file read bad status: 9",
       "DATA:",
       "DATA: 2019\n",
       {commandFault(FaultKind::badStatus, aclcmd::fileRead)},
       9,
       u""},
  };
  for (const FileCase& row : rows) {
    SCOPED_TRACE(row.name);
    Scenario scenario = emptyScenario();
    if (row.file) scenario.files["/etc/version"] = *row.file;
    scenario.faults = row.faults;
    ConnectedDevice fixture(scenario);
    fixture.info.apply(readingFrom(BuildDateSource::versionFile, row.marker));
    std::u16string out = u"keep";
    EXPECT_EQ(fixture.info.getBuildDate(out), row.result);
    EXPECT_EQ(out, row.result == ResultCode::noError ? row.date : u"keep");
    EXPECT_EQ(fixture.info.isCached(CachedItem::buildDate), row.result == ResultCode::noError);
    const std::vector<std::string> expected = {"/etc/version"};
    EXPECT_EQ(asked(fixture), expected);
  }
}

TEST(BuildDate, NullHandlerGives13AndSendsNothing) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  fixture.info.apply(readingFrom(BuildDateSource::none));
  std::u16string out = u"keep";
  EXPECT_EQ(fixture.info.getBuildDate(out), ResultCode::handlerNotDefined);
  EXPECT_EQ(out, u"keep");
  EXPECT_FALSE(fixture.info.isCached(CachedItem::buildDate));
  EXPECT_EQ(fixture.requestCount(), 0u);
}

TEST(BuildDate, KeptAnswerSendsNothingAlsoAfterClose) {
  ConnectedDevice fixture(virtualprinter::healthyMonoPrinter());
  std::u16string out;
  ASSERT_EQ(fixture.info.getBuildDate(out), ResultCode::noError);
  EXPECT_EQ(out, u"2021-03-16 [r5012]");
  EXPECT_EQ(fixture.requestCount(), 1u);

  // Neither another request nor the handler: the kept text answers.
  fixture.info.apply(readingFrom(BuildDateSource::none));
  fixture.device.link().close();
  std::u16string again;
  EXPECT_EQ(fixture.info.getBuildDate(again), ResultCode::noError);
  EXPECT_EQ(again, u"2021-03-16 [r5012]");
  EXPECT_EQ(fixture.requestCount(), 1u);
}

TEST(BuildDate, AFailureIsNotKeptAndTheNextCallAsksAgain) {
  Scenario scenario = emptyScenario();
  scenario.files["/etc/version"] = "DATA: 2019-05-30\n";
  scenario.faults = {commandFault(FaultKind::noReply, aclcmd::fileRead, 1)};
  ConnectedDevice fixture(scenario);
  fixture.info.apply(readingFrom(BuildDateSource::versionFile));
  std::u16string out;
  EXPECT_EQ(fixture.info.getBuildDate(out), ResultCode::receiveFailed);
  EXPECT_FALSE(fixture.info.isCached(CachedItem::buildDate));
  EXPECT_EQ(fixture.info.getBuildDate(out), ResultCode::noError);
  EXPECT_EQ(out, u" 2019-05-30");
  EXPECT_EQ(fixture.requestCount(), 2u);
}

TEST(BuildDate, NotConnectedGives4ForEitherHandler) {
  for (BuildDateSource source : {BuildDateSource::printer, BuildDateSource::versionFile}) {
    ConnectedDevice fixture(virtualprinter::healthyMonoPrinter(), /*open=*/false);
    fixture.info.apply(readingFrom(source));
    std::u16string out = u"keep";
    EXPECT_EQ(fixture.info.getBuildDate(out), ResultCode::notConnected);
    EXPECT_EQ(out, u"keep");
    EXPECT_TRUE(fixture.events.empty());
  }
}

struct YearCase {
  const char* text;
  std::uint32_t value;
  const char* after;  // the caller's text after the call
};

TEST(ParseFourDigitNumber, FirstRunOfExactlyFourDigits) {
  const std::vector<YearCase> rows = {
      {"2019-05-30", 2019, "2019"},
      {"build 201905 2020", 2020, "build 201905 2020"},
      {"123", 0, "123"},
      {"", 0, ""},
      {"no digits", 0, "no digits"},
      {"0042", 42, "0042"},
      {"9999x", 9999, "9999"},
      {"12 345 67890 1234 5678", 1234, "12 345 67890 1234"},
      {"123456789", 0, "123456789"},
      {" 2021-03-16 [r5012]", 2021, " 2021"},
      {"x2020", 2020, "x2020"},
  };
  for (const YearCase& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<char> text(row.text, row.text + std::strlen(row.text) + 1);
    EXPECT_EQ(parseFourDigitNumber(text.data()), row.value);
    EXPECT_STREQ(text.data(), row.after);
  }
}

}  // namespace
}  // namespace kestrava
