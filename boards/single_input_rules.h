// The families whose board follows from the model alone or from one answer of the
// printer: a row each, of one of five kinds.
#pragma once

#include "boards/board_rule.h"

namespace kestrava {

// --- Fixed ---
inline constexpr FixedRule ruleP3020D{DateSource::versionFile, u"Pantum P3020D/3320D/Panda", ConsumableSet::monoDrum};
inline constexpr FixedRule ruleP3020Dws{DateSource::versionFile, u"Pantum P3020DWS/3320DWS/Panda",
                                        ConsumableSet::monoDrum};
inline constexpr FixedRule ruleP4100{DateSource::versionFile, u"G&G P4100DN/DW/Gorilla", ConsumableSet::monoDrum};
inline constexpr FixedRule ruleM4100{DateSource::versionFile, u"G&G M4100DN/DW/Gorilla", ConsumableSet::monoDrum};
inline constexpr FixedRule ruleM7300{DateSource::versionFile, u"Pantum M7300FDN(FDW)/Gorilla-MFP-DC-B",
                                     ConsumableSet::monoDrum};
inline constexpr FixedRule ruleM2022{DateSource::versionFile, u"G&G M2022/Spider4", ConsumableSet::mono};
inline constexpr FixedRule ruleBp5200{DateSource::printer, u"Pantum BP5200DN(DW)/Owl", ConsumableSet::monoDrum};
inline constexpr FixedRule ruleBp2300{DateSource::printer, u"Pantum BP2300/Tom2", ConsumableSet::mono};
inline constexpr FixedRule ruleBp1800{DateSource::printer, u"Pantum BP1800/Tom2", ConsumableSet::mono};
inline constexpr FixedRule ruleBm1800{DateSource::printer, u"Pantum BM1800/Tom", ConsumableSet::mono};

// --- Firmware cut-off ---
inline constexpr CutOffRule ruleBp1800W{DateSource::printer, u"4.H.1.3", u"Pantum BP1800W/Tom", kDumpOnly,
                                        ConsumableSet::mono};
inline constexpr CutOffRule ruleBp2300W{DateSource::printer, u"4.H.1.3", u"Pantum BP2300W/Tom", kDumpOnly,
                                        ConsumableSet::mono};
inline constexpr CutOffRule ruleBm1800W{DateSource::printer, u"4.H.1.3", u"Pantum BM1800W/Tom", kDumpOnly,
                                        ConsumableSet::mono};
inline constexpr CutOffRule ruleBm2300{DateSource::printer, u"4.H.1.3", u"Pantum BM2300/Tom", kDumpOnly,
                                       ConsumableSet::mono};
inline constexpr CutOffRule ruleBm2300W{DateSource::printer, u"4.H.1.3", u"Pantum BM2300W/Tom", kDumpOnly,
                                        ConsumableSet::mono};
inline constexpr CutOffRule ruleBm5110{DateSource::printer, u"3.H.1.0", u"Pantum BM5110ADN(ADW)/Wolf-MFP-DC-D",
                                       kDumpOnly, ConsumableSet::monoDrum};
inline constexpr CutOffRule ruleM7310{DateSource::versionFile, u"3.A.0.5", u"Pantum M7310DN(DW)/Bear3-MFP(plus)-DC-A",
                                      u"Pantum M7310DN(DW)/Bear3-MFP(plus)-DC-A 3.A.0.5+", ConsumableSet::monoDrum};

// --- Third character (the CM1100 keeps its build date under a marker of its own) ---
inline constexpr ThirdCharacterRule ruleCm1100Dn{"Buildtime:", u"Pantum CM1100DN(DW)/Tiger-MFP_3.E",
                                                 u"Pantum CM1100DN(DW)/Tiger-MFP"};
inline constexpr ThirdCharacterRule ruleCm1100Adn{"Buildtime:", u"Pantum CM1100ADN(ADW)/Tiger-MFP_3.E",
                                                  u"Pantum CM1100ADN(ADW)/Tiger-MFP"};
inline constexpr ThirdCharacterRule ruleCp1100{nullptr, u"Pantum CP1100DN/DW/Tiger-SFP_3.E",
                                               u"Pantum CP1100DN/DW/Tiger-SFP"};

// --- Memory size ---
inline constexpr MemorySizeRule ruleP2500Ram{DateSource::printer, u"Pantum P2200/2500/2550/2600/Bichon-SFP_256Mb",
                                             u"Pantum P2200/2500/2550/2600/Bichon-SFP_128Mb", nullptr, nullptr};
inline constexpr MemorySizeRule ruleAd220{
    DateSource::printer, u"Aurora AD220M/Spider2-MFP-DC-B_256Mb", u"Aurora AD220M/Spider2-MFP-DC-B_128Mb",
    u"Aurora AD220M/Spider2-MFP-DC-B_128Mb", u"Aurora AD220M/Spider2-MFP-DC-B_128Mb"};
inline constexpr MemorySizeRule ruleP2210Ram{DateSource::versionFile, nullptr, nullptr,
                                             u"Pantum P2210/2510/Bichon3-SFP-DC-A", nullptr};

// --- Generation ---
inline constexpr GenerationRule ruleM6500Gen{u"Pantum M6200/6500/6550/Spider4-MFP-DC-A",
                                             u"Pantum M6200/6500/6550/Spider4-4.H.X.X", ConsumableSet::mono};
inline constexpr GenerationRule ruleP2500Gen{u"Pantum P2200/2500/2550/2600/Bichon4-SFP",
                                             u"Pantum P2200/2500/2550/2600/Bichon4_4.H.X.X", ConsumableSet::monoDrum};

// The shared decision of each kind; on success `set` is the board's consumable set.
ResultCode decide(const FixedRule& rule, BoardContext& board, ConsumableSet& set);
ResultCode decide(const CutOffRule& rule, BoardContext& board, ConsumableSet& set);
ResultCode decide(const ThirdCharacterRule& rule, BoardContext& board, ConsumableSet& set);
ResultCode decide(const MemorySizeRule& rule, BoardContext& board, ConsumableSet& set);
ResultCode decide(const GenerationRule& rule, BoardContext& board, ConsumableSet& set);

}  // namespace kestrava
