#include "common/scanner.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');  // tab, line feed, vertical tab, form feed, return
}

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

}  // namespace

bool scanner::integer(std::int32_t& value) {
  const char* p = skip_space(pos, end);
  bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+'))
    ++p;
  const char* digits_end = skip_digits(p, end);
  if (digits_end == p)
    return false;
  std::uint64_t magnitude = 0;
  auto [parsed_end, error] = std::from_chars(p, digits_end, magnitude);
  if (error == std::errc::result_out_of_range)
    magnitude = std::numeric_limits<std::uint64_t>::max();
  else if (error != std::errc() || parsed_end != digits_end)
    return false;
  constexpr std::uint64_t max = std::numeric_limits<std::int32_t>::max();
  if (negative)
    value = magnitude > max ? std::numeric_limits<std::int32_t>::min()
                            : -static_cast<std::int32_t>(magnitude);
  else
    value = magnitude > max ? std::numeric_limits<std::int32_t>::max()
                            : static_cast<std::int32_t>(magnitude);
  pos = digits_end;
  return true;
}

bool scanner::real(float& value) {
  const char* p = skip_space(pos, end);
  bool negative = p < end && *p == '-';
  if (p < end && (*p == '-' || *p == '+'))
    ++p;
  const char* number_end = decimal_end(p, end);
  if (number_end == p)
    return false;
  float magnitude = 0;
  // The syntax was checked above: from_chars would also take "inf" and "nan".
  auto [parsed_end, error] = std::from_chars(p, number_end, magnitude, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    if (at_least_one(p, number_end))
      return false;
    magnitude = 0;  // below the smallest binary32 value: rounds to zero
  } else if (error != std::errc() || parsed_end != number_end) {
    return false;
  }
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

bool scanner::comma() {
  if (pos == end || *pos != ',')
    return false;
  ++pos;
  return true;
}
