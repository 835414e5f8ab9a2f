#pragma once

#include <cstdint>
#include <string_view>

#include "common/read_number.h"

/// Whether `c` is white space as every piece skips it: blank, tab, line
/// feed, vertical tab, form feed, carriage return.
inline bool is_space(char c) {
  constexpr std::uint64_t spaces = std::uint64_t{1} << ' ' | 0x3e00;  // and \t \n \v \f \r
  auto u = static_cast<unsigned char>(c);
  return u <= ' ' && (spaces >> u & 1) != 0;
}

/// Whether `c` lies above the blank, where no white space does.
inline bool above_all_spaces(char c) {
  return static_cast<unsigned char>(c) > ' ';
}

/// The first byte at or after `p` that is not white space, or `end`.
inline const char* skip_space(const char* p, const char* end) {
  // Most pieces start right there or after the one blank that follows a
  // comma.
  if (p < end && above_all_spaces(*p)) [[likely]]
    return p;
  if (p < end && *p == ' ')
    ++p;
  if (p == end || above_all_spaces(*p))
    return p;
  while (p < end && is_space(*p))
    ++p;
  return p;
}

/// Takes fields out of one line, left to right, the way a record pattern of
/// "%d", "%f", "%s" and commas describes them. Each piece returns false when
/// it does not match, so a pattern is a chain of `&&`: the scan stops at the
/// first piece that fails, and the fields after it keep their earlier values.
struct scanner {
  const char* pos;
  const char* end;

  explicit scanner(std::string_view line) : pos(line.data()), end(line.data() + line.size()) {}

  /// "%d": white space, an optional sign and decimal digits. Every digit is
  /// consumed; a value beyond 32 bits is stored saturated.
  bool integer(std::int32_t& value) {
    return advance_to(read_integer(skip_space(pos, end), end, value));
  }

  /// "%*d": matches where "%d" does, and stores nothing.
  bool skip_integer() {
    return advance_to(integer_end(skip_space(pos, end), end));
  }

  /// "%f": white space and a decimal real (sign, digits with an optional
  /// point and fraction, optional exponent), rounded to binary32. Fails on
  /// "inf", "nan", hexadecimal and on values beyond the binary32 range; a
  /// value too small for binary32 is stored as zero.
  bool real(float& value) {
    return advance_to(read_real(skip_space(pos, end), end, value));
  }

  /// "%*f": matches where "%f" does, and stores nothing.
  bool skip_real() {
    return advance_to(real_end(skip_space(pos, end), end));
  }

  /// "%s": white space, then the longest run of bytes that are not white
  /// space. Commas do not end it. Fails when only white space is left.
  bool token(std::string_view& value);

  /// ",": one comma at the current position, no white space skipped.
  bool comma() {
    if (pos == end || *pos != ',')
      return false;
    ++pos;
    return true;
  }

  /// Moves on to `number_end`, where a piece ended, unless it is null (the
  /// piece failed); true when it moved.
  bool advance_to(const char* number_end) {
    if (!number_end)
      return false;
    pos = number_end;
    return true;
  }
};
