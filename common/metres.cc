#include "common/metres.h"

#include <bit>

#include "common/binary32.h"
#include "common/write_real.h"

namespace {

/// The exact product of `feet`, not zero, and the binary64 value of 0.3048,
/// as m * 2^e with m from 2^25 to below 2^63; `inexact` says whether bits
/// below m were dropped.
struct metres_product {
  std::uint64_t m;
  int e;
  bool inexact;
};

metres_product exact_product(std::int32_t feet) {
  // 0.3048 as binary64 is factor * 2^-54, with its 53-bit significand.
  constexpr std::uint64_t factor_bits = std::bit_cast<std::uint64_t>(0.3048);
  constexpr std::uint64_t factor = (factor_bits & ((std::uint64_t{1} << 52) - 1)) | std::uint64_t{1}
                                                                                        << 52;
  static_assert(factor_bits >> 52 == 1023 - 2, "0.3048 lies in [2^-2, 2^-1)");
  // The magnitude in 32 bits: 2^31 for the most negative value.
  std::uint32_t magnitude = static_cast<std::uint32_t>(feet);
  if (feet < 0)
    magnitude = 0u - magnitude;
  // The product has up to 84 bits: its high part in 64 bits, the low 32 bits
  // apart, from 32 x 32 -> 64-bit pieces. Below 2^57 it is taken whole.
  std::uint64_t low = std::uint64_t{magnitude} * (factor & 0xffffffff);  // below 2^64
  std::uint64_t high = std::uint64_t{magnitude} * (factor >> 32) + (low >> 32);
  auto low_bits = static_cast<std::uint32_t>(low);
  if (high >= std::uint64_t{1} << 25)
    return {high, 32 - 54, low_bits != 0};
  return {high << 32 | low_bits, -54, false};
}

}  // namespace

float feet_to_metres(std::int32_t feet) {
  if (feet == 0)
    return 0;
  metres_product product = exact_product(feet);
  std::uint32_t bits = nearest_normal_binary32(product.m, product.e, product.inexact);
  return signed_binary32(bits, feet < 0);
}

char* append_metres(char* out, std::int32_t feet) {
  if (feet == 0) [[unlikely]]
    return append_real(out, 0.0f);
  // The binary32 value as feet_to_metres rounds it, kept * 2^-shift, kept
  // with 24 bits (2^24 when the rounding carries), without building it.
  metres_product product = exact_product(feet);
  rounded_significand r = round_to_24_bits(product.m, product.inexact);
  int shift = -(product.e + r.drop);
  if (shift < 1 || shift > 44) [[unlikely]]
    return append_real(out, feet_to_metres(feet));
  *out = '-';
  out += feet < 0;
  return append_six_decimals(out, r.kept, shift);
}
