#include "common/scanner.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "gtest/gtest.h"

namespace {

TEST(scanner, RealThenCommaStopsAtABlank) {
  scanner s("51.5 ,2.25");
  float first = 0, second = 7;
  EXPECT_TRUE(s.real(first) && !s.comma());
  EXPECT_EQ(first, 51.5f);
  EXPECT_EQ(second, 7);
}

TEST(scanner, TokenCarriesItsCommaAndTheRealFollows) {
  scanner s("42,Summit, 3.25");
  std::int32_t number = 0;
  std::string_view token;
  float real = 0;
  EXPECT_TRUE(s.integer(number) && s.comma() && s.token(token) && s.real(real));
  EXPECT_EQ(number, 42);
  EXPECT_EQ(token, "Summit,");
  EXPECT_EQ(real, 3.25f);
}

TEST(scanner, IntegerStopsAtThePoint) {
  scanner s("12.5,3");
  std::int32_t value = 0;
  EXPECT_TRUE(s.integer(value));
  EXPECT_EQ(value, 12);
  EXPECT_FALSE(s.comma());
}

struct integer_case {
  const char* text;
  bool matches;
  std::int32_t value;
  std::size_t consumed;
};

TEST(scanner, Integers) {
  constexpr auto max = std::numeric_limits<std::int32_t>::max();
  constexpr auto min = std::numeric_limits<std::int32_t>::min();
  const integer_case cases[] = {
      {"17", true, 17, 2},
      {" \t\n\v\f\r-17,", true, -17, 9},
      {"+5", true, 5, 2},
      {"-3,", true, -3, 2},  // one digit and no more: the shortest way
      {"7", true, 7, 1},
      {"007", true, 7, 3},
      {"999999999", true, 999999999, 9},  // the most digits of the short way
      // With eight bytes left, up to seven digits are read in one step.
      {"-1234567,0000", true, -1234567, 8},
      {"12345678,0000", true, 12345678, 8},
      {"0,0000000", true, 0, 1},
      {"-x00000000", false, 0, 0},
      {"2147483647", true, max, 10},
      {"2147483648", true, max, 10},
      {"-2147483648", true, min, 11},
      {"-2147483649", true, min, 11},
      {"99999999999999999999999999", true, max, 26},
      {"-99999999999999999999999999x", true, min, 27},
      {"", false, 0, 0},
      {"   ", false, 0, 0},
      {"-", false, 0, 0},
      {"+-5", false, 0, 0},
      {"x5", false, 0, 0},
      {",5", false, 0, 0},
  };
  for (const integer_case& c : cases) {
    std::string_view text(c.text);
    scanner s(text);
    std::int32_t value = 0;
    EXPECT_EQ(s.integer(value), c.matches) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    if (c.matches) {
      EXPECT_EQ(s.pos - text.data(), static_cast<std::ptrdiff_t>(c.consumed)) << c.text;
    }
    // "%*d" matches the same text and stops at the same place.
    scanner skipping(text);
    EXPECT_EQ(skipping.skip_integer(), c.matches) << c.text;
    EXPECT_EQ(skipping.pos, c.matches ? s.pos : text.data()) << c.text;
  }
}

struct real_case {
  const char* text;
  bool matches;
  float value;
  std::size_t consumed;
};

TEST(scanner, Reals) {
  const float unchanged = -7.0f;
  const real_case cases[] = {
      {"48.858222", true, 48.858222f, 9},
      {"  -0.5,", true, -0.5f, 6},
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
    scanner s(text);
    float value = unchanged;
    EXPECT_EQ(s.real(value), c.matches) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
    if (c.matches) {
      EXPECT_EQ(s.pos - text.data(), static_cast<std::ptrdiff_t>(c.consumed)) << c.text;
    }
  }
}

TEST(scanner, NegativeZeroKeepsItsSign) {
  scanner s("-1e-60");
  float value = 1;
  EXPECT_TRUE(s.real(value));
  EXPECT_TRUE(std::signbit(value));
}

// Random decimals of every common shape, against the C library's strtof.
TEST(scanner, RealsAgreeWithTheCLibrary) {
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
    scanner s(std::string_view(text, n + 16));
    float value = 0;
    ASSERT_TRUE(s.real(value)) << text;
    ASSERT_EQ(value, expected) << text;
    ASSERT_EQ(s.pos, text + n) << text;
  }
}

// Decimals rounded from points halfway between two binary32 values: their
// quotient in binary64 is often that halfway point itself, where rounding on
// to binary32 would go the wrong way.
TEST(scanner, RealsNearHalfwayPointsAgreeWithTheCLibrary) {
  std::mt19937 random(5);
  char text[400];
  for (int i = 0; i < 100'000; ++i) {
    int exponent = static_cast<int>(random() % 60) - 20;
    float low = std::ldexp(static_cast<float>((1u << 23) | (random() % (1u << 23))), exponent - 23);
    double halfway = (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
    for (int places = 1; places <= 19; ++places) {
      int n = std::snprintf(text, sizeof text, "%.*f", places, halfway);
      scanner s(std::string_view(text, static_cast<std::size_t>(n)));
      float value = 0;
      ASSERT_TRUE(s.real(value)) << text;
      ASSERT_EQ(value, std::strtof(text, nullptr)) << text;
    }
  }
}

TEST(scanner, TokenRunsToWhiteSpace) {
  scanner s(" \tname,with,commas \nnext");
  std::string_view token;
  EXPECT_TRUE(s.token(token));
  EXPECT_EQ(token, "name,with,commas");
  EXPECT_TRUE(s.token(token));
  EXPECT_EQ(token, "next");
  EXPECT_FALSE(s.token(token));
  EXPECT_EQ(token, "next");
  scanner t(
      "abc\x01"
      "defghij klm");  // a control character that is no white space
  EXPECT_TRUE(t.token(token));
  EXPECT_EQ(token,
            "abc\x01"
            "defghij");
}

TEST(scanner, CommaSkipsNoWhiteSpace) {
  scanner s(" ,");
  EXPECT_FALSE(s.comma());
  scanner t(",,");
  EXPECT_TRUE(t.comma() && t.comma());
  EXPECT_FALSE(t.comma());
}

}  // namespace
