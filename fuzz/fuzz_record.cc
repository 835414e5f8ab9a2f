// Fuzz target: one record line through the field scanner and through each
// converter's record handler, in memory. Checks that each piece of the
// scanner reads what the C library reads from the same text, that a line
// gives exactly one record, that every number is written as printf("%f")
// writes the value kept, and that the name is escaped, well-formed XML text
// cut to its limit between two characters.

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
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

bool is_space(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Each piece is checked on a `text` that views a NUL-terminated copy of the
// line, so the C library's readers can run on it directly.

void check_integer(std::string_view text) {
  constexpr std::int32_t untouched = 0x5a5a5a5a;
  scanner s(text);
  std::int32_t value = untouched;
  bool matched = s.integer(value);

  char* end = nullptr;
  long long expected = std::strtoll(text.data(), &end, 10);
  bool expected_match = end != text.data();
  require(matched == expected_match, "integer: matches where strtoll does", text);
  if (!matched) {
    require(s.pos == text.data() && value == untouched, "integer: a failed piece changes nothing",
            text);
    return;
  }
  expected = std::clamp<long long>(expected, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
  require(s.pos == end, "integer: ends where strtoll does", text);
  require(value == expected, "integer: the value strtoll reads, saturated", text);
}

/// Where the real that strtof would read starts, after white space and sign,
/// and whether strtof would take it as a name ("inf", "nan").
const char* number_start(const char* p, bool& named) {
  while (is_space(*p))
    ++p;
  if (*p == '+' || *p == '-')
    ++p;
  named = *p == 'i' || *p == 'I' || *p == 'n' || *p == 'N';
  return p;
}

void check_real(std::string_view text) {
  constexpr float untouched = 12345.0f;
  scanner s(text);
  float value = untouched;
  bool matched = s.real(value);

  bool named = false;
  const char* digits = number_start(text.data(), named);
  bool hexadecimal = digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  char* end = nullptr;
  float expected = std::strtof(text.data(), &end);
  if (hexadecimal) {  // only its leading "0" is a decimal number
    end = const_cast<char*>(digits + 1);
    expected = std::copysign(0.0f, expected);
  }
  bool expected_match = end != text.data() && !named && !std::isinf(expected);
  require(matched == expected_match, "real: matches where strtof does, decimal and finite only",
          text);
  if (!matched) {
    require(s.pos == text.data() && value == untouched, "real: a failed piece changes nothing",
            text);
    return;
  }
  require(s.pos == end, "real: ends where strtof does", text);
  require(std::bit_cast<std::uint32_t>(value) == std::bit_cast<std::uint32_t>(expected),
          "real: the binary32 value strtof reads, sign included", text);
}

void check_token(std::string_view text) {
  scanner s(text);
  std::string_view value = "untouched";
  bool matched = s.token(value);

  std::size_t begin = 0;
  while (begin < text.size() && is_space(text[begin]))
    ++begin;
  std::size_t end = begin;
  while (end < text.size() && !is_space(text[end]))
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
    if (at > 0 && text[at - 1] != ',' && !is_space(text[at - 1]))
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

void check_number(std::string_view written, float value, std::string_view record) {
  require(std::isfinite(value), "a kept value is finite", record);
  require(is_fixed_six(written), "a number is fixed-point with six decimals", record);
  require(written == printf_real(value), "a number is written as printf(\"%f\") does", record);
}

/// The name that "%d,%s" takes from a line into a fresh waypoint: the token
/// after the integer's comma, less the comma that ends it, cut to at most
/// `max_name_length` bytes between two characters.
std::string_view expected_name(std::string_view line) {
  std::size_t i = 0;
  while (i < line.size() && is_space(line[i]))
    ++i;
  if (i < line.size() && (line[i] == '+' || line[i] == '-'))
    ++i;
  std::size_t digits = i;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9')
    ++i;
  if (i == digits || i == line.size() || line[i] != ',')
    return {};
  ++i;
  while (i < line.size() && is_space(line[i]))
    ++i;
  std::size_t end = i;
  while (end < line.size() && !is_space(line[end]))
    ++end;
  std::string_view token = line.substr(i, end - i);
  if (!token.empty() && token.back() == ',')
    token.remove_suffix(1);
  std::size_t kept = 0;
  while (kept < token.size()) {
    char32_t c = 0;
    std::size_t length = std::max<std::size_t>(utf8_sequence(token.substr(kept), c), 1);
    if (kept + length > max_name_length)
      break;
    kept += length;
  }
  return token.substr(0, kept);
}

constexpr std::string_view placemark =
    "<Placemark>\n  <name>%s</name>\n  <LookAt>\n"
    "    <longitude>%f</longitude>\n    <latitude>%f</latitude>\n"
    "    <range>310.7391410215146</range>\n"
    "    <tilt>-1.24365386906156e-010</tilt>\n"
    "    <heading>-2.780221460109238e-014</heading>\n  </LookAt>\n"
    "  <styleUrl>root://styleMaps#default+nicon=0x307+hicon=0x317</styleUrl>\n"
    "  <Point>\n    <coordinates>%f,%f,%f</coordinates>\n  </Point>\n</Placemark>\n";

/// What `open`, then `line` twice, write for `line` after `open`'s text,
/// split into the two records; the record state starts afresh with `open`.
template <class Open, class Line>
std::pair<std::string, std::string> records(Open open, Line line) {
  static const std::string opening = capture([&](output& out) { open(out, ""); });
  std::string text = capture([&](output& out) {
    open(out, "");
    line(out);
    line(out);
  });
  require(text.starts_with(opening), "a record follows the opening text", text);
  std::string_view both = std::string_view(text).substr(opening.size());
  std::string_view first = both.substr(0, both.size() / 2);
  return {std::string(first), std::string(both.substr(first.size()))};
}

void check_waypoint(std::string_view line) {
  waypoint scanned;
  scan_waypoint(line, scanned);
  auto [record, again] = records(waypoint_open, [&](output& out) { waypoint_line(out, line); });
  require(again == record, "the same line read again gives the same Placemark", line);
  std::vector<std::string_view> slots;
  require(match(record, placemark, slots), "a waypoint line gives one Placemark", record);

  std::string_view name(scanned.name, scanned.name_length);
  require(name == expected_name(line), "the name is the token, cut between characters", line);
  require(is_escaped_text(slots[0]), "the name is escaped, well-formed XML text", slots[0]);
  require(reads_as(name, unescape(slots[0])), "the name reads its bytes as UTF-8 or Windows-1252",
          slots[0]);

  check_number(slots[1], scanned.longitude, record);
  check_number(slots[2], scanned.latitude, record);
  check_number(slots[3], scanned.longitude, record);
  check_number(slots[4], scanned.latitude, record);
  check_number(slots[5], exact_metres(scanned.altitude_feet), record);
}

void check_track(std::string_view line) {
  track_point scanned;
  scan_track_point(line, scanned);
  auto [record, again] = records(track_open, [&](output& out) { track_line(out, line); });
  require(again == record, "the same line read again gives the same point", line);
  std::vector<std::string_view> slots;
  require(match(record, "%f,%f,%f\n", slots), "a track line gives one coordinate line", record);
  check_number(slots[0], scanned.longitude, record);
  check_number(slots[1], scanned.latitude, record);
  check_number(slots[2], exact_metres(scanned.altitude_feet), record);
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
