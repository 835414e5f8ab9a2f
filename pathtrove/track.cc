#include "pathtrove/track.h"

#include "common/fields.h"
#include "common/kml_text.h"
#include "common/metres.h"
#include "common/scanner.h"
#include "common/write_real.h"

namespace {

track_point current;  // carried from line to line for the whole run

/// The longest coordinate line: three numbers, two commas and a line feed.
constexpr std::size_t max_point_length = 3 * max_real_length + 3;
static_assert(max_point_length + max_overhang <= sizeof(output::buffer),
              "a point and what its writers store past it fit the output buffer");

/// Writes the coordinate line of `p`. Flattened: the number writer, called
/// three times, is worth having inline.
[[gnu::flatten]] void put_point(output& out, const track_point& p) {
  char* q = reserve(out, max_point_length);
  q = append_real(q, p.longitude);
  *q++ = ',';
  q = append_real(q, p.latitude);
  *q++ = ',';
  q = append_metres(q, p.altitude_feet);
  *q++ = '\n';
  commit(out, q);
}

}  // namespace

void track_open(output& out, std::string_view input_path) {
  current = track_point{};
  put(out, "<Placemark>\n  <name>");
  put_text(out, input_path);
  put(out,
      "</name>\n"
      "  <visibility>1</visibility>\n"
      "  <open>1</open>\n  <LineString>\n    <coordinates>\n");
}

[[gnu::flatten]] void scan_track_point(std::string_view line, track_point& p) {
  // "%f,%f,%d,%d": latitude, longitude, a field that is checked but not
  // kept, and the altitude in feet; what follows is not read. The scan goes
  // straight into the point, which is put back when the scan stops early:
  // scanning a copy and copying it back stalls every line on the copy.
  const track_point before = p;
  scanner s(line);
  if (s.real(p.latitude) && s.comma() && s.real(p.longitude) && s.comma() && s.skip_integer() &&
      s.comma() && s.integer(p.altitude_feet)) [[likely]]
    return;
  // A line the pattern stops early in (a blank before a comma, say) is read
  // again from the point as the previous line left it, field by field.
  p = before;
  constexpr field_layout layout(/*name*/ 0, /*latitude*/ 1, /*longitude*/ 2, /*altitude*/ 4);
  read_fields(line, layout, p.latitude, p.longitude, p.altitude_feet);
}

void track_line(output& out, std::string_view line) {
  scan_track_point(line, current);
  put_point(out, current);
}

void track_close(output& out) {
  put(out, "    </coordinates>\n  </LineString>\n</Placemark>\n</kml>\n");
}

const converter track_converter = {"Usage: %s file.plt [file.kml]\n", 6, track_open, track_line,
                                   track_close};
