// Printer file read: pieces of at most 5120 bytes, the whole file always consumed.
#include <gtest/gtest.h>

#include "test_support.h"

namespace kestrava {
namespace {

using virtualprinter::FaultKind;
using virtualprinter::makeFault;
using virtualprinter::Scenario;

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
  return bytes;
}

TEST(FileRead, PiecesSizesAndResults) {
  struct Case {
    std::size_t fileSize;
    std::uint32_t bufferSize;
    testing::ExpectedCode result;
    std::vector<std::size_t> reads;  // after the 16-byte reply
  };
  const Case cases[] = {
      {0, 32, ResultCode::noError, {}},
      {32, 32, ResultCode::noError, {32}},
      {33, 32, ResultCode::bufferTooSmall, {33}},
      {5120, 1024, ResultCode::bufferTooSmall, {5120}},
      {5121, 1024, ResultCode::bufferTooSmall, {5120, 1}},
      {10240, 16384, ResultCode::noError, {5120, 5120}},
      {100, 0, ResultCode::bufferTooSmall, {100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileSize);
    Scenario scenario = testing::emptyScenario();
    scenario.files["/etc/version"] = pattern(c.fileSize);
    testing::ConnectedDevice fixture(scenario);
    std::vector<std::uint8_t> buffer(c.bufferSize + 8, 0xEE);  // guard bytes behind the buffer
    std::uint32_t size = 0;
    EXPECT_EQ(fixture.device.readFile("/etc/version", buffer.data(), c.bufferSize, size), c.result);
    EXPECT_EQ(size, c.fileSize);
    std::vector<std::size_t> expectedReads{16};
    expectedReads.insert(expectedReads.end(), c.reads.begin(), c.reads.end());
    EXPECT_EQ(fixture.readSizes(), expectedReads);
    std::size_t copied = std::min<std::size_t>(c.fileSize, c.bufferSize);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + copied), pattern(c.fileSize).substr(0, copied));
    for (std::size_t i = c.bufferSize; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], 0xEE);
    EXPECT_EQ(fixture.writeSizes(), (std::vector<std::size_t>{34, 16, 12, 9}));
  }
}

TEST(FileRead, Failures) {
  struct Case {
    const char* name;
    std::vector<virtualprinter::Fault> faults;
    bool exists;
    testing::ExpectedCode result;
    std::uint32_t size;  // file-size output afterwards
  };
  const Case cases[] = {
      {"no such file", {}, false, ResultCode::executionFailed, 77},
      {"status 2", {makeFault(FaultKind::badStatus)}, true, ResultCode::executionError, 77},
      {"wrong echo", {makeFault(FaultKind::wrongEcho)}, true, ResultCode::invalidResponse, 77},
      {"data stops half-way", {makeFault(FaultKind::shortData)}, true, ResultCode::receiveFailed, 6000},
      {"size 0xFFFFFFFF, nothing behind",
       {makeFault(FaultKind::hugeFileSize)},
       true,
       ResultCode::receiveFailed,
       0xFFFFFFFF},
      {"no reply", {makeFault(FaultKind::noReply)}, true, ResultCode::receiveFailed, 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Scenario scenario = testing::emptyScenario();
    if (c.exists) scenario.files["/bin/busybox"] = pattern(6000);
    scenario.faults = c.faults;
    testing::ConnectedDevice fixture(scenario);
    std::uint8_t head[32] = {};
    std::uint32_t size = 77;
    EXPECT_EQ(fixture.device.readFile("/bin/busybox", head, sizeof head, size), c.result);
    EXPECT_EQ(size, c.size);
  }
}

TEST(FileRead, HeadOfAShortPieceIsKept) {
  Scenario scenario = testing::emptyScenario();
  scenario.files["/bin/busybox"] = pattern(6000);
  scenario.faults = {makeFault(FaultKind::shortData)};
  testing::ConnectedDevice fixture(scenario);
  std::uint8_t head[32] = {};
  std::uint32_t size = 0;
  // 6000 bytes announced, 3000 sent: the first piece of 5120 comes short.
  EXPECT_EQ(fixture.device.readFile("/bin/busybox", head, sizeof head, size), ResultCode::receiveFailed);
  EXPECT_EQ(fixture.readSizes(), (std::vector<std::size_t>{16, 3000}));
}

// An announced size is believed up to the bound and no further: 64 MiB is read whole, a
// larger one is refused without a single read of its data, and the next request still
// gets its own answer.
TEST(FileRead, AnnouncedSizeIsBounded) {
  Scenario scenario = testing::emptyScenario();
  scenario.files["/etc/version"] = std::string(PrinterDevice::kMaxFileSize, 'v');
  scenario.files["/bin/busybox"] = pattern(6000);
  scenario.oids["OID_PLATFORM_FW_VERSION.0"] = "3.3.8.1";
  scenario.faults = {makeFault(FaultKind::hugeFileSize, 0)};
  scenario.faults[0].target = "/bin/busybox";
  testing::ConnectedDevice fixture(scenario);
  std::uint8_t head[32] = {};
  std::uint32_t size = 0;
  EXPECT_EQ(fixture.device.readFile("/etc/version", head, sizeof head, size), ResultCode::bufferTooSmall);
  EXPECT_EQ(size, PrinterDevice::kMaxFileSize);
  const std::size_t readsOfTheLargest = fixture.readSizes().size();
  EXPECT_EQ(readsOfTheLargest, 1 + PrinterDevice::kMaxFileSize / PrinterDevice::kFilePieceSize + 1);

  EXPECT_EQ(fixture.device.readFile("/bin/busybox", head, sizeof head, size), ResultCode::receiveFailed);
  EXPECT_EQ(size, 0xFFFFFFFFu);
  EXPECT_EQ(fixture.readSizes().size(), readsOfTheLargest + 1);  // the reply, no data
  std::u16string version;
  EXPECT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, version), ResultCode::noError);
  EXPECT_EQ(version, u"3.3.8.1");
}

