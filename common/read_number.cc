#include "common/read_number.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <limits>

#include "common/big_integer.h"
#include "common/binary32.h"
#include "common/eight_bytes.h"

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
  return signed_binary32(bits, negative);
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
  value = signed_binary32(bits, negative);
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
