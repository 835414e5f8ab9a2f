#pragma once

// What the fuzz targets hold every piece of output to. These checks are
// written apart from the code they test, from the rules of the format.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "tests/reference.h"

/// Stops the run with `what` and `detail` on standard error (libFuzzer then
/// keeps the input) unless `condition` holds.
void require(bool condition, const char* what, std::string_view detail = {});

/// Whether `text` is a number as a "%f" slot writes it: an optional minus,
/// one or more digits, a point and exactly six decimals.
bool is_fixed_six(std::string_view text);

/// Whether `text` is three such numbers joined by commas, as a coordinate
/// line writes them.
bool is_coordinate_triple(std::string_view text);

/// Length of the well-formed UTF-8 sequence (shortest form, no surrogates, at
/// most U+10FFFF) at the start of `text`, storing its character in `c`; 0
/// when `text` does not start with one.
std::size_t utf8_sequence(std::string_view text, char32_t& c);

/// Whether `c` is a character that XML 1.0 documents may hold.
bool is_xml_character(char32_t c);

/// Whether `text` is well-formed UTF-8 made only of characters XML allows.
bool is_xml_characters(std::string_view text);

/// Whether `text` is escaped XML character data: `is_xml_characters`, no raw
/// < or >, and & only as the start of &amp; &lt; or &gt;.
bool is_escaped_text(std::string_view text);

/// `text` with &amp; &lt; &gt; turned back into the characters they escape.
std::string unescape(std::string_view text);

/// Whether the UTF-8 `text` reads `raw` the way text slots must: each
/// well-formed UTF-8 sequence as its character, each other byte as one
/// Windows-1252 character (0xa0 to 0xff as themselves, 0x80 to 0x9f as a
/// character beyond U+00FF, its five undefined bytes as U+FFFD), and every
/// character XML forbids as U+FFFD.
bool reads_as(std::string_view raw, std::string_view text);

/// `text` with its line ends as an XML parser hands them on: CR LF and a lone
/// CR both become LF.
std::string normalize_line_ends(std::string_view text);

/// Matches `text` against `pattern`, whose "%s" stands for text up to the
/// next '<' and "%f" for a number up to the next byte of the pattern; the
/// text of each slot goes to `slots` in order. False when `text` does not
/// have the pattern's shape.
bool match(std::string_view text, std::string_view pattern, std::vector<std::string_view>& slots);

// ---- An independent reading of record lines ---------------------------------

/// Whether `c` is white space as the C library's readers skip it: blank, tab,
/// line feed, vertical tab, form feed, carriage return.
bool is_white_space(char c);

/// A "%d" piece as the C library reads it at `p` (NUL-terminated): strtoll,
/// saturated to 32 bits. False when it reads no number; `end` is where it
/// stops.
bool c_integer(const char* p, const char*& end, std::int32_t& value);

/// A "%f" piece as the C library reads it at `p`: strtof, limited to decimal
/// numbers within the binary32 range ("inf", "nan", a hexadecimal number and
/// one too large are no number; of "0x1" only the "0" is read).
bool c_real(const char* p, const char*& end, float& value);

/// The values of a record that its marker or point shows.
struct record_values {
  std::string name;
  float latitude = 0;
  float longitude = 0;
  std::int32_t altitude_feet = 0;
};

/// A converter's record pattern, and where the second reading finds each
/// value: field numbers counted from 1, 0 for none.
struct record_kind {
  std::string_view pattern;
  std::size_t name, latitude, longitude, altitude;
};

constexpr record_kind waypoint_kind = {"%d,%s%f,%f,%f,%d,%d,%d,%d,%d,,%d,%d,%d,%d", 2, 3, 4, 15};
constexpr record_kind track_kind = {"%f,%f,%d,%d", 0, 1, 2, 4};

/// Whether `pattern` reads all of its pieces from `line`. If so, `r` takes
/// the "%s" token less a comma that ends it (cut as a name), the first two
/// reals as latitude and longitude and the last integer as the altitude.
bool read_by_pattern(std::string_view pattern, std::string_view line, record_values& r);

/// Reads `line` into `r` as comma-separated fields, each trimmed: the name
/// when the line has that field; latitude and longitude when each field is
/// exactly one real; the altitude when its field starts with an integer.
void read_by_fields(std::string_view line, const record_kind& kind, record_values& r);

/// What a line leaves in `r`: the pattern's reading when it reaches the
/// altitude, the field reading otherwise.
void read_record(std::string_view line, const record_kind& kind, record_values& r);

/// Runs `write` on an `output` over a fresh memory stream, flushes it and
/// returns the text written.
template <class F>
std::string capture(F write) {
  captured_output captured;
  write(captured.out);
  return captured.text();
}
