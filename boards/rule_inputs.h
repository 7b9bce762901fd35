// What a board rule reads from the printer, and how every rule ends. Each input records
// the step's stage code when it fails and hands back that step's result, so a rule gives
// up with `if (ResultCode r = ruleinput::...) return r;` and leaves the description, the
// report switches and the consumable set as they were.
#pragma once

#include <cstdint>
#include <string>

#include "device/printer_device.h"

namespace kestrava {

// One of the three consumable sets of the device (selectMonoDrumSet, ...).
using SetOperation = void (PrinterDevice::*)();

namespace ruleinput {

ResultCode firmwareVersion(PrinterDevice& device, std::u16string& version);  // "EVER"
ResultCode ramSize(PrinterDevice& device, std::uint32_t& megabytes);         // "ERAM"
ResultCode generation(PrinterDevice& device, bool& newGeneration);           // "EGEN"
ResultCode busyboxMachine(PrinterDevice& device, bool& isMachine27);         // "EPLT"

// The year of the build date, read through whichever build-date source is in force: the
// first run of exactly four digits, 0 when there is none ("EBLD").
ResultCode buildYear(PrinterDevice& device, std::uint32_t& year);

// The first boards do not know the memory-size command: whether it fails tells rev1 from
// rev2. Its answer is not used and its failure fails nothing.
bool memoryCommandFails(PrinterDevice& device);

}  // namespace ruleinput

// The end of every successful rule, also of one that left the description unchanged:
// the report switches from their defaults, then the board's consumable set. Returns 0.
ResultCode finishRule(PrinterDevice& device, SetOperation set);

}  // namespace kestrava
