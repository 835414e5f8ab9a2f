#include "common/write_real.h"

#include <cassert>
#include <cstring>

#include "common/big_integer.h"
#include "common/binary32.h"

namespace {

/// The text of every number from 0 to 999, four bytes each.
struct digit_groups {
  char text[1000][4];
};

/// For each number: its digits without leading zeros (one 0 for zero), the
/// bytes after them zero, and their count in the last byte.
constexpr digit_groups number_texts = [] {
  digit_groups groups{};
  for (int n = 0; n < 1000; ++n) {
    int length = n >= 100 ? 3 : n >= 10 ? 2 : 1;
    for (int i = length - 1, rest = n; i >= 0; --i, rest /= 10)
      groups.text[n][i] = static_cast<char>('0' + rest % 10);
    groups.text[n][3] = static_cast<char>(length);
  }
  return groups;
}();

/// For each number: a point and its three digits, leading zeros included.
constexpr digit_groups decimal_texts = [] {
  digit_groups groups{};
  for (int n = 0; n < 1000; ++n) {
    groups.text[n][0] = '.';
    for (int i = 3, rest = n; i >= 1; --i, rest /= 10)
      groups.text[n][i] = static_cast<char>('0' + rest % 10);
  }
  return groups;
}();

/// Writes `n`, below 1000, without leading zeros; returns the end. It copies
/// four bytes whatever the length, so up to three bytes past the end are
/// stored: the decimals that `append_real` writes next cover them.
char* append_short(char* out, std::uint32_t n) {
  std::memcpy(out, number_texts.text[n], 4);
  return out + number_texts.text[n][3];
}

/// Writes `n`, below 1000, as three digits; returns the end.
char* append_three(char* out, std::uint32_t n) {
  std::memcpy(out, decimal_texts.text[n] + 1, 3);
  return out + 3;
}

char* append_digits(char* out, std::uint64_t n);

/// `append_digits` for numbers of 10^6 and more.
[[gnu::noinline]] char* append_many_digits(char* out, std::uint64_t n) {
  out = append_digits(out, n / 1000);
  return append_three(out, static_cast<std::uint32_t>(n % 1000));
}

/// Writes `n` without leading zeros (a single 0 for zero); returns the end,
/// with up to three bytes after it written, as `append_short` does. Below
/// 10^6, every coordinate and altitude, in one or two steps.
char* append_digits(char* out, std::uint64_t n) {
  if (n < 1000) [[likely]]
    return append_short(out, static_cast<std::uint32_t>(n));
  if (n >= 1000000) [[unlikely]]
    return append_many_digits(out, n);
  auto thousands = static_cast<std::uint32_t>(n / 1000);
  out = append_short(out, thousands);
  return append_three(out, static_cast<std::uint32_t>(n) - thousands * 1000);
}

/// Writes a point and `fraction`, below 10^6, as six decimals; returns the
/// end, and writes nothing after it.
char* append_decimals(char* out, std::uint32_t fraction) {
  std::uint32_t high = fraction / 1000;
  // Both groups start with a point: the low one goes first, one byte early,
  // and the last digit of the high one then covers its point.
  std::memcpy(out + 3, decimal_texts.text[fraction - high * 1000], 4);
  std::memcpy(out, decimal_texts.text[high], 4);
  return out + 7;
}

/// Writes `scaled` millionths as the whole number, a point and six decimals;
/// returns the end, and writes nothing after it.
char* append_millionths(char* out, std::uint64_t scaled) {
  std::uint64_t whole = scaled / 1000000;
  out = append_digits(out, whole);
  return append_decimals(out, static_cast<std::uint32_t>(scaled - whole * 1000000));
}

/// Writes the magnitude of a binary32 value outside [2^-21, 2^23), given its
/// bits: zero for those below (all of them below half a millionth), the
/// exact integer with six zero decimals for those above.
[[gnu::noinline]] char* append_other_real(char* out, std::uint32_t bits) {
  std::uint32_t biased_exponent = (bits >> 23) & 0xff;
  std::uint32_t m = (bits & 0x7fffff) | 0x800000;
  assert(biased_exponent != 0xff);  // no reader gives infinity or NaN
  if (biased_exponent < 150)        // below 2^-21, subnormals and zero included
    return append_millionths(out, 0);
  big_integer n(m);
  n.shift_left(static_cast<int>(biased_exponent) - 150);
  std::uint32_t groups[13];  // three digits each, the last first: 2^128 has 39 digits
  int count = 0;
  while (!n.is_zero())
    groups[count++] = n.divide(1000);
  out = append_short(out, groups[--count]);
  while (count > 0)
    out = append_three(out, groups[--count]);
  std::memcpy(out, ".000000", 7);
  return out + 7;
}

}  // namespace

char* append_six_decimals(char* out, std::uint64_t significand, int shift) {
  // The millionths need one rounding shift, significand * 10^6 fitting 44 bits.
  return append_millionths(out, shift_rounding(significand * 1000000, shift, false));
}

char* append_real(char* out, float value) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  *out = '-';
  out += bits >> 31;  // -0.0 and values that round to zero keep their sign, as printf does
  // A normal value is m * 2^-shift with m below 2^24. From 2^-21 to 2^23 its
  // millionths need one rounding shift.
  int shift = 150 - static_cast<int>((bits >> 23) & 0xff);
  if (shift < 1 || shift > 44) [[unlikely]]
    return append_other_real(out, bits);
  return append_six_decimals(out, (bits & 0x7fffff) | 0x800000, shift);
}
