#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "common/output.h"

/// Longest text one "%f" slot can take: the sign, the integer digits of the
/// largest binary32 value (39), the point and six decimals.
constexpr std::size_t max_real_length =
    1 + (std::numeric_limits<float>::max_exponent10 + 1) + 1 + 6;

/// Most bytes one input byte of text can become in a "%s" slot ("&amp;").
constexpr std::size_t max_text_growth = 5;

/// Writes the XML declaration and the start tag of the `kml` element.
void put_prologue(output& out);

/// Writes `value`, widened to binary64, in fixed-point notation with six
/// decimals, exactly as printf("%f") does (ties to even); returns the end.
/// `out` must have room for `max_real_length` bytes.
char* append_real(char* out, float value);

/// The binary32 value nearest to `feet` times the binary64 value of 0.3048.
float feet_to_metres(std::int32_t feet);

/// Writes `text` as XML character data in UTF-8 and returns the end: & < >
/// escaped, well-formed UTF-8 copied unchanged but for characters XML
/// forbids, other bytes read as Windows-1252. `out` must have room for
/// `max_text_growth` bytes per byte of `text`.
char* append_text(char* out, std::string_view text);

/// `append_text` for text of any length, straight to the output.
void put_text(output& out, std::string_view text);

/// The length of the longest prefix of `text` of at most `limit` bytes that
/// ends between two characters, as `append_text` reads them.
std::size_t prefix_length(std::string_view text, std::size_t limit);

/// Copies `text` and returns the end of the copy.
inline char* append(char* out, std::string_view text) {
  std::memcpy(out, text.data(), text.size());
  return out + text.size();
}
