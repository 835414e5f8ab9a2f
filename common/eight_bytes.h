#pragma once

// Eight bytes of text at a time in one 64-bit integer, for the loops that
// run over most bytes of a line. Plain integer arithmetic, the same on every
// machine: the first byte is always the lowest, whatever the byte order.

#include <cstdint>

/// 0x01 in every byte: `c * every_byte` has `c` in every byte.
constexpr std::uint64_t every_byte = 0x0101010101010101;

/// The eight bytes at `p` as one integer, the first in its lowest byte.
inline std::uint64_t load_eight(const char* p) {
  // Written out byte by byte, the compiler sees one load (and a byte swap
  // on a big-endian machine); a loop it may leave as eight loads.
  auto byte = [p](int i) { return std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i); };
  return byte(0) | byte(1) | byte(2) | byte(3) | byte(4) | byte(5) | byte(6) | byte(7);
}

/// The bytes of `chunk` below `n`, which is at most 0x80, marked by their
/// top bit: the lowest exactly, those above it perhaps wrongly.
constexpr std::uint64_t bytes_below(std::uint64_t chunk, std::uint64_t n) {
  // The lowest such byte borrows and keeps its top bit clear; a borrow may
  // mark bytes above it.
  return (chunk - n * every_byte) & ~chunk & 0x80 * every_byte;
}

/// Whether a byte of `chunk` is below `n`, which is at most 0x80.
constexpr bool has_byte_below(std::uint64_t chunk, std::uint64_t n) {
  return bytes_below(chunk, n) != 0;
}

/// The bytes of `chunk` equal to `c`, each marked exactly by its top bit.
constexpr std::uint64_t bytes_equal(std::uint64_t chunk, unsigned char c) {
  // An equal byte becomes zero; adding 0x7f to its low seven bits leaves its
  // top bit clear, and no byte's sum carries into the next.
  constexpr std::uint64_t low_bits = 0x7f * every_byte;
  std::uint64_t x = chunk ^ (c * every_byte);
  return ~(((x & low_bits) + low_bits) | x | low_bits);
}