// A printer that sends 5 KiB of an announced 64 MiB every 4.5 s never lets a read time
// out; the data phases
// of a run hold it 60 s at most, on the printer's clock, not the test's.
TEST(FileRead, ATrickleIsCutAtTheDataPhaseBound) {
  Scenario scenario = testing::emptyScenario();
  scenario.files["/bin/busybox"] = pattern(6000);
  scenario.oids["OID_PLATFORM_FW_VERSION.0"] = "3.3.8.1";
  scenario.faults = {makeFault(FaultKind::trickle, 0)};
  scenario.faults[0].target = "/bin/busybox";
  testing::ConnectedDevice fixture(scenario);
  const auto start = fixture.backend.now();
  std::uint8_t head[32] = {};
  std::uint32_t size = 0;
  EXPECT_EQ(fixture.device.readFile("/bin/busybox", head, sizeof head, size), ResultCode::receiveFailed);
  const auto held = fixture.backend.now() - start;
  EXPECT_GE(held, PrinterDevice::kDataPhaseBudget);
  EXPECT_LE(held, PrinterDevice::kDataPhaseBudget + std::chrono::milliseconds(PrinterDevice::kReadTimeoutMs));

  // The next request meets a clear link, and a later data phase that is there at once is
  // still read; the run's data-phase time is spent, so that read waits 1 ms at most,
  // while the reply block before it still has the whole read time-out.
  std::u16string version;
  fixture.events.clear();
  EXPECT_EQ(fixture.device.queryOid("OID_PLATFORM_FW_VERSION", 0, version), ResultCode::noError);
  EXPECT_EQ(version, u"3.3.8.1");
  std::vector<std::uint32_t> readTimeouts;  // the late bytes thrown away first, then the query's two
  for (const TraceEvent& event : fixture.events) {
    if (event.kind == TraceEvent::Kind::read) readTimeouts.push_back(event.timeoutMs);
  }
  ASSERT_GE(readTimeouts.size(), 2u);
  EXPECT_EQ(std::vector<std::uint32_t>(readTimeouts.end() - 2, readTimeouts.end()),
            (std::vector<std::uint32_t>{PrinterDevice::kReadTimeoutMs, 1}));
}

}  // namespace
}  // namespace kestrava
