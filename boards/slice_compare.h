// How board rules read a firmware version: as text, a slice at a time, and in a few
// families as a number made from its digits. Pure functions of the text alone.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrava {

// The slice V[position, count] of a firmware version: the `count` code units from
// `position`, fewer where the version ends earlier, empty where it ends before
// `position`. Compared with the ordinary operators of std::u16string_view the slices
// order as the boards' cut-offs mean: code unit by code unit as unsigned 16-bit values,
// a proper prefix first. So '4.H.1.10' sorts before "4.H.1.3", and a version too short
// for a test gives an empty slice, smaller than every reference.
std::u16string_view versionSlice(std::u16string_view version, std::size_t position, std::size_t count);

// versionSlice(version, position, count) against `reference`.
std::strong_ordering compareSlice(std::u16string_view version, std::size_t position, std::size_t count,
                                  std::u16string_view reference);

// The number some families are told apart by: drop the characters at positions 5, 3 and
// 1 (in that order, each on the text the previous drop left; a position past the end is
// skipped) and read the rest as a decimal int the way the C library does: leading white
// space, an optional sign, digits up to the first other character, 0 without digits.
// A value beyond the int range gives its nearest limit; the result is that int taken as
// unsigned. '3.3.0.5' gives 3305, '3.3.10.1' gives 331.
std::uint32_t versionNumber(std::u16string_view version);

}  // namespace kestrava
