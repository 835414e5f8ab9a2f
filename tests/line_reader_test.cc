#include "common/line_reader.h"

#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/reference.h"

namespace {

/// Every line that `read_line` gives for `text`, and how reading ended.
std::vector<std::string> lines_of(const std::string& text, read_status* last = nullptr) {
  std::FILE* in = input_from(text);
  auto reader = std::make_unique<line_reader>(in);
  std::vector<std::string> lines;
  std::string_view line;
  read_status status;
  while ((status = read_line(*reader, line)) == read_status::line)
    lines.emplace_back(line);
  std::fclose(in);
  if (last)
    *last = status;
  return lines;
}

using lines = std::vector<std::string>;

TEST(read_line, SplitsAtLineFeeds) {
  EXPECT_EQ(lines_of(""), lines{});
  EXPECT_EQ(lines_of("\n"), lines{""});
  EXPECT_EQ(lines_of("a\n\nb\n"), (lines{"a", "", "b"}));
  EXPECT_EQ(lines_of("a\r\nlast"), (lines{"a\r", "last"}));
}

TEST(read_line, LongLineIsOneLineCut) {
  std::string long_line(2000, 'x');
  EXPECT_EQ(lines_of(long_line + "\nnext\n"), (lines{std::string(511, 'x'), "next"}));
  EXPECT_EQ(lines_of(std::string(511, 'y') + "\n"), lines{std::string(511, 'y')});
  EXPECT_EQ(lines_of(std::string(512, 'y')), lines{std::string(511, 'y')});
  EXPECT_EQ(lines_of(std::string(512, 'y') + "\nz\n"), (lines{std::string(511, 'y'), "z"}));
}

TEST(read_line, NulEndsWhatIsSeen) {
  EXPECT_EQ(lines_of(std::string("ab\0cd\nef\n", 9)), (lines{"ab", "ef"}));
  // In a later line of a block, here the second, whose first line began in
  // the block before.
  std::string line(99, 'x');
  std::string text;
  lines expected;
  for (; text.size() <= sizeof(line_reader::block); text += line + "\n")
    expected.push_back(line);
  expected.insert(expected.end(), {"c", "last"});
  EXPECT_EQ(lines_of(text + std::string("c\0d\nlast\n", 9)), expected);
}

TEST(read_line, LinesAcrossBlockBoundaries) {
  // Lines of every length around the block size cross its end at every offset.
  std::string text;
  lines expected;
  for (int length = 0; text.size() < 3 * sizeof(line_reader::block); length = (length + 37) % 900) {
    std::string line(static_cast<std::size_t>(length), static_cast<char>('a' + length % 26));
    text += line + "\n";
    expected.push_back(line.substr(0, max_line_length));
  }
  EXPECT_EQ(lines_of(text), expected);
}

TEST(read_line, ReadFailureIsNotTheEnd) {
  read_status last;
  std::FILE* directory = std::fopen(".", "r");
  ASSERT_NE(directory, nullptr);
  line_reader reader(directory);
  std::string_view line;
  EXPECT_EQ(read_line(reader, line), read_status::error);
  std::fclose(directory);
  lines_of("a\n", &last);
  EXPECT_EQ(last, read_status::end);
}

}  // namespace
