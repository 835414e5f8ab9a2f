#include "common/scanner.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

#include "common/binary32.h"

namespace {

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

const char* skip_space(const char* p, const char* end) {
  while (p < end && is_space(*p))
    ++p;
  return p;
}

const char* skip_digits(const char* p, const char* end) {
  while (p < end && is_digit(*p))
    ++p;
  return p;
}

/// The end of the decimal real that starts at `p` (after its sign), or `p`
/// when there is none. An exponent counts only when digits follow its "e".
const char* decimal_end(const char* p, const char* end) {
  const char* q = skip_digits(p, end);
  bool has_digits = q > p;
  if (q < end && *q == '.') {
    const char* fraction = skip_digits(q + 1, end);
    has_digits = has_digits || fraction > q + 1;
    q = fraction;
  }
  if (!has_digits)
    return p;
  if (q < end && (*q == 'e' || *q == 'E')) {
    const char* e = q + 1;
    if (e < end && (*e == '+' || *e == '-'))
      ++e;
    const char* exponent_end = skip_digits(e, end);
    if (exponent_end > e)
      q = exponent_end;
  }
  return q;
}

/// Whether the decimal real in [p, end) is at least 1 in magnitude. Only asked
/// about numbers outside the binary32 range, to tell too large from too small.
bool at_least_one(const char* p, const char* end) {
  // The number lies in [10^(m-1), 10^m) for m = significant integer digits,
  // or minus the zeros after the point when there are none, plus the exponent.
  const char* q = p;
  while (q < end && *q == '0')
    ++q;
  const char* integer_end = skip_digits(q, end);
  long magnitude = integer_end - q;
  q = integer_end;
  if (q < end && *q == '.') {
    const char* zeros_end = q + 1;
    while (magnitude == 0 && zeros_end < end && *zeros_end == '0')
      ++zeros_end;
    magnitude -= zeros_end - (q + 1);
    q = skip_digits(zeros_end, end);
  }
  long exponent = 0;
  if (q < end) {  // an "e", an optional sign and digits: decimal_end checked them
    ++q;
    bool negative = *q == '-';
    if (*q == '-' || *q == '+')
      ++q;
    for (; q < end; ++q)
      exponent = std::min(exponent * 10 + (*q - '0'), 1000000L);
    if (negative)
      exponent = -exponent;
  }
  return magnitude + exponent > 0;
}

/// Reads the unsigned decimal real at `p` into `magnitude` and returns its
/// end, or null when there is none or it is beyond the binary32 range.
const char* any_decimal(const char* p, const char* end, float& magnitude) {
  const char* number_end = decimal_end(p, end);
  if (number_end == p)
    return nullptr;
  // The syntax was checked above: from_chars would also take "inf" and "nan".
  auto [parsed_end, error] = std::from_chars(p, number_end, magnitude, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    if (at_least_one(p, number_end))
      return nullptr;
    magnitude = 0;  // below the smallest binary32 value: rounds to zero
  } else if (error != std::errc() || parsed_end != number_end) {
    return nullptr;
  }
  return number_end;
}

/// 10^0 to 10^19, all exact in binary64.
constexpr double powers_of_ten[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                    1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};

/// `any_decimal` for the common case, a number such as 47.421630: at most
/// 19 digits, no exponent, and digits that fit 53 bits. Both the digits and
/// the power of ten are then exact in binary64, so their quotient is the
/// binary64 value nearest to the number, and rounding that on to binary32
/// gives the binary32 value nearest to the number unless the quotient lies
/// exactly halfway between two binary32 values. Gives null, leaving the
/// number to `any_decimal`, in all other cases.
const char* short_decimal(const char* p, const char* end, float& magnitude) {
  std::uint64_t digits = 0;  // wraps past 19 digits, which are refused below
  const char* q = p;
  for (; q < end && is_digit(*q); ++q)
    digits = digits * 10 + static_cast<std::uint64_t>(*q - '0');
  long count = q - p;
  long decimals = 0;
  if (q < end && *q == '.') {
    const char* fraction = ++q;
    for (; q < end && is_digit(*q); ++q)
      digits = digits * 10 + static_cast<std::uint64_t>(*q - '0');
    decimals = q - fraction;
  }
  count += decimals;
  bool exponent = q < end && (*q == 'e' || *q == 'E');
  if (count == 0 || count > 19 || exponent || digits > std::uint64_t{1} << 53)
    return nullptr;
  double quotient = static_cast<double>(digits) / powers_of_ten[decimals];
  // Every nonzero quotient here lies in the binary32 normal range.
  if (halfway_between_floats(quotient))
    return nullptr;
  magnitude = static_cast<float>(quotient);
  return q;
}

}  // namespace

bool scanner::integer(std::int32_t& value) {
  const char* p = skip_space(pos, end);
  bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+'))
    ++p;
  // Every digit is consumed; past 2^32 the magnitude stays there, beyond
  // every 32-bit value, and cannot overflow.
  constexpr std::uint64_t too_large = std::uint64_t{1} << 32;
  std::uint64_t magnitude = 0;
  const char* q = p;
  for (; q < end && is_digit(*q); ++q)
    magnitude = std::min(magnitude * 10 + static_cast<std::uint64_t>(*q - '0'), too_large);
  if (q == p)
    return false;
  constexpr std::uint64_t max = std::numeric_limits<std::int32_t>::max();
  if (negative)
    value = magnitude > max ? std::numeric_limits<std::int32_t>::min()
                            : -static_cast<std::int32_t>(magnitude);
  else
    value = magnitude > max ? std::numeric_limits<std::int32_t>::max()
                            : static_cast<std::int32_t>(magnitude);
  pos = q;
  return true;
}

bool scanner::real(float& value) {
  const char* p = skip_space(pos, end);
  bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+'))
    ++p;
  float magnitude = 0;
  const char* number_end = short_decimal(p, end, magnitude);
  if (!number_end)
    number_end = any_decimal(p, end, magnitude);
  if (!number_end)
    return false;
  value = negative ? -magnitude : magnitude;
  pos = number_end;
  return true;
}

bool scanner::token(std::string_view& value) {
  const char* p = skip_space(pos, end);
  const char* q = p;
  while (q < end && !is_space(*q))
    ++q;
  if (q == p)
    return false;
  value = std::string_view(p, static_cast<std::size_t>(q - p));
  pos = q;
  return true;
}
