// What one run read from the printer, as values rather than the dialog's texts: for the
// front ends that hand them on (kestrava-cli's JSON). The item phase fills it from the
// device's kept answers, so it holds exactly what the fields and the report show, and
// filling it costs no exchange with the printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrava {

// One item of the printer's information.
template <typename Value>
struct ReadItem {
  bool asked = false;          // false: the printer's family has no such item, it was not asked
  std::optional<Value> value;  // empty: asked, but the printer gave no answer
};

// The remaining life of one consumable, by its display name ("Black toner", "Drum").
struct ConsumableLevel {
  std::u16string name;
  std::optional<std::int32_t> percentRemaining;  // empty: the level query failed; -1: unknown to the printer
};

struct RunRecord {
  bool linkOpened = false;    // everything below is only meaningful when the link was opened
  std::u16string devicePath;  // the interface the run talked to
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::optional<std::u16string> modelName;  // from the model table; empty: product id unknown
  std::u16string boardDescription;          // what identification decided ("unsupported yet" if nothing)
  std::optional<std::u16string> stageTag;   // the tag of the identification step that failed
  ReadItem<std::u16string> firmwareVersion;
  ReadItem<std::u16string> buildDate;  // as the printer gave it, untrimmed
  ReadItem<std::u16string> serialNumber;
  ReadItem<std::u16string> engineFwVersion;
  ReadItem<std::uint32_t> ramSizeMb;
  std::vector<ConsumableLevel> levels;  // toners in the set's order, then drums
  // At least one reply of the run began with 00 AC and the command of its request: false
  // means the printer answered no request at all (a mute printer, or a port that is not a
  // printer).
  bool printerAnswered = false;
  // Bytes that came after the drain, reply or not: with printerAnswered false, more than
  // none means something answered that does not speak the printer's protocol.
  std::size_t bytesReceived = 0;
};

}  // namespace kestrava
