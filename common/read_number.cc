#include "common/read_number.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <limits>

#include "common/big_integer.h"
#include "common/binary32.h"
#include "common/eight_bytes.h"

namespace {

/// 10^0 to 10^19, the powers of ten that fit in 64 bits.
constexpr auto powers_of_ten = [] {
  std::array<std::uint64_t, 20> powers{1};
  for (std::size_t i = 1; i < powers.size(); ++i)
    powers[i] = powers[i - 1] * 10;
  return powers;
}();

/// The value of the digit `c`, or a number above 9 when `c` is no digit.
std::uint32_t digit_value(char c) {
  return std::uint32_t{static_cast<unsigned char>(c)} - '0';
}

/// Skips the optional sign at `p`; `negative` says whether it was a minus.
const char* skip_sign(const char* p, const char* end, bool& negative) {
  negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+'))
    ++p;
  return p;
}

// ---- Eight digits at a time -------------------------------------------------
//
// The SWAR ("SIMD within a register") eight-digit step that fast decimal
// readers use: eight bytes of text in one 64-bit integer are told apart from
// non-digits and turned into their value with a few multiplications, in
// plain integer arithmetic.

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

/// Reads the digits at `p` into `n`, as n = n * 10 + digit for each (past 19
/// digits the value wraps), eight at a time while eight bytes are left;
/// returns their end.
const char* read_digits(const char* p, const char* end, std::uint64_t& n) {
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
  for (std::uint32_t digit; p < end && (digit = digit_value(*p)) <= 9; ++p)
    n = n * 10 + digit;
  return p;
}

/// A decimal real's text, read once: where its digits and its point are,
/// its exponent, its digits as one integer and where it ends. Both ways to
/// its binary32 value work from this.
struct decimal {
  bool negative;
  const char* digits;         // the first digit, or the point before the first
  int integer_digits;         // digits before the point
  int decimals;               // digits after it
  int exponent;               // of its "e", 0 without one
  std::uint64_t significand;  // every digit, as one integer: exact up to 19 of them
  const char* end;            // where its text ends; null when there is no number
};

/// Reads the common shape of a decimal's digits at `p` into `d`, when 16
/// bytes or more are left: one to seven digits, a point and one to seven
/// decimals, eight bytes at a time. Returns their end, or null for every
/// other shape.
const char* read_common_digits(const char* p, const char* end, decimal& d) {
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
  // Most coordinates have eight digits or fewer: with the point taken out
  // they are one chunk.
  int count = whole_digits + fraction_digits;
  std::uint64_t whole_bytes = (std::uint64_t{1} << (8 * whole_digits)) - 1;
  std::uint64_t joined = (whole & whole_bytes) | part << (8 * whole_digits);
  d.significand = count <= 8 ? digits_value(joined, count)
                             : digits_value(whole, whole_digits) * powers_of_ten[fraction_digits] +
                                   digits_value(part, fraction_digits);
  d.integer_digits = whole_digits;
  d.decimals = fraction_digits;
  return fraction + fraction_digits;
}

/// Reads a decimal's digits of any shape at `p` into `d`, whose significand
/// and decimals are 0: digits with an optional point and fraction. Returns
/// their end.
const char* read_any_digits(const char* p, const char* end, decimal& d) {
  const char* q = read_digits(p, end, d.significand);
  d.integer_digits = static_cast<int>(q - p);
  if (q < end && *q == '.') {
    const char* fraction = q + 1;
    q = read_digits(fraction, end, d.significand);
    d.decimals = static_cast<int>(q - fraction);
  }
  return q;
}

/// Reads the decimal at `p`: an optional sign, digits with an optional point
/// and fraction, one digit at least, and an exponent when digits follow its
/// "e". `end` is null when there is not even a digit.
decimal parse_decimal(const char* p, const char* end) {
  bool negative;
  p = skip_sign(p, end, negative);
  // Every member named: one added later and left out here is warned of.
  decimal d{negative, p, 0, 0, 0, 0, nullptr};
  if (const char* q = read_common_digits(p, end, d)) {
    // The byte after it lies within the 16 that the common shape needs.
    if ((*q | 0x20) != 'e') [[likely]] {  // or 'E'
      d.end = q;
      return d;
    }
    p = q;
  } else {
    p = read_any_digits(p, end, d);
    if (d.integer_digits + d.decimals == 0)
      return d;  // its end null
  }
  std::int32_t exponent = 0;  // after an "e" or "E"
  const char* exponent_end = p < end && (*p | 0x20) == 'e' ? read_integer(p + 1, end, exponent) : p;
  if (exponent_end) {
    // Far beyond every binary32 value either way, and so small that no sum
    // with it overflows.
    d.exponent = std::clamp(exponent, -100000, 100000);
    p = exponent_end;
  }
  d.end = p;
  return d;
}

/// 5^0 to 5^15.
constexpr auto powers_of_five = [] {
  std::array<std::uint64_t, 16> powers{1};
  for (std::size_t i = 1; i < powers.size(); ++i)
    powers[i] = powers[i - 1] * 5;
  return powers;
}();

/// The bits of the binary32 value nearest to `digits` / 10^`scale`, for
/// 0 < `digits` < 2^63 and `scale` <= 15 where the value is sure to be a
/// normal one (such as `digits` < 10^18).
std::uint32_t quotient_bits(std::uint64_t digits, int scale) {
  // digits / 10^k = digits / 5^k * 2^-k, and with the digits moved to the
  // top of 63 bits the quotient by 5^k keeps 27 bits or more, the remainder
  // saying whether it is exact.
  int shift = std::countl_zero(digits) - 1;
  std::uint64_t n = digits << shift;
  std::uint64_t divisor = powers_of_five[static_cast<std::size_t>(scale)];
  return nearest_normal_binary32(n / divisor, -shift - scale, n % divisor != 0);
}

/// Adds the digits of one decimal to a big integer, nine at a time, keeping
/// the first 120 significant ones and whether any later one is not zero.
struct digit_collector {
  // Every binary32 value, and every point halfway between two of them, has at
  // most 114 significant decimal digits. So the first 120 digits with a flag
  // for nonzero digits after them decide the rounding as all would.
  static constexpr int kept_digits = 120;
  big_integer value{0};
  int significant = 0;  // digits from the first nonzero one on
  bool dropped_nonzero = false;
  std::uint32_t chunk = 0;
  int chunk_digits = 0;

