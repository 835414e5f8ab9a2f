#pragma once

// The number rules of both programs: reading integers and reals, writing
// reals, feet to metres. Exact, in integer arithmetic only, so every platform
// gives the same bits whatever its floating-point unit, and independent of
// the locale.

#include <cstddef>
#include <cstdint>
#include <limits>

/// Longest text `append_real` writes: the sign, the integer digits of the
/// largest binary32 value (39), the point and six decimals.
constexpr std::size_t max_real_length =
    1 + (std::numeric_limits<float>::max_exponent10 + 1) + 1 + 6;

/// The end of the decimal integer at `p` (an optional sign and one or more
/// digits, every one of them), or null when there is no digit.
const char* integer_end(const char* p, const char* end);

/// Reads the decimal integer at `p`: an optional sign and one or more digits,
/// every one of them consumed; a value beyond 32 bits is stored saturated.
/// Returns the end of the number, or null, leaving `value` alone, when there
/// is no digit.
const char* read_integer(const char* p, const char* end, std::int32_t& value);

/// Reads the decimal real at `p`: an optional sign, digits with an optional
/// point and fraction (one digit at least), and an optional exponent, which
/// counts only when digits follow its "e". Stores the binary32 value nearest
/// to it, ties to even; zero, keeping the sign, when it is too small for
/// binary32. Returns the end of the number, or null, leaving `value` alone,
/// when there is none or when it rounds beyond the binary32 range. "inf",
/// "nan" and hexadecimal are no numbers: of "0x1" only the "0" is read.
const char* read_real(const char* p, const char* end, float& value);

/// Writes `value`, widened to binary64, in fixed-point notation with six
/// decimals, exactly as printf("%f") does (ties to even); returns the end.
/// `out` must have room for `max_real_length` bytes.
char* append_real(char* out, float value);

/// The binary32 value nearest to `feet` times the binary64 value of 0.3048.
float feet_to_metres(std::int32_t feet);

/// Writes `feet_to_metres(feet)` as `append_real` writes it, in one step;
/// returns the end. `out` must have room for `max_real_length` bytes.
char* append_metres(char* out, std::int32_t feet);
