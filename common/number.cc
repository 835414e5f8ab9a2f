#include "common/number.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "common/big_integer.h"
#include "common/eight_bytes.h"

// No floating-point operation takes part in any result here: a 32-bit x86
// build may keep intermediate values in wider registers, and the library's
// conversions depend on the locale or are missing from some C++ libraries.
// Every value is built from its bits, every rounding decided on integers.

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

/// 10^0 to 10^19, the powers of ten that fit in 64 bits.
constexpr std::uint64_t powers_of_ten[] = {1,
                                           10,
                                           100,
                                           1000,
                                           10000,
                                           100000,
                                           1000000,
                                           10000000,
                                           100000000,
                                           1000000000,
                                           10000000000,
                                           100000000000,
                                           1000000000000,
                                           10000000000000,
                                           100000000000000,
                                           1000000000000000,
                                           10000000000000000,
                                           100000000000000000,
                                           1000000000000000000,
                                           10000000000000000000u};

// ---- Binary32 from its bits -------------------------------------------------

constexpr std::uint32_t infinity_bits = 0x7f800000;

/// `m` / 2^`drop` rounded to an integer, ties to even, for 1 <= `drop` <= 63
/// and `m` below 2^63; `inexact` says whether a nonzero fraction lies below
/// the last bit of `m`, and may only be set when `drop` >= 2.
std::uint64_t shift_rounding(std::uint64_t m, int drop, bool inexact) {
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
std::uint64_t binary32_bits(std::uint64_t kept, int last) {
  // A normal value's leading bit adds one to the exponent field, which thus
  // counts from 0 for subnormals.
  return (static_cast<std::uint64_t>(last + 149) << 23) + kept;
}

/// The bits of the binary32 value nearest to (m + f) * 2^e, ties to even,
/// where 0 < m < 2^63, e >= -200 and 0 <= f < 1; `inexact` says whether f
/// is not zero, and may only be set when m >= 2^25, so that f lies below the
/// two bits after the kept ones. `infinity_bits` when the value rounds
/// beyond the binary32 range.
std::uint32_t nearest_binary32(std::uint64_t m, int e, bool inexact) {
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
rounded_significand round_to_24_bits(std::uint64_t m, bool inexact) {
  // Moved up to bit 62 the bits to drop are always 39, and the rounding
  // takes constants; the flag lands below the half bit, where it still
  // decides ties only.
  int zeros = std::countl_zero(m);
  std::uint64_t top = (m | static_cast<std::uint64_t>(inexact)) << (zeros - 1);
  return {shift_rounding(top, 39, false), 40 - zeros};
}

/// `nearest_binary32` for m from 2^25 to 2^63 and a result that is sure to
/// be a normal binary32 value: the common numbers, on a shorter way.
std::uint32_t nearest_normal_binary32(std::uint64_t m, int e, bool inexact) {
  rounded_significand r = round_to_24_bits(m, inexact);
  return static_cast<std::uint32_t>(binary32_bits(r.kept, e + r.drop));
}

// ---- Reading ----------------------------------------------------------------

/// Skips the optional sign at `p`; `negative` says whether it was a minus.
const char* skip_sign(const char* p, const char* end, bool& negative) {
  negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+'))
    ++p;
  return p;
}

/// Reads the exponent whose "e" is at `e`: an optional sign and digits,
/// saturated far beyond every binary32 value. Returns its end, or `e` when
/// no digit follows, in which case the "e" is not part of the number.
const char* read_exponent(const char* e, const char* end, int& exponent) {
  bool negative;
  const char* q = skip_sign(e + 1, end, negative);
  const char* digits = q;
  int n = 0;
  for (; q < end && is_digit(*q); ++q)
    n = std::min(n * 10 + (*q - '0'), 100000);
  if (q == digits)
    return e;
  exponent = negative ? -n : n;
  return q;
}

/// The value of the digit `c`, or a number above 9 when `c` is no digit.
std::uint32_t digit_value(char c) {
  return std::uint32_t{static_cast<unsigned char>(c)} - '0';
}

/// Reads the digits at `p` into `n`, as n = n * 10 + digit for each (past 19
/// digits the value wraps); returns their end.
const char* read_digits(const char* p, const char* end, std::uint64_t& n) {
  for (; p < end; ++p) {
    std::uint32_t digit = digit_value(*p);
    if (digit > 9)
      break;
    n = n * 10 + digit;
  }
  return p;
}

/// How many of the bytes of `chunk`, from its lowest, are digits before the
/// first one that is not (8 when all are).
int leading_digits(std::uint64_t chunk) {
  // A byte that is no digit gets its top bit set by one of the two: below
  // '0' by the subtraction, above '9' by the addition. Carries and borrows
  // only run upwards, from the first such byte on.
  std::uint64_t no_digit = (chunk + 0x46 * every_byte) | (chunk - 0x30 * every_byte);
  return std::countr_zero(no_digit & 0x80 * every_byte) / 8;
}

/// The value of the `count` (1 to 8) digits at the bottom of `chunk`.
std::uint32_t digits_value(std::uint64_t chunk, int count) {
  chunk -= 0x30 * every_byte;
  chunk <<= 8 * (8 - count);          // the rest out, zeros in front
  chunk = chunk * 10 + (chunk >> 8);  // pairs of digits in every other byte
  constexpr std::uint64_t pairs = 0x000000ff000000ff;
  constexpr std::uint64_t hundreds = 100 + (std::uint64_t{1000000} << 32);
  constexpr std::uint64_t ones = 1 + (std::uint64_t{10000} << 32);
  return static_cast<std::uint32_t>(((chunk & pairs) * hundreds + ((chunk >> 16) & pairs) * ones) >>
                                    32);
}

/// `read_digits` eight bytes at a time while eight are left: the six or
/// seven decimals of a coordinate or a day number in one step.
const char* read_many_digits(const char* p, const char* end, std::uint64_t& n) {
  while (end - p >= 8) {
    std::uint64_t chunk = load_eight(p);
    int count = leading_digits(chunk);
    if (count == 0)
      return p;
    n = n * powers_of_ten[count] + digits_value(chunk, count);
    p += count;
    if (count < 8)
      return p;
  }
  return read_digits(p, end, n);
}

/// Reads the common shape of a decimal at `p`, when 16 bytes or more are
/// left: one to seven digits, a point and one to seven decimals, eight bytes
/// at a time. Returns its end, with all its digits in `digits` and the
/// number of decimals in `decimals`, or null for every other shape.
const char* read_short_decimal(const char* p, const char* end, std::uint64_t& digits,
                               int& decimals) {
  if (end - p < 16)  // every byte looked at lies within the line
    return nullptr;
  std::uint64_t whole = load_eight(p);
  int whole_digits = leading_digits(whole);
  if (whole_digits == 0 || whole_digits == 8 || (whole >> (8 * whole_digits) & 0xff) != '.')
    return nullptr;
  const char* fraction = p + whole_digits + 1;
  std::uint64_t part = load_eight(fraction);
  int fraction_digits = leading_digits(part);
  if (fraction_digits == 0 || fraction_digits == 8)
    return nullptr;
  decimals = fraction_digits;
  int count = whole_digits + fraction_digits;
  // Most coordinates have eight digits or fewer: with the point taken out
  // they are one chunk.
  std::uint64_t whole_bytes = (std::uint64_t{1} << (8 * whole_digits)) - 1;
  std::uint64_t joined = (whole & whole_bytes) | part << (8 * whole_digits);
  digits = count <= 8 ? digits_value(joined, count)
                      : digits_value(whole, whole_digits) * powers_of_ten[fraction_digits] +
                            digits_value(part, fraction_digits);
  return fraction + fraction_digits;
}

/// 5^0 to 5^15.
constexpr std::uint64_t powers_of_five[] = {
    1,      5,       25,      125,      625,       3125,       15625,      78125,
    390625, 1953125, 9765625, 48828125, 244140625, 1220703125, 6103515625, 30517578125};

/// The binary32 value nearest to `digits` / 10^`decimals`, with the sign
/// `negative`, for 0 < `digits` < 2^63 and `decimals` <= 15 where the value
/// is sure to be a normal one (such as `digits` < 10^18).
float decimal_value(std::uint64_t digits, int decimals, bool negative) {
  // digits / 10^k = digits / 5^k * 2^-k, and with the digits moved to the
  // top of 63 bits the quotient by 5^k keeps 27 bits or more, the remainder
  // saying whether it is exact.
  int shift = std::countl_zero(digits) - 1;
  std::uint64_t n = digits << shift;
  std::uint64_t divisor = powers_of_five[decimals];
  std::uint32_t bits = nearest_normal_binary32(n / divisor, -shift - decimals, n % divisor != 0);
  return std::bit_cast<float>(bits | static_cast<std::uint32_t>(negative) << 31);
}

/// The end of the unsigned decimal at `p`, or `p` when there is none: its
/// digits, point and exponent, which counts only when digits follow its "e".
const char* decimal_end(const char* p, const char* end) {
  std::uint64_t ignored = 0;
  const char* q = read_digits(p, end, ignored);
  bool has_digits = q > p;
  if (q < end && *q == '.') {
    const char* fraction = q + 1;
    q = read_digits(fraction, end, ignored);
    has_digits = has_digits || q > fraction;
  }
  if (!has_digits)
    return p;
  int exponent = 0;
  if (q < end && (*q == 'e' || *q == 'E'))
    q = read_exponent(q, end, exponent);
  return q;
}

/// `read_integer` for ten digits or more, from the first digit at `p`:
/// every digit is consumed; past 2^32 the magnitude stays there, beyond
/// every 32-bit value, and cannot overflow.
[[gnu::noinline]] const char* read_long_integer(const char* p, const char* end, bool negative,
                                                std::int32_t& value) {
  constexpr std::uint64_t too_large = std::uint64_t{1} << 32;
  std::uint64_t magnitude = 0;
  for (; p < end && is_digit(*p); ++p)
    magnitude = std::min(magnitude * 10 + static_cast<std::uint64_t>(*p - '0'), too_large);
  constexpr std::uint64_t max = std::numeric_limits<std::int32_t>::max();
  if (negative)
    value = magnitude > max ? std::numeric_limits<std::int32_t>::min()
                            : -static_cast<std::int32_t>(magnitude);
  else
    value = magnitude > max ? std::numeric_limits<std::int32_t>::max()
                            : static_cast<std::int32_t>(magnitude);
  return p;
}

/// The bits of the binary32 value nearest to the decimal in [p, end) (digits,
/// an optional point and an optional exponent, read before), by exact big
/// integer arithmetic. `infinity_bits` when it rounds beyond binary32.
[[gnu::noinline]] std::uint32_t exact_binary32(const char* p, const char* end) {
  // Every binary32 value, and every point halfway between two of them, has at
  // most 114 significant decimal digits. So the first 120 digits with a
  // flag for nonzero digits after them decide the rounding as all would.
  constexpr int kept_digits = 120;
  big_integer a(0);
  int significant = 0;  // digits from the first nonzero one on
  int decimals = 0;
  bool in_fraction = false, dropped_nonzero = false;
  std::uint32_t chunk = 0;
  int chunk_digits = 0;
  for (; p < end && *p != 'e' && *p != 'E'; ++p) {
    if (*p == '.') {
      in_fraction = true;
      continue;
    }
    auto digit = static_cast<std::uint32_t>(*p - '0');
    decimals += in_fraction;
    if (significant == 0 && digit == 0)
      continue;
    if (++significant > kept_digits) {
      dropped_nonzero = dropped_nonzero || digit != 0;
      continue;
    }
    chunk = chunk * 10 + digit;
    if (++chunk_digits == 9) {
      a.multiply_add(1000000000, chunk);
      chunk = 0, chunk_digits = 0;
    }
  }
  a.multiply_add(static_cast<std::uint32_t>(powers_of_ten[chunk_digits]), chunk);
  int exponent = 0;
  if (p < end)
    read_exponent(p, end, exponent);
  if (significant == 0)
    return 0;
  // The number lies in [10^(magnitude-1), 10^magnitude).
  int magnitude = significant - decimals + exponent;
  if (magnitude > 39)  // 10^39 and more: beyond the largest binary32 value, 3.4e38
    return infinity_bits;
  if (magnitude < -45)  // below 10^-46: less than half the smallest, 1.4e-45
    return 0;
  // The number is a * 10^scale (less the dropped digits), with -165 <= scale
  // <= 38, so a / b below fits the big integers.
  int scale = magnitude - std::min(significant, kept_digits);
  big_integer b(1);
  (scale >= 0 ? a : b).multiply_by_power_of_ten(std::abs(scale));
  int shift = b.bit_length() - a.bit_length() + 26;
  if (shift > 0)
    a.shift_left(shift);
  else
    b.shift_left(-shift);
  // Now 2^25 < a / b < 2^27: its 27 bits, one at a time.
  std::uint64_t quotient = 0;
  b.shift_left(26);
  for (int bit = 26; bit >= 0; --bit) {
    quotient <<= 1;
    if (at_least(a, b)) {
      a.subtract(b);
      quotient |= 1;
    }
    b.halve();
  }
  return nearest_binary32(quotient, -shift, !a.is_zero() || dropped_nonzero);
}

/// `read_real` for every shape: zero, many digits, an exponent, values near
/// or beyond the ends of the binary32 range.
[[gnu::noinline]] const char* read_other_real(const char* p, const char* end, float& value) {
  bool negative;
  p = skip_sign(p, end, negative);
  const char* q = decimal_end(p, end);
  if (q == p)
    return nullptr;
  std::uint32_t bits = exact_binary32(p, q);
  if (bits == infinity_bits)
    return nullptr;
  value = std::bit_cast<float>(bits | static_cast<std::uint32_t>(negative) << 31);
  return q;
}

}  // namespace

const char* integer_end(const char* p, const char* end) {
  // Most integers start at their first digit: a sign is looked for only
  // where no digit stands.
  if (p == end || digit_value(*p) > 9) {
    bool negative;
    p = skip_sign(p, end, negative);
    if (p == end || digit_value(*p) > 9)
      return nullptr;
  }
  ++p;
  while (p < end && digit_value(*p) <= 9)
    ++p;
  return p;
}

const char* read_integer(const char* p, const char* end, std::int32_t& value) {
  bool negative;
  p = skip_sign(p, end, negative);
  // Up to seven digits with eight bytes left, such as an altitude, in one
  // step.
  if (end - p >= 8) {
    std::uint64_t chunk = load_eight(p);
    int count = leading_digits(chunk);
    if (count == 0)
      return nullptr;
    if (count < 8) {
      auto magnitude = static_cast<std::int32_t>(digits_value(chunk, count));
      value = negative ? -magnitude : magnitude;
      return p + count;
    }
  }
  // Else one pass that counts the digits as it adds them up: nine always fit
  // 32 bits, more take the long way.
  std::uint32_t n = 0;
  const char* q = p;
  for (std::uint32_t digit; q < end && (digit = digit_value(*q)) <= 9; ++q)
    n = n * 10 + digit;
  if (q == p)
    return nullptr;
  if (q - p > 9) [[unlikely]]
    return read_long_integer(p, end, negative, value);
  auto magnitude = static_cast<std::int32_t>(n);
  value = negative ? -magnitude : magnitude;
  return q;
}

const char* read_real(const char* p, const char* end, float& value) {
  const char* start = p;
  bool negative;
  p = skip_sign(p, end, negative);
  std::uint64_t digits = 0;
  int decimals = 0;
  // The common shape has at most 14 digits: only zero and an exponent take
  // another way. The byte after it lies within the 16 it needs.
  const char* q = read_short_decimal(p, end, digits, decimals);
  if (q && digits != 0 && (*q | 0x20) != 'e') [[likely]] {  // or 'E'
    value = decimal_value(digits, decimals, negative);
    return q;
  }
  digits = 0, decimals = 0;
  q = read_digits(p, end, digits);
  int count = static_cast<int>(q - p);
  if (q < end && *q == '.') {
    const char* fraction = q + 1;
    q = read_many_digits(fraction, end, digits);
    decimals = static_cast<int>(q - fraction);
    count += decimals;
  }
  // Other short values, such as the last one of a line, the same way.
  bool exponent = q < end && (*q | 0x20) == 'e';  // or 'E'
  if (exponent || count > 18 || decimals > 15 || digits == 0) [[unlikely]] {
    if (count == 0)  // not even a digit: no number, as where a pattern stops
      return nullptr;
    return read_other_real(start, end, value);
  }
  value = decimal_value(digits, decimals, negative);
  return q;
}

// ---- Writing ------------------------------------------------------------------

namespace {

/// The text of every number from 0 to 999, four bytes each.
struct digit_groups {
  char text[1000][4];
};

/// For each number: its digits without leading zeros (one 0 for zero), the
/// bytes after them zero, and their count in the last byte.
constexpr digit_groups short_groups = [] {
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
constexpr digit_groups point_groups = [] {
  digit_groups groups{};
  for (int n = 0; n < 1000; ++n) {
    groups.text[n][0] = '.';
    for (int i = 3, rest = n; i >= 1; --i, rest /= 10)
      groups.text[n][i] = static_cast<char>('0' + rest % 10);
  }
  return groups;
}();

/// Writes `n`, below 1000, without leading zeros; returns the end. It writes
/// four bytes whatever the length: the text that follows, which the caller
/// writes next, covers the rest.
char* append_short(char* out, std::uint32_t n) {
  std::memcpy(out, short_groups.text[n], 4);
  return out + short_groups.text[n][3];
}

/// Writes `n`, below 1000, as three digits; returns the end.
char* append_three(char* out, std::uint32_t n) {
  std::memcpy(out, point_groups.text[n] + 1, 3);
  return out + 3;
}

/// Writes `n` without leading zeros (a single 0 for zero); returns the end,
/// with up to three bytes after it written, as `append_short` does.
char* append_digits(char* out, std::uint64_t n) {
  if (n < 1000)
    return append_short(out, static_cast<std::uint32_t>(n));
  out = append_digits(out, n / 1000);
  return append_three(out, static_cast<std::uint32_t>(n % 1000));
}

/// Writes a point and `fraction`, below 10^6, as six decimals; returns the
/// end, and writes nothing after it.
char* append_decimals(char* out, std::uint32_t fraction) {
  std::uint32_t high = fraction / 1000;
  // Both groups start with a point: the low one goes first, one byte early,
  // and the last digit of the high one then covers its point.
  std::memcpy(out + 3, point_groups.text[fraction - high * 1000], 4);
  std::memcpy(out, point_groups.text[high], 4);
  return out + 7;
}

/// Writes `scaled` millionths as the whole number, a point and six decimals;
/// returns the end, and writes nothing after it.
[[gnu::noinline]] char* append_millionths(char* out, std::uint64_t scaled) {
  std::uint64_t whole = scaled / 1000000;
  out = append_digits(out, whole);
  return append_decimals(out, static_cast<std::uint32_t>(scaled - whole * 1000000));
}

/// Writes the magnitude of a binary32 value outside [2^-21, 2^23), given its
/// bits: zero for those below (all of them below half a millionth), the
/// exact integer with six zero decimals for those above, and infinity and
/// NaN as printf writes them.
[[gnu::noinline]] char* append_other_real(char* out, std::uint32_t bits) {
  std::uint32_t biased_exponent = (bits >> 23) & 0xff;
  std::uint32_t m = (bits & 0x7fffff) | 0x800000;
  if (biased_exponent == 0xff) {  // never read or computed, but printf writes them so
    std::memcpy(out, (bits & 0x7fffff) == 0 ? "inf" : "nan", 3);
    return out + 3;
  }
  if (biased_exponent < 150)  // below 2^-21, subnormals and zero included
    return append_millionths(out, 0);
  int e = static_cast<int>(biased_exponent) - 150;
  if (e < 20)  // m * 10^6 * 2^e fits 64 bits
    return append_millionths(out, std::uint64_t{m} * 1000000 << e);
  big_integer n(m);
  n.shift_left(e);
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

/// Writes `significand` * 2^-`shift`, for a significand up to 2^24 and a
/// shift from 1 to 44, as `append_real` does; returns the end.
char* append_binary(char* out, std::uint64_t significand, int shift) {
  // The millionths need one rounding shift, significand * 10^6 fitting 44 bits.
  std::uint64_t millionths = shift_rounding(significand * 1000000, shift, false);
  // Below 1000, every coordinate and most altitudes, one test; below 4294
  // the millionths still fit 32 bits, where the divisions are short.
  bool below_1000 = millionths < 1000000000;
  if (!below_1000 && millionths >> 32 != 0) [[unlikely]]
    return append_millionths(out, millionths);
  auto small = static_cast<std::uint32_t>(millionths);
  std::uint32_t whole = small / 1000000;
  std::uint32_t fraction = small - whole * 1000000;
  // The bytes that the whole part writes past its end the decimals cover.
  if (below_1000) [[likely]] {
    out = append_short(out, whole);
  } else {
    out = append_short(out, whole / 1000);
    out = append_three(out, whole % 1000);
  }
  return append_decimals(out, fraction);
}

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

char* append_real(char* out, float value) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  *out = '-';
  out += bits >> 31;  // -0.0 and values that round to zero keep their sign, as printf does
  // A normal value is m * 2^-shift with m below 2^24. From 2^-21 to 2^23 its
  // millionths need one rounding shift.
  int shift = 150 - static_cast<int>((bits >> 23) & 0xff);
  if (shift < 1 || shift > 44) [[unlikely]]
    return append_other_real(out, bits);
  return append_binary(out, (bits & 0x7fffff) | 0x800000, shift);
}

// ---- Feet to metres -----------------------------------------------------------

float feet_to_metres(std::int32_t feet) {
  if (feet == 0)
    return 0;
  metres_product product = exact_product(feet);
  std::uint32_t bits = nearest_normal_binary32(product.m, product.e, product.inexact);
  return std::bit_cast<float>(bits | static_cast<std::uint32_t>(feet < 0) << 31);
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
  return append_binary(out, r.kept, shift);
}
