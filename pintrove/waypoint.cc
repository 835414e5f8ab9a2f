#include "pintrove/waypoint.h"

#include <cstring>

#include "common/fields.h"
#include "common/kml_text.h"
#include "common/metres.h"
#include "common/scanner.h"
#include "common/write_real.h"

namespace {

waypoint current;  // carried from line to line for the whole run

/// Keeps `name`, cut between two characters to fit.
void keep_name(waypoint& w, std::string_view name) {
  w.name_length = prefix_length(name, max_name_length);
  std::memcpy(w.name, name.data(), w.name_length);
}

/// ",%d" `count` times, the values not kept: no waypoint field of them is
/// ever written.
bool skip_integers(scanner& s, int count) {
  // One loop rather than a chain: the piece's code is there once.
  for (int i = 0; i < count; ++i)
    if (!(s.comma() && s.skip_integer()))
      return false;
  return true;
}

/// The text of fields 6 to 14 where the pattern last passed them: from the
/// comma after field 5 to the last digit of field 14.
struct fields_6_to_14_text {
  char bytes[48];
  std::size_t length = 0;
};
fields_6_to_14_text last_fields_6_to_14;

/// ",%d,%d,%d,%d,%d,,%d,%d,%d": fields 6 to 14, checked but not kept.
/// Field 11 must be empty, so its two commas stand side by side.
bool skip_fields_6_to_14(scanner& s) {
  // Most files repeat the same text there line after line. No piece of it
  // looks past its last digit but at the byte after, so text that matched
  // once matches again when a comma follows it, as the next piece wants.
  std::size_t n = last_fields_6_to_14.length;
  if (n != 0 && static_cast<std::size_t>(s.end - s.pos) > n && s.pos[n] == ',' &&
      std::memcmp(s.pos, last_fields_6_to_14.bytes, n) == 0) {
    s.pos += n;
    return true;
  }
  const char* start = s.pos;
  if (!(skip_integers(s, 5) && s.comma() && skip_integers(s, 3)))
    return false;
  auto length = static_cast<std::size_t>(s.pos - start);
  if (length <= sizeof last_fields_6_to_14.bytes) {
    std::memcpy(last_fields_6_to_14.bytes, start, length);
    last_fields_6_to_14.length = length;
  }
  return true;
}

/// The fields after the name: "%f,%f,%f,%d,%d,%d,%d,%d,,%d,%d,%d,%d".
bool scan_position(scanner& s, waypoint& w) {
  return s.real(w.latitude) && s.comma() && s.real(w.longitude) && s.comma() && s.skip_real() &&
         skip_fields_6_to_14(s) && s.comma() && s.integer(w.altitude_feet);
}

/// Scans the line with the record pattern "%d,%s%f,...": true when the scan
/// reached the altitude, the last field it reads.
[[gnu::flatten]] bool scan_pattern(std::string_view line, waypoint& w) {
  // "%d,%s": the name token runs to the next white space, so it carries the
  // comma that ends the name field.
  scanner s(line);
  std::string_view token;
  // The waypoint's number is checked, not kept: no marker shows it.
  if (!(s.skip_integer() && s.comma() && s.token(token)))
    return false;
  if (!scan_position(s, w))
    return false;
  // Kept only now: a line the pattern stops in early gets its name from the
  // second reading. The comma goes only when it ends the token: "Hut,12,"
  // keeps "Hut,12".
  if (token.back() == ',')
    token.remove_suffix(1);
  keep_name(w, token);
  return true;
}

// The marker's fixed text, around its name and its five numbers.
constexpr std::string_view marker_start = "<Placemark>\n  <name>";
constexpr std::string_view marker_longitude = "</name>\n  <LookAt>\n    <longitude>";
constexpr std::string_view marker_latitude = "</longitude>\n    <latitude>";
constexpr std::string_view marker_view =
    "</latitude>\n"
    "    <range>310.7391410215146</range>\n"
    "    <tilt>-1.24365386906156e-010</tilt>\n"
    "    <heading>-2.780221460109238e-014</heading>\n  </LookAt>\n"
    "  <styleUrl>root://styleMaps#default+nicon=0x307+hicon=0x317</styleUrl>\n"
    "  <Point>\n    <coordinates>";
constexpr std::string_view marker_end = "</coordinates>\n  </Point>\n</Placemark>\n";

/// The longest marker: the fixed text, the longest name with every byte
/// escaped, five numbers and the two commas between the coordinates.
constexpr std::size_t max_marker_length =
    marker_start.size() + marker_longitude.size() + marker_latitude.size() + marker_view.size() +
    marker_end.size() + max_name_length * max_text_growth + 5 * max_real_length + 2;
static_assert(max_marker_length + max_overhang <= sizeof(output::buffer),
              "a marker and what its writers store past it fit the output buffer");

/// The length that almost every number's text stays within: a sign, seven
/// digits, the point and six decimals.
constexpr std::size_t short_real_length = 16;
static_assert(short_real_length <= max_real_length);
static_assert(short_real_length - std::string_view("0.000000").size() <= max_overhang);

/// Copies `number`, the text of a number written earlier in the same marker,
/// to `out` and returns the end of the copy. A short number takes a copy of
/// fixed length, which the compiler turns into two moves: it reads the marker
/// text after the number, and stores up to eight bytes past the copy's end
/// (a number's text has eight bytes at least, "0.000000"), within
/// `max_overhang`; the text after it covers them.
char* copy_real(char* out, std::string_view number) {
  if (number.size() <= short_real_length) [[likely]]
    std::memcpy(out, number.data(), short_real_length);
  else
    std::memcpy(out, number.data(), number.size());
  return out + number.size();
}

}  // namespace

