#include "boards/board_context.h"

#include "base/text_codec.h"
#include "boards/slice_compare.h"
#include "info/four_digit_number.h"

namespace kestrava {

ResultCode BoardContext::record(ResultCode result, StageCode failedStep) {
  if (failed(result)) decided_.stageCode = failedStep;
  return result;
}

ResultCode BoardContext::firmwareVersion(std::u16string& version) {
  return record(info_.getFirmwareVersion(version), StageCode::version);
}

ResultCode BoardContext::ramSize(std::uint32_t& megabytes) {
  return record(info_.getRamSize(megabytes), StageCode::ramSize);
}

ResultCode BoardContext::generation(bool& newGeneration) {
  return record(checkGeneration(info_, newGeneration), StageCode::generation);
}

ResultCode BoardContext::busyboxMachine(bool& isMachine27) {
  return record(probeBusyboxMachine(info_.device(), isMachine27), StageCode::platform);
}

ResultCode BoardContext::buildYear(std::uint32_t& year) {
  std::u16string buildDate;
  if (ResultCode r = record(info_.getBuildDate(decided_, buildDate), StageCode::buildDate); failed(r)) return r;
  // The printer wrote the date in its own 8-bit code page; the year is read from that.
  std::string narrow = narrowToAnsi(buildDate);
  year = parseFourDigitNumber(narrow.data());
  return ResultCode::noError;
}

bool BoardContext::memoryCommandFails() {
  std::uint32_t unused = 0;
  return failed(readRamSize(info_.device(), unused));
}

void BoardContext::describe(const char16_t* description) {
  if (description != nullptr) decided_.boardDescription = description;
}

ResultCode checkGeneration(PrinterInfo& info, bool& newGeneration) {
  if (!info.device().link().connected()) return ResultCode::notConnected;
  std::u16string version;
  if (ResultCode result = info.getFirmwareVersion(version); failed(result)) return result;
  if (versionSlice(version, 2, 1) == u"H") {
    newGeneration = false;
  } else {
    std::u16string_view release = versionSlice(version, 0, 7);
    newGeneration = release < u"4.A.0.2" || release > u"4.A.0.5";
  }
  return ResultCode::noError;
}

ResultCode probeBusyboxMachine(PrinterDevice& device, bool& isMachine27) {
  isMachine27 = false;
  if (!device.link().connected()) return ResultCode::notConnected;
  // The ELF header is all we need: a larger file only fills the buffer, which is the
  // normal case and not a failure.
  std::uint8_t elfHeader[32] = {};
  std::uint32_t fileSize = 0;
  ResultCode result = device.readFile("/bin/busybox", elfHeader, sizeof elfHeader, fileSize);
  if (result != ResultCode::bufferTooSmall) return result;
  constexpr std::size_t kMachineLowByte = 18;
  isMachine27 = elfHeader[kMachineLowByte] == 0x27;
  return ResultCode::noError;
}

}  // namespace kestrava
