#pragma once

// Altitudes arrive in feet and leave in metres: the product with the
// binary64 value of 0.3048, rounded once to binary32.

#include <cstdint>

/// The binary32 value nearest to `feet` times the binary64 value of 0.3048.
float feet_to_metres(std::int32_t feet);

/// Writes `feet_to_metres(feet)` as `append_real` writes it, in one step;
/// returns the end. `out` must have room for `max_real_length` bytes;
/// nothing is stored past the end returned.
char* append_metres(char* out, std::int32_t feet);
