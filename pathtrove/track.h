#pragma once

#include <cstdint>
#include <string_view>

#include "common/driver.h"
#include "common/output.h"

/// The current track point. A line overwrites only the fields its scan
/// reaches; the others keep what earlier lines put there.
struct track_point {
  float latitude = 0;
  float longitude = 0;
  std::int32_t altitude_feet = 0;
};

/// Scans the fields of one track line that its scan reaches into `p`.
void scan_track_point(std::string_view line, track_point& p);

/// Starts the document: one marker, named `input_path`, holding one line;
/// and the current point afresh.
void track_open(output& out, std::string_view input_path);

/// Scans one line into the current point and writes its coordinate line.
void track_line(output& out, std::string_view line);

/// Ends the line, the marker and the `kml` element.
void track_close(output& out);

/// The track converter, for the shared driver.
extern const converter track_converter;
