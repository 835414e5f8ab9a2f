#include "pathtrove/track.h"

#include <cstring>

#include "common/fields.h"
#include "common/kml_text.h"
#include "common/metres.h"
#include "common/scanner.h"
#include "common/write_real.h"

namespace {

track_point current;  // carried from line to line for the whole run

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

namespace {

/// The longest coordinate line: three numbers, two commas and a line feed.
constexpr std::size_t max_point_length = 3 * max_real_length + 3;
static_assert(max_point_length <= sizeof(output::buffer), "a point fits the output buffer");

/// An altitude and its text, as `append_metres` writes it.
struct altitude_text {
  std::int32_t feet;
  std::uint8_t length;  // 0 while the entry is empty
  char text[11];
};

/// Altitudes written lately, each in the entry its lowest ten bits pick. A
/// track's altitudes are whole feet that change by a few feet from point to
/// point, so most of them come again while their entry still holds them. An
/// entry is right for good, so the entries are kept from run to run.
altitude_text recent_altitudes[1024];

/// `append_metres`, copying the text of an altitude written lately instead
/// of converting it again; `out` needs room for `max_real_length` bytes.
/// Texts too long for an entry are not kept.
char* append_altitude(char* out, std::int32_t feet) {
  altitude_text& recent = recent_altitudes[static_cast<std::uint32_t>(feet) % 1024];
  if (recent.feet == feet && recent.length != 0) [[likely]] {
    // Whatever the length: the text after it, written next, covers the rest.
    std::memcpy(out, recent.text, sizeof recent.text);
    return out + recent.length;
  }
  char* end = append_metres(out, feet);
  auto length = static_cast<std::size_t>(end - out);
  if (length <= sizeof recent.text) {
    recent.feet = feet;
    recent.length = static_cast<std::uint8_t>(length);
    // A fixed size is copied inline; the bytes past the text never end up
    // in a document.
    std::memcpy(recent.text, out, sizeof recent.text);
  }
  return end;
}

/// Writes the coordinate line of `p`. Flattened: the number writer, called
/// three times, is worth having inline.
[[gnu::flatten]] void put_point(output& out, const track_point& p) {
  char* q = reserve(out, max_point_length);
  q = append_real(q, p.longitude);
  *q++ = ',';
  q = append_real(q, p.latitude);
  *q++ = ',';
  q = append_altitude(q, p.altitude_feet);
  *q++ = '\n';
  commit(out, q);
}

}  // namespace

void track_line(output& out, std::string_view line) {
  scan_track_point(line, current);
  put_point(out, current);
}

void track_close(output& out) {
  put(out, "    </coordinates>\n  </LineString>\n</Placemark>\n</kml>\n");
}

const converter track_converter = {"Usage: %s file.plt [file.kml]\n", 6, track_open, track_line,
                                   track_close};
