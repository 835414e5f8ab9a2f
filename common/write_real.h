#pragma once

// Writing reals as a "%f" slot shows them: fixed-point notation with six
// decimals, exactly as printf("%f") writes the value widened to binary64.

#include <cstddef>
#include <cstdint>
#include <limits>

/// Longest text `append_real` writes: the sign, the integer digits of the
/// largest binary32 value (39), the point and six decimals.
constexpr std::size_t max_real_length =
    1 + (std::numeric_limits<float>::max_exponent10 + 1) + 1 + 6;

/// Writes `value`, finite, widened to binary64, in fixed-point notation with six
/// decimals, exactly as printf("%f") does (ties to even); returns the end.
/// `out` must have room for `max_real_length` bytes; nothing is stored past
/// the end returned.
char* append_real(char* out, float value);

/// Writes `significand` * 2^-`shift`, for a significand up to 2^24 and a
/// shift from 1 to 44, as `append_real` writes that value; returns the end,
/// and stores nothing past it.
char* append_six_decimals(char* out, std::uint64_t significand, int shift);
