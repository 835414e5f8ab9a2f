#pragma once

#include <bit>
#include <cstdint>

/// Whether the binary64 `x`, which must lie in the binary32 normal range (or
/// be zero), lies exactly halfway between two binary32 values: the 29 bits
/// that binary32 lacks are a one and 28 zeros. Only then can rounding `x` to
/// binary32 differ from rounding the exact value it stands for.
inline bool halfway_between_floats(double x) {
  constexpr std::uint64_t dropped_bits = (std::uint64_t{1} << 29) - 1;
  return (std::bit_cast<std::uint64_t>(x) & dropped_bits) == std::uint64_t{1} << 28;
}
