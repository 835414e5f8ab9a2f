#include "common/kml_text.h"

#include <string>

#include "gtest/gtest.h"
#include "tests/reference.h"

namespace {

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
      {"Lake_of_Tears", "Lake_of_Tears"},        // eight plain bytes, then five one by one
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

}  // namespace
