#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common/output.h"

/// Most bytes one input byte of text can become in a "%s" slot ("&amp;").
constexpr std::size_t max_text_growth = 5;

/// Writes the XML declaration and the start tag of the `kml` element.
void put_prologue(output& out);

/// Writes `text` as XML character data in UTF-8 and returns the end: & < >
/// escaped, well-formed UTF-8 copied unchanged but for characters XML
/// forbids, other bytes read as Windows-1252. `out` must have room for
/// `max_text_growth` bytes per byte of `text`, and `max_overhang` bytes
/// after them: up to seven bytes past the end returned may be stored.
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
