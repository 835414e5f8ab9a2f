#include "common/kml_text.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/metres.h"
#include "common/write_real.h"
#include "gtest/gtest.h"
#include "tests/memory_stream.h"

namespace {

std::string real_text(float value) {
  char text[max_real_length];
  return std::string(text, append_real(text, value));
}

std::string printf_text(float value) {
  char text[64];
  int n = std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  return std::string(text, static_cast<std::size_t>(n));
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
    ASSERT_EQ(real_text(v), printf_text(v)) << std::hexfloat << v;
}

TEST(real_text, RandomValuesMatchPrintf) {
  std::mt19937 random(7);
  for (int i = 0; i < 10'000'000; ++i) {
    float v = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
    if (!std::isfinite(v))
      continue;
    ASSERT_EQ(real_text(v), printf_text(v)) << std::hexfloat << v;
  }
  // Most coordinates and altitudes are small: test that range densely too.
  std::uniform_real_distribution<float> coordinate(-50000.0f, 50000.0f);
  for (int i = 0; i < 10'000'000; ++i) {
    float v = coordinate(random);
    ASSERT_EQ(real_text(v), printf_text(v)) << std::hexfloat << v;
  }
}

// Every binary32 value in [-1e7, 1e7]: minutes of run time, so opt-in.
TEST(real_text, ExhaustiveMatchesPrintf) {
  if (!std::getenv("TROVE_EXHAUSTIVE"))
    GTEST_SKIP() << "set TROVE_EXHAUSTIVE=1 to run";
  for (std::uint32_t bits = 0; bits <= std::bit_cast<std::uint32_t>(1e7f); ++bits) {
    float v = std::bit_cast<float>(bits);
    ASSERT_EQ(real_text(v), printf_text(v)) << std::hexfloat << v;
    ASSERT_EQ(real_text(-v), printf_text(-v)) << std::hexfloat << -v;
  }
}

/// The binary32 value nearest to feet * 0.3048 (the binary64 constant),
/// worked out on the exact product in 32-bit words, one bit at a time.
float exact_metres(std::int32_t feet) {
  int scale = 0;
  double fraction = std::frexp(0.3048, &scale);
  auto factor = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  scale -= 53;  // 0.3048 = factor * 2^scale
  auto f = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(feet)));
  std::uint64_t part = f * (factor & 0xffffffff);  // the product is high * 2^32 + low
  std::uint64_t high = f * (factor >> 32) + (part >> 32);
  std::uint64_t low = part & 0xffffffff;
  bool round = false, sticky = false;  // the last bit shifted out; any other one
  while (high != 0 || low >= (1u << 24)) {
    sticky = sticky || round;
    round = low & 1;
    low = (low >> 1) | ((high & 1) << 31);
    high >>= 1;
    ++scale;
  }
  if (round && (sticky || (low & 1)))
    ++low;
  float magnitude = std::ldexp(static_cast<float>(low), scale);
  return feet < 0 ? -magnitude : magnitude;
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

std::string escaped(std::string_view text) {
  std::string out(text.size() * max_text_growth, '\0');
  out.resize(static_cast<std::size_t>(append_text(out.data(), text) - out.data()));
  return out;
}

TEST(text, Escapes) {
  struct {
    const char* in;
    const char* out;
  } const cases[] = {
      {"Plain_name-1.5", "Plain_name-1.5"},
      {"Hut_one>two&three<", "Hut_one&gt;two&amp;three&lt;"},  // > ends the first eight bytes
      {"Summit_Hut_A&B", "Summit_Hut_A&amp;B"},  // & among the last eight, after a plain eight
      {"Lake_of_Tears", "Lake_of_Tears"},        // the last five as the last eight
      {"a ~%'=?;:\x7f\x80z", "a ~%'=?;:\x7f\xe2\x82\xacz"},  // the edges of plain bytes
      {"<Tom&Jerry>", "&lt;Tom&amp;Jerry&gt;"},
      {"Tom&Jerry <3> \"quoted\" 'single'", "Tom&amp;Jerry &lt;3&gt; \"quoted\" 'single'"},
      {"Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", "Caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
      {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},        // U+10FFFF
      {"tab\tline\nreturn\r", "tab\tline\nreturn\r"},  // allowed controls
      {"\x01\x08\x0b\x0c\x1f", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
      {"\xef\xbf\xbe\xef\xbf\xbf", "\xef\xbf\xbd\xef\xbf\xbd"},      // U+FFFE, U+FFFF
      {"Caf\xe9", "Caf\xc3\xa9"},                                    // Windows-1252
      {"\x80\x9f\xa0\xff", "\xe2\x82\xac\xc5\xb8\xc2\xa0\xc3\xbf"},  // its edges
      {"\x81\x8d\x8f\x90\x9d", "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
      {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                                      // overlong
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac"},                      // surrogate
      {"\xe2\x82", "\xc3\xa2\xe2\x80\x9a"},                                  // cut short
      {"\xf4\x90\x80\x80", "\xc3\xb4\xef\xbf\xbd\xe2\x82\xac\xe2\x82\xac"},  // beyond U+10FFFF
  };
  for (const auto& c : cases)
    EXPECT_EQ(escaped(c.in), c.out) << c.in;
}

TEST(text, LongTextStraightToTheOutput) {
  std::string mixed;
  for (int i = 0; i < 300; ++i)
    mixed += "a&b\xe9\xf0\x9f\x98\x80";
  // The second fills the piece that put_text escapes into to its last byte.
  for (const std::string& text : {mixed, "ab" + std::string(60, '&')}) {
    captured_output captured;
    put_text(captured.out, text);
    EXPECT_EQ(captured.text(), escaped(text));
  }
}

TEST(text, PrefixEndsBetweenCharacters) {
  EXPECT_EQ(prefix_length("abcdef", 3), 3u);
  EXPECT_EQ(prefix_length("ab", 3), 2u);
  EXPECT_EQ(prefix_length("a\xc3\xa9", 2), 1u);
  EXPECT_EQ(prefix_length("a\xc3\xa9", 3), 3u);
  EXPECT_EQ(prefix_length("\xf0\x9f\x98\x80z", 3), 0u);
  EXPECT_EQ(prefix_length("a\xe9\xe9", 2), 2u);  // a stray byte is a character of its own
}

TEST(prologue, IsTwoLines) {
  captured_output captured;
  put_prologue(captured.out);
  EXPECT_EQ(captured.text(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n");
}

}  // namespace
