#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/metres.h"
#include "common/read_number.h"
#include "common/write_real.h"
#include "gtest/gtest.h"
#include "tests/reference.h"

namespace {

struct integer_case {
  const char* text;
  bool matches;
  std::int32_t value;
  std::size_t consumed;
};

TEST(read_number, Integers) {
  constexpr auto max = std::numeric_limits<std::int32_t>::max();
  constexpr auto min = std::numeric_limits<std::int32_t>::min();
  const integer_case cases[] = {
      {"17", true, 17, 2},
      {"-17,", true, -17, 3},
      {"+5", true, 5, 2},
      {"-3,", true, -3, 2},  // one digit and no more
      {"7", true, 7, 1},
      {"007", true, 7, 3},
      {"999999999", true, 999999999, 9},
      // Digits that end within and at the end of an eight-byte chunk.
      {"-1234567,0000", true, -1234567, 8},
      {"12345678,0000", true, 12345678, 8},
      {"0,0000000", true, 0, 1},
      {"-x00000000", false, 0, 0},
      {"2147483647", true, max, 10},
      {"2147483648", true, max, 10},
      {"-2147483648", true, min, 11},
      {"-2147483649", true, min, 11},
      {"99999999999999999999999999", true, max, 26},
      {"000000000000000000000", true, 0, 21},  // zeros up to the end, and no further
      {"-99999999999999999999999999x", true, min, 27},
      {"", false, 0, 0},
      {"   ", false, 0, 0},
      {"-", false, 0, 0},
      {"+-5", false, 0, 0},
      {"x5", false, 0, 0},
      {",5", false, 0, 0},
  };
  for (const integer_case& c : cases) {
    // A copy of the exact size: the sanitizers see a read past its end.
    std::vector<char> bytes(c.text, c.text + std::strlen(c.text));
    std::string_view text(bytes.data(), bytes.size());
    const char* end = text.data() + text.size();
    std::int32_t value = 0;
    const char* stop = read_integer(text.data(), end, value);
    EXPECT_EQ(stop, c.matches ? text.data() + c.consumed : nullptr) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    // The end alone is found where the reading stops.
    EXPECT_EQ(integer_end(text.data(), end), stop) << c.text;
  }
}

struct real_case {
  const char* text;
  bool matches;
  float value;
  std::size_t consumed;
};

TEST(read_number, Reals) {
  const float unchanged = -7.0f;
  const real_case cases[] = {
      {"48.858222", true, 48.858222f, 9},
      {"-0.5,", true, -0.5f, 4},
      {"+.5e+2", true, 50.0f, 6},
      {"5.", true, 5.0f, 2},
      {"1e", true, 1.0f, 1},  // an "e" without digits is not an exponent
      {"1e+", true, 1.0f, 1},
      {"2E3x", true, 2000.0f, 3},
      {"0x10", true, 0.0f, 1},  // hexadecimal is not a number: the "0" is
      {"3.4028235e38", true, 3.4028235e38f, 12},
      {"1e-40", true, 1e-40f, 5},
      {"1e-50", true, 0.0f, 5},  // too small: zero
      {"0.0000000000000000000000000000000000000000000000000001", true, 0.0f, 54},
      {"123456789012345678", true, 123456789012345678.0f, 18},    // 18 digits: one division
      {"1234567890123456789", true, 1234567890123456789.0f, 19},  // 19: the exact way
      {"0.123456789012345", true, 0.123456789012345f, 17},        // 15 decimals
      {"0.1234567890123456", true, 0.1234567890123456f, 18},      // 16
      {"47.421630,10.985206", true, 47.421630f, 9},               // decimals 8 bytes at a time
      {"1.2345678901234,5678", true, 1.2345678901234f, 15},       // 8 of them, then 5
      {"1.000000059604644775390625", true, 1.0f, 26},             // halfway: to even
      // With 16 bytes left the common shape is read eight bytes at a time:
      // up to seven digits on each side of the point.
      {"1234567.7654321,00000000", true, 1234567.7654321f, 15},
      {"12345678.7654321,0000000", true, 12345678.7654321f, 16},
      {"-1.76543218,00000000000", true, -1.76543218f, 11},
      {"0.000000,000000000000000", true, 0.0f, 8},
      {"1.5e3,000000000000000000", true, 1500.0f, 5},
      {"1."
       "0000000596046447753906250000000000000000000000000000000000000000000000000000000000000000000"
       "0000000000000000000000000000000001",
       true, 1.00000012f, 127},  // a nonzero 127th digit
      {"7."
       "0064923216240853546186479164495806564013097093825788587853414194489554134293030074331909418"
       "1060791015625e-46",
       true, 0.0f, 110},  // half the least
      {"7."
       "0064923216240853546186479164495806564013097093825788587853414194489554134293030074331909418"
       "10607910156251e-46",
       true, 1e-45f, 111},
      {"340282356779733661637539395458142568447.9", true, 3.4028235e38f, 41},  // just below
      {"340282356779733661637539395458142568448", false, unchanged, 0},        // halfway to 2^128
      {"3.5e38", false, unchanged, 0},  // too large for binary32
      {"-1e39", false, unchanged, 0},
      {"100000000000000000000000000000000000000000", false, unchanged, 0},
      {"0.001e99999999999", false, unchanged, 0},
      {"5.0000000000000000000000000000000000000000e38", false, unchanged,
       0},  // zeros after the point
      {"inf", false, unchanged, 0},
      {"-infinity", false, unchanged, 0},
      {"nan", false, unchanged, 0},
      {".", false, unchanged, 0},
      {"-", false, unchanged, 0},
      {"", false, unchanged, 0},
      {",1", false, unchanged, 0},
  };
  for (const real_case& c : cases) {
    std::string_view text(c.text);
    const char* end = text.data() + text.size();
    float value = unchanged;
    const char* stop = read_real(text.data(), end, value);
    EXPECT_EQ(stop, c.matches ? text.data() + c.consumed : nullptr) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(real_end(text.data(), end), stop) << c.text;
  }
}

TEST(read_number, NegativeZeroKeepsItsSign) {
  std::string_view text("-1e-60");
  float value = 1;
  EXPECT_TRUE(read_real(text.data(), text.data() + text.size(), value));
  EXPECT_TRUE(std::signbit(value));
}

// Random decimals of every common shape, against the C library's strtof.
TEST(read_number, RealsAgreeWithTheCLibrary) {
  std::mt19937_64 random(20261207);
  std::uniform_int_distribution<int> digits(0, 9), length(1, 12), exponent(-45, 38);
  char text[64];
  for (int i = 0; i < 1'000'000; ++i) {
    int n = std::snprintf(text, sizeof text, "%s", random() & 1 ? "-" : "");
    int integer_digits = length(random) % 6;
    for (int d = 0; d < integer_digits; ++d)
      text[n++] = static_cast<char>('0' + digits(random));
    text[n++] = '.';
    for (int d = length(random); d > 0; --d)
      text[n++] = static_cast<char>('0' + digits(random));
    if (i % 4 == 0)
      n += std::snprintf(text + n, sizeof text - n, "e%d", exponent(random));
    text[n] = '\0';
    float expected = std::strtof(text, nullptr);
    if (std::isinf(expected))
      continue;
    // What follows a field: with 16 bytes left, the common shapes are read
    // eight bytes at a time.
    std::snprintf(text + n, sizeof text - n, ",%015d", 0);
    float value = 0;
    ASSERT_EQ(read_real(text, text + n + 16, value), text + n) << text;
    ASSERT_EQ(value, expected) << text;
  }
}

// Decimals rounded from points halfway between two binary32 values: their
// quotient in binary64 is often that halfway point itself, where rounding on
// to binary32 would go the wrong way.
TEST(read_number, RealsNearHalfwayPointsAgreeWithTheCLibrary) {
  std::mt19937 random(5);
  char text[400];
  for (int i = 0; i < 100'000; ++i) {
    int exponent = static_cast<int>(random() % 60) - 20;
    float low = std::ldexp(static_cast<float>((1u << 23) | (random() % (1u << 23))), exponent - 23);
    double halfway = (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
    for (int places = 1; places <= 19; ++places) {
      int n = std::snprintf(text, sizeof text, "%.*f", places, halfway);
      float value = 0;
      ASSERT_TRUE(read_real(text, text + n, value)) << text;
      ASSERT_EQ(value, std::strtof(text, nullptr)) << text;
    }
  }
}

std::string real_text(float value) {
  char text[max_real_length];
  return std::string(text, append_real(text, value));
}

/// Whether the long runs go in full, as the switch TROVE_EXHAUSTIVE asks.
bool exhaustive() {
  return std::getenv("TROVE_EXHAUSTIVE") != nullptr;
}

TEST(real_text, Examples) {
  EXPECT_EQ(real_text(-0.123456f), "-0.123456");
  EXPECT_EQ(real_text(51.5f), "51.500000");
  EXPECT_EQ(real_text(48.858222f), "48.858223");
  EXPECT_EQ(real_text(51.123456f), "51.123455");
  EXPECT_EQ(real_text(51.0078125f), "51.007812");  // halfway: to even
  EXPECT_EQ(real_text(0.0f), "0.000000");
  EXPECT_EQ(real_text(-0.0f), "-0.000000");
  EXPECT_EQ(real_text(-1e-9f), "-0.000000");
  EXPECT_EQ(real_text(FLT_MAX), "340282346638528859811704183484516925440.000000");
}

/// Values where the formatter changes method or rounds on a knife edge.
std::vector<float> boundary_reals() {
  std::vector<float> values = {0.0f,          FLT_MIN, FLT_TRUE_MIN, FLT_MAX, 5e-7f, 4.9999997e-7f,
                               5.0000006e-7f, 1.5e-6f, 2.5e-6f,      0.5f,    1.0f,  999999.94f};
  for (int e = -149; e <= 127; ++e) {  // every power of two and its neighbours
    float p = std::ldexp(1.0f, e);
    values.insert(values.end(), {p, std::nextafter(p, 0.0f), std::nextafter(p, INFINITY)});
  }
  for (int k = 1; k < 64; k += 2) {  // near ties: odd multiples of half a millionth
    float v = std::nextafter(static_cast<float>(k * 5e-7), 0.0f);
    for (int i = 0; i < 3; ++i, v = std::nextafter(v, INFINITY))
      values.push_back(v);
  }
  values.push_back(51.0078125f);
  // Where the whole part takes a longer way, and where the millionths pass 2^32.
  values.insert(values.end(), {999.99994f, 1000.0f, 9999.999f, 10000.0f, 4294.9673f, 4294.9678f});
  values.push_back(std::ldexp(16777215.0f, 19));  // the last value of the integer path
  values.push_back(std::ldexp(8388608.0f, 20));   // the first one past it
  std::size_t n = values.size();
  for (std::size_t i = 0; i < n; ++i)
    values.push_back(-values[i]);
  return values;
}

TEST(real_text, BoundariesMatchPrintf) {
  for (float v : boundary_reals())
    ASSERT_EQ(real_text(v), printf_real(v)) << std::hexfloat << v;
}

// Half a million values of each kind, or with TROVE_EXHAUSTIVE ten million.
TEST(real_text, RandomValuesMatchPrintf) {
  const int count = exhaustive() ? 10'000'000 : 500'000;
  std::mt19937 random(7);
  for (int i = 0; i < count; ++i) {
    float v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isfinite(v))
      continue;
    ASSERT_EQ(real_text(v), printf_real(v)) << std::hexfloat << v;
  }
  // Most coordinates and altitudes are small: test that range densely too.
  std::uniform_real_distribution<float> coordinate(-50000.0f, 50000.0f);
  for (int i = 0; i < count; ++i) {
    float v = coordinate(random);
    ASSERT_EQ(real_text(v), printf_real(v)) << std::hexfloat << v;
  }
}

// Every binary32 value in [-1e7, 1e7]: minutes of run time, so opt-in.
TEST(real_text, ExhaustiveMatchesPrintf) {
  if (!exhaustive())
    GTEST_SKIP() << "set TROVE_EXHAUSTIVE=1 to run";
  for (std::uint32_t bits = 0; bits <= std::bit_cast<std::uint32_t>(1e7f); ++bits) {
    float v = std::bit_cast<float>(bits);
    ASSERT_EQ(real_text(v), printf_real(v)) << std::hexfloat << v;
    ASSERT_EQ(real_text(-v), printf_real(-v)) << std::hexfloat << -v;
  }
}

TEST(feet_to_metres, Examples) {
  EXPECT_EQ(real_text(feet_to_metres(0)), "0.000000");
  EXPECT_EQ(real_text(feet_to_metres(1)), "0.304800");
  EXPECT_EQ(real_text(feet_to_metres(100)), "30.480000");
  EXPECT_EQ(real_text(feet_to_metres(500)), "152.399994");
  EXPECT_EQ(real_text(feet_to_metres(-777)), "-236.829605");
}

/// Whether both `feet_to_metres` and `append_metres` agree with the exact product.
::testing::AssertionResult metres_match(std::int32_t feet) {
  float exact = exact_metres(feet);
  char text[max_real_length];
  if (feet_to_metres(feet) == exact &&
      std::string(text, append_metres(text, feet)) == real_text(exact))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << feet;
}

TEST(feet_to_metres, MatchesTheExactProduct) {
  for (std::int32_t feet = -2'000'000; feet <= 2'000'000; ++feet)
    ASSERT_TRUE(metres_match(feet));
  // Beyond about 27 million feet the product rounded to binary64 first can
  // come out one unit low.
  for (std::int32_t feet = 27'000'000; feet <= 29'000'000; ++feet)
    ASSERT_TRUE(metres_match(feet));
  std::mt19937 random(11);
  for (int i = 0; i < 5'000'000; ++i)
    ASSERT_TRUE(metres_match(static_cast<std::int32_t>(random())));
  for (std::int32_t feet : {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX})
    ASSERT_TRUE(metres_match(feet));
}

TEST(feet_to_metres, AgreesWithExtendedPrecisionWhereThereIsSome) {
  if (LDBL_MANT_DIG != 64)
    GTEST_SKIP() << "long double is not 80 bits wide here";
  std::mt19937 random(13);
  for (int i = 0; i < 2'000'000; ++i) {
    auto feet = static_cast<std::int32_t>(random());
    auto reference = static_cast<float>(static_cast<long double>(feet) * 0.3048);
    ASSERT_EQ(feet_to_metres(feet), reference) << feet;
  }
}

}  // namespace