void scan_waypoint(std::string_view line, waypoint& w) {
  // The pattern stores the numbers as it reads them, the name only once it
  // has read the whole line.
  const float latitude = w.latitude, longitude = w.longitude;
  const std::int32_t altitude_feet = w.altitude_feet;
  if (scan_pattern(line, w)) [[likely]]
    return;
  // Other writers put blanks in names, text in field 11 and no blank after a
  // comma, where the pattern stops early; such a line is read again from the
  // waypoint as the previous line left it, field by field.
  w.latitude = latitude, w.longitude = longitude, w.altitude_feet = altitude_feet;
  constexpr field_layout layout(/*name*/ 2, /*latitude*/ 3, /*longitude*/ 4, /*altitude*/ 15);
  if (auto name = read_fields(line, layout, w.latitude, w.longitude, w.altitude_feet))
    keep_name(w, *name);
}

void waypoint_open(output& out, std::string_view input_path) {
  current = waypoint{};
  put(out, "<Document>\n<Folder>\n<name>");
  put_text(out, input_path);
  put(out, "</name>\n<open>1</open>\n");
}

void waypoint_line(output& out, std::string_view line) {
  scan_waypoint(line, current);
  way_point(out, std::string_view(current.name, current.name_length), current.longitude,
            current.latitude, feet_to_metres(current.altitude_feet));
}

void way_point(output& out, std::string_view name, float longitude, float latitude,
               float altitude_metres) {
  if (name.size() > max_name_length)  // keeps the marker within its buffer
    name = std::string_view(name.data(), prefix_length(name, max_name_length));
  char* record = reserve(out, max_marker_length);
  char* p = append(record, marker_start);
  p = append_text(p, name);
  p = append(p, marker_longitude);
  // Both numbers are written twice: formatted once, then copied.
  const char* longitude_text = p;
  p = append_real(p, longitude);
  std::string_view longitude_digits(longitude_text, static_cast<std::size_t>(p - longitude_text));
  p = append(p, marker_latitude);
  const char* latitude_text = p;
  p = append_real(p, latitude);
  std::string_view latitude_digits(latitude_text, static_cast<std::size_t>(p - latitude_text));
  p = append(p, marker_view);
  p = copy_real(p, longitude_digits);
  *p++ = ',';
  p = copy_real(p, latitude_digits);
  *p++ = ',';
  p = append_real(p, altitude_metres);
  p = append(p, marker_end);
  commit(out, p);
}

void waypoint_close(output& out) {
  put(out, "</Folder>\n</Document>\n</kml>\n");
}

const converter waypoint_converter = {"Usage: %s file.wpt [file.kml]\n", 4, waypoint_open,
                                      waypoint_line, waypoint_close};
