#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

/// The most of one line that a record handler ever sees; the rest of a longer
/// line is read and dropped.
constexpr std::size_t max_line_length = 511;

/// Reads an input stream in large blocks and hands it out one physical line
/// at a time.
struct line_reader {
  constexpr explicit line_reader(std::FILE* input) : file(input) {}

  std::FILE* file;
  bool failed = false;
  bool finished = false;      // whether the last read found the end or failed: none follows
  std::size_t begin = 0;      // next unread byte in `block`
  std::size_t end = 0;        // bytes of `block` filled by the last read
  bool nul_in_block = false;  // whether those bytes hold a NUL: lines are cut there
  char block[1 << 16];
  char head[max_line_length];  // a line that crossed the end of `block`
};

/// Starts reading `input` afresh: whatever an earlier stream left is dropped.
void reset(line_reader& reader, std::FILE* input);

enum class read_status { line, end, error };

/// Reads the next line into `line` (without its line feed, cut after its
/// first `max_line_length` bytes and at its first NUL byte; the view lives
/// until the next call). A last line without a line feed is still a line.
/// Gives `end` at the end of the input and `error` once a read has failed:
/// the lines that read delivered whole come first, the rest of its last
/// line is dropped. After a read that found the end or failed, nothing more
/// is read.
read_status read_line(line_reader& reader, std::string_view& line);
