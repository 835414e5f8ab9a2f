#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

/// The highest field number a layout may name.
constexpr std::size_t max_field = 15;

/// Where a converter finds its values when a line is read as plain
/// comma-separated fields: field numbers counted from 1, 0 for a value the
/// converter does not take. Made at compile time only, where a layout that
/// names no field or one beyond `max_field` does not compile.
struct field_layout {
  consteval field_layout(std::size_t name, std::size_t latitude, std::size_t longitude,
                         std::size_t altitude)
      : name(name), latitude(latitude), longitude(longitude), altitude(altitude) {
    std::size_t last = std::max({name, latitude, longitude, altitude});
    if (last == 0 || last > max_field)
      field_layout_names_fields_1_to_max_field();
  }

  /// Never defined: a call to it in a constant expression stops the
  /// compilation, naming the rule.
  static void field_layout_names_fields_1_to_max_field();

  std::size_t name;
  std::size_t latitude;
  std::size_t longitude;
  std::size_t altitude;
};

/// Reads `line` as fields cut at every comma (no quoting), each without the
/// white space at its ends. Stores `latitude` and `longitude` only when both
/// fields are exactly one real as the "%f" piece reads it, and
/// `altitude_feet` only when its field starts with an integer as the "%d"
/// piece reads it (what follows the integer is not looked at); each keeps
/// its value otherwise. Gives the name field, possibly empty, when the layout
/// has one and the line reaches it.
std::optional<std::string_view> read_fields(std::string_view line, const field_layout& layout,
                                            float& latitude, float& longitude,
                                            std::int32_t& altitude_feet);
