#include "boards/rule_inputs.h"

#include "device/text_codec.h"
#include "info/four_digit_number.h"

namespace kestrava {

namespace {

ResultCode recordStage(PrinterDevice& device, ResultCode result, StageCode failedStep) {
  if (result != rc::noError) device.stageCode = failedStep;
  return result;
}

}  // namespace

namespace ruleinput {

ResultCode firmwareVersion(PrinterDevice& device, std::u16string& version) {
  return recordStage(device, device.getFirmwareVersion(version), stage::version);
}

ResultCode ramSize(PrinterDevice& device, std::uint32_t& megabytes) {
  return recordStage(device, device.getRamSize(megabytes), stage::ramSize);
}

ResultCode generation(PrinterDevice& device, bool& newGeneration) {
  return recordStage(device, device.checkGeneration(newGeneration), stage::generation);
}

ResultCode busyboxMachine(PrinterDevice& device, bool& isMachine27) {
  return recordStage(device, device.probeBusyboxMachine(isMachine27), stage::platform);
}

ResultCode buildYear(PrinterDevice& device, std::uint32_t& year) {
  std::u16string buildDate;
  if (ResultCode r = recordStage(device, device.getBuildDate(buildDate), stage::buildDate)) {
    return r;
  }
  // The printer wrote the date in its own 8-bit code page; the year is read from that.
  std::string narrow = narrowToAnsi(buildDate);
  year = parseFourDigitNumber(narrow.data());
  return rc::noError;
}

bool memoryCommandFails(PrinterDevice& device) {
  std::uint32_t unused = 0;
  return device.readRamSize(unused) != rc::noError;
}

}  // namespace ruleinput

ResultCode finishRule(PrinterDevice& device, SetOperation set) {
  device.resetReportSwitches();
  (device.*set)();
  return rc::noError;
}

}  // namespace kestrava
