// Board identification against the virtual printer: a printer described by the few
// answers the board rules read, and what identification decided.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "boards/identify_board.h"
#include "boards/model_table.h"
#include "base/text_codec.h"
#include "test_support.h"

namespace kestrava::testing {

inline std::string versionFileDated(const std::string& date) {
  return "PRODUCT: X\nDATA: " + date + " 10:00\nVERSION: X\n";
}

// What the printer answers, built up from a healthy printer of `productId` that knows
// everything but its firmware version: 128 MB by OID and by command 0xFF85, build date
// 2021-03-04 by OID and in /etc/version, and an ARM /bin/busybox (machine byte 0x28).
// Whatever the printer does not know it answers with status 0, at once.
class BoardPrinter {
 public:
  explicit BoardPrinter(std::uint16_t productId) {
    scenario = emptyScenario(productId);
    ramSize("128").memoryCommand(128).printerDate("2021-03-04");
    versionFile(versionFileDated("2021-03-04")).busybox(0x28);
  }
  BoardPrinter& firmware(const std::string& version) {
    scenario.oids["OID_PLATFORM_FW_VERSION.0"] = version;
    return *this;
  }
  // Only command 0x0001 knows it: the way to an empty version.
  BoardPrinter& firmwareByCommand(const std::string& version) {
    scenario.firmwareVersion = version;
    return *this;
  }
  BoardPrinter& ramSize(const std::string& megabytes) {
    scenario.oids["OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0"] = megabytes;
    return *this;
  }
  BoardPrinter& memoryCommand(std::optional<std::uint16_t> megabytes) {
    scenario.ramSizeMb = megabytes;
    return *this;
  }
  BoardPrinter& noRamSize() {
    scenario.oids.erase("OID_MEMORY_TOTAL_SIZE_IN_MBYTES.0");
    return memoryCommand(std::nullopt);
  }
  BoardPrinter& printerDate(const std::string& date) {
    scenario.oids["OID_PLATFORM_PRODUCT_DATE.0"] = date;
    return *this;
  }
  BoardPrinter& versionFile(const std::string& contents) {
    scenario.files["/etc/version"] = contents;
    return *this;
  }
  BoardPrinter& fileDate(const std::string& date) { return versionFile(versionFileDated(date)); }
  // Neither the printer nor its version file can tell the build date.
  BoardPrinter& noBuildDate() {
    scenario.oids.erase("OID_PLATFORM_PRODUCT_DATE.0");
    scenario.files.erase("/etc/version");
    return *this;
  }
  // An ELF head with `machine` as the low byte of its machine field (byte 18).
  BoardPrinter& busybox(std::uint8_t machine, std::size_t size = 4096) {
    std::string file(std::max<std::size_t>(size, 19), '\0');
    file.replace(0, 4,
                 "\x7f"
                 "ELF",
                 4);
    file[18] = static_cast<char>(machine);
    file.resize(size);
    scenario.files["/bin/busybox"] = file;
    return *this;
  }
  BoardPrinter& noBusybox() {
    scenario.files.erase("/bin/busybox");
    return *this;
  }

