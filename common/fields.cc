#include "common/fields.h"

#include <algorithm>

#include "common/scanner.h"

namespace {

std::string_view trim(std::string_view text) {
  while (!text.empty() && is_space(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && is_space(text.back()))
    text.remove_suffix(1);
  return text;
}

/// Cuts `line` at its commas into at most `wanted` trimmed fields; gives how
/// many it found. A line without a comma is one field.
std::size_t split_fields(std::string_view line, std::string_view* fields, std::size_t wanted) {
  // One pass over the bytes: fields are a few bytes long, too short for a
  // library search per field to pay.
  std::size_t count = 0;
  const char* start = line.data();
  const char* end = start + line.size();
  for (const char* p = start;; ++p) {
    if (p == end || *p == ',') {
      fields[count++] = trim(std::string_view(start, static_cast<std::size_t>(p - start)));
      if (p == end || count == wanted)
        return count;
      start = p + 1;
    }
  }
}

/// Whether `field` is one real and nothing else, stored in `value` if so.
bool whole_real(std::string_view field, float& value) {
  scanner s(field);
  float read = 0;
  if (!s.real(read) || s.pos != s.end)
    return false;
  value = read;
  return true;
}

}  // namespace

std::optional<std::string_view> read_fields(std::string_view line, const field_layout& layout,
                                            float& latitude, float& longitude,
                                            std::int32_t& altitude_feet) {
  std::string_view fields[max_field];
  std::size_t last = std::max({layout.name, layout.latitude, layout.longitude, layout.altitude});
  std::size_t count = split_fields(line, fields, last);
  // A field the line does not reach reads as missing, as field 0 does.
  auto field = [&](std::size_t number) -> std::optional<std::string_view> {
    if (number == 0 || number > count)
      return std::nullopt;
    return fields[number - 1];
  };

  // Both coordinates or neither: half a position is a wrong place.
  auto latitude_field = field(layout.latitude), longitude_field = field(layout.longitude);
  float new_latitude = 0, new_longitude = 0;
  if (latitude_field && longitude_field && whole_real(*latitude_field, new_latitude) &&
      whole_real(*longitude_field, new_longitude)) {
    latitude = new_latitude;
    longitude = new_longitude;
  }
  if (auto altitude_field = field(layout.altitude)) {
    scanner s(*altitude_field);
    s.integer(altitude_feet);  // a failed piece leaves the value alone
  }
  return field(layout.name);
}
