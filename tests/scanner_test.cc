#include "common/scanner.h"

#include <string>

#include "gtest/gtest.h"

namespace {

TEST(scanner, RealThenCommaStopsAtABlank) {
  scanner s("51.5 ,2.25");
  float first = 0, second = 7;
  EXPECT_TRUE(s.real(first));
  EXPECT_FALSE(s.comma() && s.real(second));
  EXPECT_EQ(first, 51.5f);
  EXPECT_EQ(second, 7);  // the blank ended the pattern before it
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

// "%d" and "%f" skip every kind of white space first; "%*d" and "%*f" match
// where they do, stop at the same place and store nothing.
TEST(scanner, NumbersAfterWhiteSpaceAndSkipped) {
  struct {
    const char* text;
    std::size_t integer_end, real_end;  // 0: no match
  } const cases[] = {
      {" \t\n\v\f\r-17,", 9, 9}, {"  -0.5,", 4, 6}, {"2e3x", 1, 3}, {"  ,5", 0, 0}, {"", 0, 0},
  };
  for (const auto& c : cases) {
    std::string_view text(c.text);
    auto moved = [&](const scanner& s, bool matched) {
      return matched ? static_cast<std::size_t>(s.pos - text.data()) : 0;
    };
    std::int32_t integer = 0;
    float real = 0;
    scanner a(text), b(text), d(text), e(text);
    EXPECT_EQ(moved(a, a.integer(integer)), c.integer_end) << c.text;
    EXPECT_EQ(moved(b, b.skip_integer()), c.integer_end) << c.text;
    EXPECT_EQ(moved(d, d.real(real)), c.real_end) << c.text;
    EXPECT_EQ(moved(e, e.skip_real()), c.real_end) << c.text;
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
