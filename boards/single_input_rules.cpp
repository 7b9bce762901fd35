// The families whose board follows from the model alone or from one answer of the
// printer. They differ only in data: each kind is a table row per family driving one
// shared operation.
#include <cstdint>
#include <string>

#include "boards/rule_inputs.h"
#include "boards/slice_compare.h"
#include "device/printer_device.h"

namespace kestrava {

namespace {

constexpr SetOperation kMonoDrum = &PrinterDevice::selectMonoDrumSet;
constexpr SetOperation kMono = &PrinterDevice::selectMonoSet;

// Boards that keep their build date in /etc/version rather than answering for it.
enum class DateSource : bool { printer, versionFile };
constexpr DateSource kAsked = DateSource::printer;
constexpr DateSource kFile = DateSource::versionFile;

void startRule(PrinterDevice& device, const std::u16string& model, DateSource source) {
  device.modelName = model;
  if (source == DateSource::versionFile) device.useVersionFileBuildDate();
}

// --- Fixed: one board per family, nothing to ask.

struct FixedRule {
  DateSource source;
  const char16_t* description;
  SetOperation set;
};

constexpr FixedRule kP3020D{kFile, u"Pantum P3020D/3320D/Panda", kMonoDrum};
constexpr FixedRule kP3020Dws{kFile, u"Pantum P3020DWS/3320DWS/Panda", kMonoDrum};
constexpr FixedRule kP4100{kFile, u"G&G P4100DN/DW/Gorilla", kMonoDrum};
constexpr FixedRule kM4100{kFile, u"G&G M4100DN/DW/Gorilla", kMonoDrum};
constexpr FixedRule kM7300{kFile, u"Pantum M7300FDN(FDW)/Gorilla-MFP-DC-B", kMonoDrum};
constexpr FixedRule kM2022{kFile, u"G&G M2022/Spider4", kMono};
constexpr FixedRule kBp5200{kAsked, u"Pantum BP5200DN(DW)/Owl", kMonoDrum};
constexpr FixedRule kBp2300{kAsked, u"Pantum BP2300/Tom2", kMono};
constexpr FixedRule kBp1800{kAsked, u"Pantum BP1800/Tom2", kMono};
constexpr FixedRule kBm1800{kAsked, u"Pantum BM1800/Tom", kMono};

ResultCode applyFixed(PrinterDevice& device, const std::u16string& model, const FixedRule& rule) {
  startRule(device, model, rule.source);
  device.boardDescription = rule.description;
  return finishRule(device, rule.set);
}

// --- Firmware cut-off: one board line below a firmware release, another from it on
// ("Dump only" where the later firmware is not understood yet).

struct CutOffRule {
  DateSource source;
  const char16_t* cutOff;
  const char16_t* below;
  const char16_t* from;
  SetOperation set;
};

constexpr const char16_t* kDumpOnly = u"Dump only";

constexpr CutOffRule kBp1800W{kAsked, u"4.H.1.3", u"Pantum BP1800W/Tom", kDumpOnly, kMono};
constexpr CutOffRule kBp2300W{kAsked, u"4.H.1.3", u"Pantum BP2300W/Tom", kDumpOnly, kMono};
constexpr CutOffRule kBm1800W{kAsked, u"4.H.1.3", u"Pantum BM1800W/Tom", kDumpOnly, kMono};
constexpr CutOffRule kBm2300{kAsked, u"4.H.1.3", u"Pantum BM2300/Tom", kDumpOnly, kMono};
constexpr CutOffRule kBm2300W{kAsked, u"4.H.1.3", u"Pantum BM2300W/Tom", kDumpOnly, kMono};
constexpr CutOffRule kBm5110{kAsked, u"3.H.1.0", u"Pantum BM5110ADN(ADW)/Wolf-MFP-DC-D",
                             kDumpOnly, kMonoDrum};
constexpr CutOffRule kM7310{kFile, u"3.A.0.5", u"Pantum M7310DN(DW)/Bear3-MFP(plus)-DC-A",
                            u"Pantum M7310DN(DW)/Bear3-MFP(plus)-DC-A 3.A.0.5+", kMonoDrum};

ResultCode applyCutOff(PrinterDevice& device, const std::u16string& model,
                       const CutOffRule& rule) {
  startRule(device, model, rule.source);
  std::u16string version;
  if (ResultCode r = ruleinput::firmwareVersion(device, version)) return r;
  device.boardDescription = versionSlice(version, 0, 7) < rule.cutOff ? rule.below : rule.from;
  return finishRule(device, rule.set);
}

// --- Third character: the colour boards mark their "E" firmware line there. All keep
// the build date in /etc/version, the CM1100 under its own marker.

struct ThirdCharacterRule {
  const char* buildDateMarker;  // nullptr: the default marker stays
  const char16_t* lineE;
  const char16_t* otherwise;
};

constexpr ThirdCharacterRule kCm1100Dn{"Buildtime:", u"Pantum CM1100DN(DW)/Tiger-MFP_3.E",
                                       u"Pantum CM1100DN(DW)/Tiger-MFP"};
constexpr ThirdCharacterRule kCm1100Adn{"Buildtime:", u"Pantum CM1100ADN(ADW)/Tiger-MFP_3.E",
                                        u"Pantum CM1100ADN(ADW)/Tiger-MFP"};
constexpr ThirdCharacterRule kCp1100{nullptr, u"Pantum CP1100DN/DW/Tiger-SFP_3.E",
                                     u"Pantum CP1100DN/DW/Tiger-SFP"};

ResultCode applyThirdCharacter(PrinterDevice& device, const std::u16string& model,
                               const ThirdCharacterRule& rule) {
  device.modelName = model;
  if (rule.buildDateMarker != nullptr) device.buildDateMarker = rule.buildDateMarker;
  device.useVersionFileBuildDate();
  std::u16string version;
  if (ResultCode r = ruleinput::firmwareVersion(device, version)) return r;
  device.boardDescription = versionSlice(version, 2, 1) == u"E" ? rule.lineE : rule.otherwise;
  return finishRule(device, &PrinterDevice::selectColorSet);
}

// --- Memory size: boards of one family that differ in their memory. A size the family
// does not come with leaves the description alone.

struct MemorySizeRule {
  DateSource source;
  const char16_t* at256;  // nullptr: unchanged
  const char16_t* at128;
  const char16_t* at32;
  const char16_t* otherSize;
};

constexpr MemorySizeRule kP2500Ram{kAsked, u"Pantum P2200/2500/2550/2600/Bichon-SFP_256Mb",
                                   u"Pantum P2200/2500/2550/2600/Bichon-SFP_128Mb", nullptr,
                                   nullptr};
constexpr MemorySizeRule kAd220{kAsked, u"Aurora AD220M/Spider2-MFP-DC-B_256Mb",
                                u"Aurora AD220M/Spider2-MFP-DC-B_128Mb",
                                u"Aurora AD220M/Spider2-MFP-DC-B_128Mb",
                                u"Aurora AD220M/Spider2-MFP-DC-B_128Mb"};
constexpr MemorySizeRule kP2210Ram{kFile, nullptr, nullptr, u"Pantum P2210/2510/Bichon3-SFP-DC-A",
                                   nullptr};

ResultCode applyMemorySize(PrinterDevice& device, const std::u16string& model,
                           const MemorySizeRule& rule) {
  startRule(device, model, rule.source);
  std::uint32_t megabytes = 0;
  if (ResultCode r = ruleinput::ramSize(device, megabytes)) return r;
  const char16_t* description = megabytes == 256   ? rule.at256
                                : megabytes == 128 ? rule.at128
                                : megabytes == 32  ? rule.at32
                                                   : rule.otherSize;
  if (description != nullptr) device.boardDescription = description;
  return finishRule(device, kMono);
}

// --- Generation: the old "H" line against everything newer. Only the new boards keep
// their build date in /etc/version.

struct GenerationRule {
  const char16_t* newGeneration;
  const char16_t* oldGeneration;
  SetOperation set;
};

constexpr GenerationRule kM6500Gen{u"Pantum M6200/6500/6550/Spider4-MFP-DC-A",
                                   u"Pantum M6200/6500/6550/Spider4-4.H.X.X", kMono};
constexpr GenerationRule kP2500Gen{u"Pantum P2200/2500/2550/2600/Bichon4-SFP",
                                   u"Pantum P2200/2500/2550/2600/Bichon4_4.H.X.X", kMonoDrum};

ResultCode applyGeneration(PrinterDevice& device, const std::u16string& model,
                           const GenerationRule& rule) {
  device.modelName = model;
  bool newGeneration = false;
  if (ResultCode r = ruleinput::generation(device, newGeneration)) return r;
  if (newGeneration) {
    device.useVersionFileBuildDate();
    device.boardDescription = rule.newGeneration;
  } else {
    device.boardDescription = rule.oldGeneration;
  }
  return finishRule(device, rule.set);
}

}  // namespace

ResultCode PrinterDevice::ruleP3020D(const std::u16string& model) {
  return applyFixed(*this, model, kP3020D);
}
ResultCode PrinterDevice::ruleP3020Dws(const std::u16string& model) {
  return applyFixed(*this, model, kP3020Dws);
}
ResultCode PrinterDevice::ruleP4100(const std::u16string& model) {
  return applyFixed(*this, model, kP4100);
}
ResultCode PrinterDevice::ruleM4100(const std::u16string& model) {
  return applyFixed(*this, model, kM4100);
}
ResultCode PrinterDevice::ruleM7300(const std::u16string& model) {
  return applyFixed(*this, model, kM7300);
}
ResultCode PrinterDevice::ruleM2022(const std::u16string& model) {
  return applyFixed(*this, model, kM2022);
}
ResultCode PrinterDevice::ruleBp5200(const std::u16string& model) {
  return applyFixed(*this, model, kBp5200);
}
ResultCode PrinterDevice::ruleBp2300(const std::u16string& model) {
  return applyFixed(*this, model, kBp2300);
}
ResultCode PrinterDevice::ruleBp1800(const std::u16string& model) {
  return applyFixed(*this, model, kBp1800);
}
ResultCode PrinterDevice::ruleBm1800(const std::u16string& model) {
  return applyFixed(*this, model, kBm1800);
}

ResultCode PrinterDevice::ruleBp1800W(const std::u16string& model) {
  return applyCutOff(*this, model, kBp1800W);
}
ResultCode PrinterDevice::ruleBp2300W(const std::u16string& model) {
  return applyCutOff(*this, model, kBp2300W);
}
ResultCode PrinterDevice::ruleBm1800W(const std::u16string& model) {
  return applyCutOff(*this, model, kBm1800W);
}
ResultCode PrinterDevice::ruleBm2300(const std::u16string& model) {
  return applyCutOff(*this, model, kBm2300);
}
ResultCode PrinterDevice::ruleBm2300W(const std::u16string& model) {
  return applyCutOff(*this, model, kBm2300W);
}
ResultCode PrinterDevice::ruleBm5110(const std::u16string& model) {
  return applyCutOff(*this, model, kBm5110);
}
ResultCode PrinterDevice::ruleM7310(const std::u16string& model) {
  return applyCutOff(*this, model, kM7310);
}

ResultCode PrinterDevice::ruleCm1100Dn(const std::u16string& model) {
  return applyThirdCharacter(*this, model, kCm1100Dn);
}
ResultCode PrinterDevice::ruleCm1100Adn(const std::u16string& model) {
  return applyThirdCharacter(*this, model, kCm1100Adn);
}
ResultCode PrinterDevice::ruleCp1100(const std::u16string& model) {
  return applyThirdCharacter(*this, model, kCp1100);
}

ResultCode PrinterDevice::ruleP2500Ram(const std::u16string& model) {
  return applyMemorySize(*this, model, kP2500Ram);
}
ResultCode PrinterDevice::ruleAd220(const std::u16string& model) {
  return applyMemorySize(*this, model, kAd220);
}
ResultCode PrinterDevice::ruleP2210Ram(const std::u16string& model) {
  return applyMemorySize(*this, model, kP2210Ram);
}

ResultCode PrinterDevice::ruleM6500Gen(const std::u16string& model) {
  return applyGeneration(*this, model, kM6500Gen);
}
ResultCode PrinterDevice::ruleP2500Gen(const std::u16string& model) {
  return applyGeneration(*this, model, kP2500Gen);
}

}  // namespace kestrava
