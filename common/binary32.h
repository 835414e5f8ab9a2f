#pragma once

// Binary32 values built from their bits, every rounding decided on
// integers: the core that reading reals, writing them and converting feet
// to metres share. No floating-point operation takes part in any result: a
// 32-bit x86 build may keep intermediate values in wider registers, and the
// library's conversions depend on the locale or are missing from some C++
// libraries.

#include <algorithm>
#include <bit>
#include <cstdint>

/// The bits of binary32 infinity; what rounding beyond the range gives.
constexpr std::uint32_t infinity_bits = 0x7f800000;

/// `m` / 2^`drop` rounded to an integer, ties to even, for 1 <= `drop` <= 63
/// and `m` below 2^63; `inexact` says whether a nonzero fraction lies below
/// the last bit of `m`, and may only be set when `drop` >= 2.
inline std::uint64_t shift_rounding(std::uint64_t m, int drop, bool inexact) {
  // Set below the bit after the kept ones, the flag only decides ties.
  m |= static_cast<std::uint64_t>(inexact);
  // Adding one less than half, and one more for an odd quotient, carries
  // into the quotient exactly when the value rounds up, ties to even.
  std::uint64_t half = std::uint64_t{1} << (drop - 1);
  return (m + (half - 1) + ((m >> drop) & 1)) >> drop;
}

/// The bits of the binary32 value `kept` * 2^`last`, for `kept` below 2^23
/// (a subnormal, `last` = -149) or up to 2^24 (a normal value, or one that
/// rounding carried into the next power of two).
inline std::uint64_t binary32_bits(std::uint64_t kept, int last) {
  // A normal value's leading bit adds one to the exponent field, which thus
  // counts from 0 for subnormals.
  return (static_cast<std::uint64_t>(last + 149) << 23) + kept;
}

/// The binary32 value of `bits` (no sign) with the sign `negative`.
inline float signed_binary32(std::uint32_t bits, bool negative) {
  return std::bit_cast<float>(bits | static_cast<std::uint32_t>(negative) << 31);
}

/// The bits of the binary32 value nearest to (m + f) * 2^e, ties to even,
/// where 0 < m < 2^63, e >= -200 and 0 <= f < 1; `inexact` says whether f
/// is not zero, and may only be set when m >= 2^25, so that f lies below the
/// two bits after the kept ones. `infinity_bits` when the value rounds
/// beyond the binary32 range.
inline std::uint32_t nearest_binary32(std::uint64_t m, int e, bool inexact) {
  int length = 64 - std::countl_zero(m);
  // The weight of the result's last bit: 2^last. It keeps 24 bits, but none
  // below the last bit of the smallest subnormal.
  int last = std::max(e + length - 24, -149);
  int drop = last - e;  // below 64 for e >= -200
  std::uint64_t kept = drop <= 0 ? m << -drop : shift_rounding(m, drop, inexact);
  std::uint64_t bits = binary32_bits(kept, last);
  return bits >= infinity_bits ? infinity_bits : static_cast<std::uint32_t>(bits);
}

/// `m`, from 2^25 to below 2^63, rounded to 24 bits as `shift_rounding` does
/// (2^24 when the rounding carries); `drop` is how many bits went.
struct rounded_significand {
  std::uint64_t kept;
  int drop;
};
inline rounded_significand round_to_24_bits(std::uint64_t m, bool inexact) {
  // Moved up to bit 62 the bits to drop are always 39, and the rounding
  // takes constants; the flag lands below the half bit, where it still
  // decides ties only.
  int zeros = std::countl_zero(m);
  std::uint64_t top = (m | static_cast<std::uint64_t>(inexact)) << (zeros - 1);
  return {shift_rounding(top, 39, false), 40 - zeros};
}

/// `nearest_binary32` for m from 2^25 to 2^63 and a result that is sure to
/// be a normal binary32 value: the common numbers, on a shorter way.
inline std::uint32_t nearest_normal_binary32(std::uint64_t m, int e, bool inexact) {
  rounded_significand r = round_to_24_bits(m, inexact);
  return static_cast<std::uint32_t>(binary32_bits(r.kept, e + r.drop));
}
