#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/driver.h"
#include "common/output.h"

/// Bytes of a waypoint name that are kept; a longer name is cut between two
/// characters.
constexpr std::size_t max_name_length = 55;

/// The current waypoint. A line overwrites only the fields its scan reaches;
/// the others keep what earlier lines put there.
struct waypoint {
  char name[max_name_length] = {};
  std::size_t name_length = 0;
  float latitude = 0;
  float longitude = 0;
  std::int32_t altitude_feet = 0;
};

/// Scans one waypoint line into `w`: the fields its scan reaches, with the
/// name's closing comma dropped and the name cut to `max_name_length` bytes.
void scan_waypoint(std::string_view line, waypoint& w);

/// Starts the document and its one folder, named `input_path`, and the
/// current waypoint afresh.
void waypoint_open(output& out, std::string_view input_path);

/// Scans one line into the current waypoint and writes its marker.
void waypoint_line(output& out, std::string_view line);

/// Writes one Placemark: the name, a view of the point, the shared style and
/// the point itself. `name` holds at most `max_name_length` bytes.
void way_point(output& out, std::string_view name, float longitude, float latitude,
               float altitude_metres);

/// Ends the folder, the document and the `kml` element.
void waypoint_close(output& out);

/// The waypoint converter, for the shared driver.
extern const converter waypoint_converter;