  void add(const char* p, int count) {
    for (const char* end = p + count; p < end; ++p) {
      std::uint32_t digit = digit_value(*p);
      if (significant == 0 && digit == 0)
        continue;
      if (++significant > kept_digits) {
        dropped_nonzero = dropped_nonzero || digit != 0;
        continue;
      }
      chunk = chunk * 10 + digit;
      if (++chunk_digits == 9) {
        value.multiply_add(1000000000, chunk);
        chunk = 0, chunk_digits = 0;
      }
    }
  }

  void finish() {
    value.multiply_add(static_cast<std::uint32_t>(powers_of_ten[chunk_digits]), chunk);
  }
};

/// The bits of the binary32 value nearest to `d`, by exact big integer
/// arithmetic. `infinity_bits` when it rounds beyond binary32.
[[gnu::noinline]] std::uint32_t exact_binary32(decimal d) {
  digit_collector digits;
  digits.add(d.digits, d.integer_digits);
  if (d.decimals > 0)
    digits.add(d.digits + d.integer_digits + 1, d.decimals);  // past the point
  digits.finish();
  if (digits.significant == 0)
    return 0;
  // The number lies in [10^(magnitude-1), 10^magnitude).
  int magnitude = digits.significant - d.decimals + d.exponent;
  if (magnitude > 39)  // 10^39 and more: beyond the largest binary32 value, 3.4e38
    return infinity_bits;
  if (magnitude < -45)  // below 10^-46: less than half the smallest, 1.4e-45
    return 0;
  // The number is a * 10^scale (less the dropped digits), with -165 <= scale
  // <= 38, so a / b below fits the big integers.
  big_integer& a = digits.value;
  int scale = magnitude - std::min(digits.significant, digit_collector::kept_digits);
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
  return nearest_binary32(quotient, -shift, !a.is_zero() || digits.dropped_nonzero);
}

/// Whether `d` is one of the common numbers, up to 18 digits with at most
/// 15 decimals once its exponent is taken in: one division away from its
/// value, and far within the binary32 range.
bool takes_short_way(const decimal& d) {
  return d.integer_digits + d.decimals <= 18 &&
         static_cast<unsigned>(d.decimals - d.exponent) <= 15;
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
  const char* digits = skip_sign(p, end, negative);
  std::uint64_t magnitude = 0;
  const char* q = digits;
  for (std::uint32_t digit; q < end && (digit = digit_value(*q)) <= 9; ++q)
    magnitude = magnitude * 10 + digit;
  if (q == digits)
    return nullptr;
  // The magnitude is exact up to 19 digits after the zeros that lead them;
  // past that it has wrapped, and the value lies beyond every 32-bit one.
  constexpr std::uint64_t too_large = std::uint64_t{1} << 31;
  if (q - digits > 19) [[unlikely]] {
    while (digits < q && *digits == '0')
      ++digits;
    if (q - digits > 19)
      magnitude = too_large;
  }
  constexpr std::uint64_t max = std::numeric_limits<std::int32_t>::max();
  if (negative)
    value = magnitude >= too_large ? std::numeric_limits<std::int32_t>::min()
                                   : -static_cast<std::int32_t>(magnitude);
  else
    value = magnitude > max ? std::numeric_limits<std::int32_t>::max()
                            : static_cast<std::int32_t>(magnitude);
  return q;
}

const char* real_end(const char* p, const char* end) {
  decimal d = parse_decimal(p, end);
  if (!d.end || takes_short_way(d)) [[likely]]
    return d.end;
  return exact_binary32(d) == infinity_bits ? nullptr : d.end;
}

const char* read_real(const char* p, const char* end, float& value) {
  decimal d = parse_decimal(p, end);
  if (!d.end)
    return nullptr;
  std::uint32_t bits = 0;  // zero, when every digit is
  if (takes_short_way(d)) [[likely]] {
    if (d.significand != 0) [[likely]]
      bits = quotient_bits(d.significand, d.decimals - d.exponent);
  } else {
    bits = exact_binary32(d);
    if (bits == infinity_bits)
      return nullptr;
  }
  value = signed_binary32(bits, d.negative);
  return d.end;
}
