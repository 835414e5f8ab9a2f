#pragma once

// Reading the numbers of a record: decimal integers and reals, exactly and
// independently of the locale.

#include <cstdint>

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

/// The end of the decimal real at `p`, where `read_real` reads one that
/// fits binary32, or null where it fails; the value is not worked out.
const char* real_end(const char* p, const char* end);