  virtualprinter::Scenario scenario;
};

inline std::string u8(const std::u16string& text) { return toUtf8(text); }

// What identification decided.
struct Identified {
  std::uint16_t productId = 0;
  ResultCode result = ResultCode::noError;
  std::u16string modelName;
  std::u16string description;
  StageCode stage = StageCode::none;
  std::string set;  // "mono+drum" (also when no set was chosen: nothing known), "mono", "color"
  bool versionFileSource = false;
  std::string marker;
  std::vector<std::string> asked;  // OID requests and file paths, in order
};

inline std::string setName(ConsumableSet set) {
  switch (set) {
    case ConsumableSet::monoDrum: return "mono+drum";
    case ConsumableSet::mono: return "mono";
    case ConsumableSet::color: return "color";
  }
  return "other";
}

inline Identified snapshot(const PrinterDevice& device, const BoardIdentification& found,
                           virtualprinter::VirtualPrinter& printer) {
  Identified out;
  out.productId = static_cast<std::uint16_t>(device.link().usbId() & 0xFFFF);
  out.result = found.result;
  out.modelName = found.identity.modelName;
  out.description = found.identity.boardDescription;
  out.stage = found.identity.stageCode;
  out.set = setName(found.identity.consumableSet);
  out.versionFileSource = found.identity.buildDateSource == BuildDateSource::versionFile;
  out.marker = found.identity.buildDateMarker ? found.identity.buildDateMarker : "(null)";
  for (const auto& request : printer.requests()) out.asked.push_back(request.data);
  return out;
}

// Runs identification on a printer nothing is known of yet, as a run does.
inline Identified identify(const virtualprinter::Scenario& scenario) {
  ConnectedDevice fixture(scenario);
  BoardIdentification found = identifyBoard(fixture.info);
  return snapshot(fixture.device, found, fixture.printer());
}

inline Identified identify(const BoardPrinter& printer) { return identify(printer.scenario); }

inline bool askedFor(const Identified& outcome, const std::string& what) {
  for (const std::string& request : outcome.asked) {
    if (request.find(what) != std::string::npos) return true;
  }
  return false;
}

inline std::string modelNameOf(std::uint16_t productId) {
  const ModelEntry* entry = findModel(productId);
  return entry ? u8(entry->modelName) : "(not in the table)";
}

// A rule that succeeded: result 0, no stage, the description (nullptr: "unsupported yet"
// stayed) and the family's set.
inline void expectDecided(const Identified& outcome, const char16_t* description, const char* set) {
  EXPECT_EQ(outcome.result, ResultCode::noError);
  EXPECT_EQ(outcome.stage, StageCode::none);
  EXPECT_EQ(u8(outcome.modelName), modelNameOf(outcome.productId));
  EXPECT_EQ(u8(outcome.description), u8(description ? description : u"unsupported yet"));
  EXPECT_EQ(outcome.set, set);
}

// A rule that gave up at an input: the model name kept, that input's result and stage,
// and no set chosen: the one of a printer nothing is known of stays.
inline void expectFailedAt(const Identified& outcome, ResultCode result, StageCode stage) {
  EXPECT_EQ(outcome.result, result);
  EXPECT_EQ(outcome.stage, stage);
  EXPECT_EQ(u8(outcome.modelName), modelNameOf(outcome.productId));
  EXPECT_EQ(u8(outcome.description), "unsupported yet");
  EXPECT_EQ(outcome.set, "mono+drum");
}

// Tables of printers and what identification must make of them. Where the printer
// cannot tell an input, it says so with status 0: the rule's result is 8.
constexpr bool kVersionFile = true;
constexpr bool kPrinterDate = false;

struct BoardCase {
  const char* what;
  BoardPrinter printer;
  const char16_t* description;  // nullptr: "unsupported yet" stays
  bool versionFile;             // the build date is read from /etc/version afterwards
};

inline void expectBoards(const std::vector<BoardCase>& cases, const char* set) {
  for (const BoardCase& c : cases) {
    SCOPED_TRACE(c.what);
    Identified outcome = identify(c.printer);
    expectDecided(outcome, c.description, set);
    EXPECT_EQ(outcome.versionFileSource, c.versionFile);
  }
}

struct FailureCase {
  const char* what;
  BoardPrinter printer;
  StageCode stage;
  bool versionFile;  // a source switched before the failing input stays switched
};

inline void expectFailures(const std::vector<FailureCase>& cases) {
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    Identified outcome = identify(c.printer);
    expectFailedAt(outcome, ResultCode::executionFailed, c.stage);
    EXPECT_EQ(outcome.versionFileSource, c.versionFile);
  }
}

}  // namespace kestrava::testing
