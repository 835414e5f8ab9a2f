#include "common/fields.h"

#include <bit>

#include "common/eight_bytes.h"
#include "common/scanner.h"

namespace {

/// The next comma at or after `p`, or `end`.
const char* field_end(const char* p, const char* end) {
  // Eight bytes at a time, as names run to tens of bytes.
  for (; end - p >= 8; p += 8) {
    std::uint64_t marks = bytes_equal(load_eight(p), ',');
    if (marks != 0)
      return p + std::countr_zero(marks) / 8;
  }
  while (p < end && *p != ',')
    ++p;
  return p;
}

/// The start of the field `count` commas on from `p`, or null when the line
/// ends before.
const char* after_commas(const char* p, const char* end, std::size_t count) {
  if (count == 0)
    return p;
  // Eight bytes at a time, as the fields passed over run to tens of bytes.
  for (; end - p >= 8; p += 8) {
    std::uint64_t commas = bytes_equal(load_eight(p), ',');
    auto found = static_cast<std::size_t>((commas >> 7) * every_byte >> 56);
    if (found >= count) {
      for (; count > 1; --count)
        commas &= commas - 1;  // drops the first comma
      return p + std::countr_zero(commas) / 8 + 1;
    }
    count -= found;
  }
  for (; p < end; ++p)
    if (*p == ',' && --count == 0)
      return p + 1;
  return nullptr;
}

/// The lowest field number of `layout` above `after`, or one beyond
/// `max_field` when there is none.
std::size_t next_field(const field_layout& layout, std::size_t after) {
  std::size_t next = max_field + 1;
  for (std::size_t number : {layout.name, layout.latitude, layout.longitude, layout.altitude})
    if (number > after && number < next)
      next = number;
  return next;
}

/// Reads the field at `p` as one real with nothing but white space around
/// it; `whole` says whether it is one. Returns where the reading stopped,
/// within the field.
const char* read_whole_real(const char* p, const char* end, float& value, bool& whole) {
  // No real holds a comma or white space, so reading up to the line's end
  // stops where reading up to the field's end would.
  const char* q = read_real(skip_space(p, end), end, value);
  if (!q)
    return p;
  q = skip_space(q, end);
  whole = q == end || *q == ',';
  return q;
}

/// The field [p, end) without the white space at its ends.
std::string_view trimmed(const char* p, const char* end) {
  p = skip_space(p, end);
  while (end > p && is_space(end[-1]))
    --end;
  return {p, static_cast<std::size_t>(end - p)};
}

}  // namespace

std::optional<std::string_view> read_fields(std::string_view line, const field_layout& layout,
                                            float& latitude, float& longitude,
                                            std::int32_t& altitude_feet) {
  // One pass from field to field: each value is read where its field starts,
  // the fields between are passed over. A field the line does not reach is
  // missing.
  const char* p = line.data();
  const char* end = p + line.size();
  float new_latitude = 0, new_longitude = 0;
  bool latitude_whole = false, longitude_whole = false;
  std::optional<std::string_view> name;
  std::size_t number = 1;  // the field `p` is in
  for (std::size_t wanted = next_field(layout, 0); wanted <= max_field;
       wanted = next_field(layout, wanted)) {
    p = after_commas(p, end, wanted - number);
    if (!p)
      break;
    number = wanted;
    if (number == layout.latitude) {
      p = read_whole_real(p, end, new_latitude, latitude_whole);
    } else if (number == layout.longitude) {
      p = read_whole_real(p, end, new_longitude, longitude_whole);
    } else if (number == layout.altitude) {
      // A failed piece leaves the value alone; what follows is not looked at.
      read_integer(skip_space(p, end), end, altitude_feet);
    } else if (number == layout.name) {
      const char* name_end = field_end(p, end);
      name = trimmed(p, name_end);
      p = name_end;
    }
  }
  // Both coordinates or neither: half a position is a wrong place.
  if (latitude_whole && longitude_whole) {
    latitude = new_latitude;
    longitude = new_longitude;
  }
  return name;
}
