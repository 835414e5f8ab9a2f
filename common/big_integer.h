#pragma once

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstdint>

/// A nonnegative integer of up to 640 bits, for the rare numbers that 64 bits
/// cannot hold: a real of many digits or far from 1, and the digits of
/// binary32 values of 2^43 and more. No allocation; the callers keep within
/// the capacity.
struct big_integer {
  static constexpr int capacity = 20;
  std::uint32_t limbs[capacity] = {};  // least significant first
  int size = 0;                        // limbs in use; the highest one is not zero

  explicit big_integer(std::uint32_t n) {
    limbs[0] = n;
    size = n != 0;
  }

  /// Whether this is zero.
  bool is_zero() const {
    return size == 0;
  }

  /// The number of bits from the highest one set, 0 for zero.
  int bit_length() const {
    return size == 0 ? 0 : 32 * size - std::countl_zero(limbs[size - 1]);
  }

  /// this = this * factor + addend.
  void multiply_add(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (int i = 0; i < size; ++i) {
      carry += std::uint64_t{limbs[i]} * factor;
      limbs[i] = static_cast<std::uint32_t>(carry);
      carry >>= 32;
    }
    assert(carry == 0 || size < capacity);
    if (carry != 0)
      limbs[size++] = static_cast<std::uint32_t>(carry);
  }

  /// this = this * 10^n.
  void multiply_by_power_of_ten(int n) {
    for (; n >= 9; n -= 9)
      multiply_add(1000000000, 0);
    for (; n > 0; --n)
      multiply_add(10, 0);
  }

  /// this = this * 2^bits.
  void shift_left(int bits) {
    if (size == 0 || bits == 0)
      return;
    int words = bits / 32;
    int rest = bits % 32;
    int top = size + words;
    assert(top < capacity);
    limbs[top] = 0;
    for (int i = size - 1; i >= 0; --i) {
      std::uint64_t moved = std::uint64_t{limbs[i]} << rest;
      limbs[i + words + 1] |= static_cast<std::uint32_t>(moved >> 32);
      limbs[i + words] = static_cast<std::uint32_t>(moved);
    }
    std::fill(limbs, limbs + words, 0);
    size = limbs[top] != 0 ? top + 1 : top;
  }

  /// this = this / 2, rounded down.
  void halve() {
    for (int i = 0; i < size; ++i)
      limbs[i] = (limbs[i] >> 1) | (i + 1 < size ? limbs[i + 1] << 31 : 0);
    if (size > 0 && limbs[size - 1] == 0)
      --size;
  }

  /// this = this - other, for `other` not above this.
  void subtract(const big_integer& other) {
    std::uint32_t borrow = 0;
    for (int i = 0; i < size; ++i) {
      std::uint64_t taken = std::uint64_t{i < other.size ? other.limbs[i] : 0} + borrow;
      borrow = limbs[i] < taken;
      limbs[i] = static_cast<std::uint32_t>(limbs[i] - taken);
    }
    while (size > 0 && limbs[size - 1] == 0)
      --size;
  }

  /// this = this / divisor; returns the remainder.
  std::uint32_t divide(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (int i = size - 1; i >= 0; --i) {
      std::uint64_t n = (remainder << 32) | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(n / divisor);
      remainder = n % divisor;
    }
    while (size > 0 && limbs[size - 1] == 0)
      --size;
    return static_cast<std::uint32_t>(remainder);
  }
};

/// Whether a >= b.
inline bool at_least(const big_integer& a, const big_integer& b) {
  if (a.size != b.size)
    return a.size > b.size;
  for (int i = a.size - 1; i >= 0; --i)
    if (a.limbs[i] != b.limbs[i])
      return a.limbs[i] > b.limbs[i];
  return true;
}
