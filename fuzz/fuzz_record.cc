// Fuzz target: one record line through the field scanner and through each
// converter's record handler, in memory. Checks that each piece of the
// scanner reads what the C library reads from the same text; that the line
// leaves the values an independent reading gives (the record pattern's when
// it reaches the altitude, else the plain comma-separated fields', from the
// record as the line before left it), both in a fresh record and after a
// full line; that it gives exactly one record, the same when read again;
// that every number is written as printf("%f") writes it; and that the name
// is escaped, well-formed XML text.

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/line_reader.h"
#include "common/scanner.h"
#include "fuzz/checks.h"
#include "pathtrove/track.h"
#include "pintrove/waypoint.h"

namespace {

// ---- Scanner ----------------------------------------------------------------

/// Whether `a` and `b` are the same binary32 value, sign included.
bool same_bits(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

// Each piece is checked on a `text` that views a NUL-terminated copy of the
// line, so the C library's readers can run on it directly.

void check_integer(std::string_view text) {
  constexpr std::int32_t untouched = 0x5a5a5a5a;
  scanner s(text);
  std::int32_t value = untouched;
  bool matched = s.integer(value);

  const char* end = nullptr;
  std::int32_t expected = 0;
  bool expected_match = c_integer(text.data(), end, expected);
  require(matched == expected_match, "integer: matches where strtoll does", text);
  if (!matched) {
    require(s.pos == text.data() && value == untouched, "integer: a failed piece changes nothing",
            text);
    return;
  }
  require(s.pos == end, "integer: ends where strtoll does", text);
  require(value == expected, "integer: the value strtoll reads, saturated", text);
}

void check_real(std::string_view text) {
  constexpr float untouched = 12345.0f;
  scanner s(text);
  float value = untouched;
  bool matched = s.real(value);

  const char* end = nullptr;
  float expected = 0;
  bool expected_match = c_real(text.data(), end, expected);
  require(matched == expected_match, "real: matches where strtof does, decimal and finite only",
          text);
  if (!matched) {
    require(s.pos == text.data() && value == untouched, "real: a failed piece changes nothing",
            text);
    return;
  }
  require(s.pos == end, "real: ends where strtof does", text);
  require(same_bits(value, expected), "real: the binary32 value strtof reads, sign included", text);
}

void check_token(std::string_view text) {
  scanner s(text);
  std::string_view value = "untouched";
  bool matched = s.token(value);

  std::size_t begin = 0;
  while (begin < text.size() && is_white_space(text[begin]))
    ++begin;
  std::size_t end = begin;
  while (end < text.size() && !is_white_space(text[end]))
    ++end;
  require(matched == (end > begin), "token: matches when a non-blank byte follows", text);
  if (!matched) {
    require(s.pos == text.data() && value == "untouched", "token: a failed piece changes nothing",
            text);
    return;
  }
  require(value.data() == text.data() + begin && value.size() == end - begin,
          "token: the run of non-blank bytes", text);
  require(s.pos == text.data() + end, "token: ends after the run", text);
}

void check_comma(std::string_view text) {
  scanner s(text);
  bool matched = s.comma();
  require(matched == (!text.empty() && text[0] == ',') && s.pos == text.data() + (matched ? 1 : 0),
          "comma: matches one comma in place", text);
}

/// Tries every piece at the start of the line and after each of its first
/// commas and white space, where record patterns try them.
void check_scanner(std::string_view line) {
  constexpr int max_starts = 24;
  std::string copy(line.substr(0, max_line_length));  // NUL-terminated
  std::string_view text(copy);
  int starts = 0;
  for (std::size_t at = 0; at < text.size() && starts < max_starts; ++at) {
    if (at > 0 && text[at - 1] != ',' && !is_white_space(text[at - 1]))
      continue;
    ++starts;
    std::string_view rest = text.substr(at);
    check_integer(rest);
    check_real(rest);
    check_token(rest);
    check_comma(rest);
  }
}

// ---- Records ----------------------------------------------------------------

// A line the pattern reads in full, handed to each converter before the
// fuzzed line: a second reading must then start from its record, not afresh.
constexpr std::string_view waypoint_before = "7,Before, 10.5, -20.25, 0, 1,2,3,4,5,, 6,7,8, 1234";
constexpr std::string_view track_before = "10.5,-20.25,3,1234";

/// Whether a scan stored the position and altitude read independently.
bool stored(const record_values& expected, float latitude, float longitude, std::int32_t feet) {
  return same_bits(latitude, expected.latitude) && same_bits(longitude, expected.longitude) &&
         feet == expected.altitude_feet;
}

void check_number(std::string_view written, float expected, std::string_view record) {
  require(is_fixed_six(written), "a number is fixed-point with six decimals", record);
  require(written == printf_real(expected),
          "a number is written as printf(\"%f\") writes the value read", record);
}

constexpr std::string_view placemark =
    "<Placemark>\n  <name>%s</name>\n  <LookAt>\n"
    "    <longitude>%f</longitude>\n    <latitude>%f</latitude>\n"
    "    <range>310.7391410215146</range>\n"
    "    <tilt>-1.24365386906156e-010</tilt>\n"
    "    <heading>-2.780221460109238e-014</heading>\n  </LookAt>\n"
    "  <styleUrl>root://styleMaps#default+nicon=0x307+hicon=0x317</styleUrl>\n"
    "  <Point>\n    <coordinates>%f,%f,%f</coordinates>\n  </Point>\n</Placemark>\n";

/// What `c` writes for `line`, read twice after `before`: the two records.
std::pair<std::string, std::string> records(const converter& c, std::string_view before,
                                            std::string_view line) {
  auto start = [&](output& out) {
    c.open(out, "");
    c.record(out, before);
  };
  std::string opening = capture(start);
  std::string text = capture([&](output& out) {
    start(out);
    c.record(out, line);
    c.record(out, line);
  });
  require(text.starts_with(opening), "a record follows the opening text", text);
  std::string_view both = std::string_view(text).substr(opening.size());
  std::string_view first = both.substr(0, both.size() / 2);
  return {std::string(first), std::string(both.substr(first.size()))};
}

/// The values `line` leaves in a fresh record and in the record of `before`.
std::pair<record_values, record_values> expected(const record_kind& kind, std::string_view before,
                                                 std::string_view line) {
  record_values fresh, after;
  read_record(line, kind, fresh);
  read_record(before, kind, after);
  read_record(line, kind, after);
  return {fresh, after};
}

void check_waypoint(std::string_view line) {
  auto [fresh, after] = expected(waypoint_kind, waypoint_before, line);
  waypoint scanned;
  scan_waypoint(line, scanned);
  require(std::string_view(scanned.name, scanned.name_length) == fresh.name &&
              stored(fresh, scanned.latitude, scanned.longitude, scanned.altitude_feet),
          "a fresh waypoint takes the values read independently", line);

  auto [record, again] = records(waypoint_converter, waypoint_before, line);
  require(again == record, "the same line read again gives the same Placemark", line);
  std::vector<std::string_view> slots;
  require(match(record, placemark, slots), "a waypoint line gives one Placemark", record);
  require(is_escaped_text(slots[0]), "the name is escaped, well-formed XML text", slots[0]);
  require(reads_as(after.name, unescape(slots[0])),
          "the name is the one read independently, as UTF-8 or Windows-1252", slots[0]);
  check_number(slots[1], after.longitude, record);
  check_number(slots[2], after.latitude, record);
  check_number(slots[3], after.longitude, record);
  check_number(slots[4], after.latitude, record);
  check_number(slots[5], exact_metres(after.altitude_feet), record);
}

void check_track(std::string_view line) {
  auto [fresh, after] = expected(track_kind, track_before, line);
  track_point scanned;
  scan_track_point(line, scanned);
  require(stored(fresh, scanned.latitude, scanned.longitude, scanned.altitude_feet),
          "a fresh point takes the values read independently", line);

  auto [record, again] = records(track_converter, track_before, line);
  require(again == record, "the same line read again gives the same point", line);
  std::vector<std::string_view> slots;
  require(match(record, "%f,%f,%f\n", slots), "a track line gives one coordinate line", record);
  check_number(slots[0], after.longitude, record);
  check_number(slots[1], after.latitude, record);
  check_number(slots[2], exact_metres(after.altitude_feet), record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The handlers get the exact bytes, so a read past the line is caught.
  std::string_view line(reinterpret_cast<const char*>(data), size);
  check_scanner(line);
  check_waypoint(line);
  check_track(line);
  return 0;
}
