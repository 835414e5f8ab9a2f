#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

/// Where a converter finds its values when a line is read as plain
/// comma-separated fields: field numbers counted from 1, 0 for a value the
/// converter does not take. None is beyond `max_field`.
struct field_layout {
  std::size_t name;
  std::size_t latitude;
  std::size_t longitude;
  std::size_t altitude;
};

/// The highest field number a layout may name.
constexpr std::size_t max_field = 15;

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
