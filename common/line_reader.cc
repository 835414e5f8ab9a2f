#include "common/line_reader.h"

#include <algorithm>
#include <cstring>

namespace {

/// Refills the block; false at the end of the input or after a failed read.
bool refill(line_reader& reader) {
  reader.begin = 0;
  reader.end = std::fread(reader.block, 1, sizeof reader.block, reader.file);
  reader.nul_in_block = std::memchr(reader.block, '\0', reader.end) != nullptr;
  if (reader.end == 0 && std::ferror(reader.file))
    reader.failed = true;
  return reader.end != 0;
}

/// What a record handler sees of a line: up to its first NUL byte.
std::string_view visible(const char* text, std::size_t length) {
  const void* nul = std::memchr(text, '\0', length);
  return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length};
}

}  // namespace

void reset(line_reader& reader, std::FILE* input) {
  reader.file = input;
  reader.failed = false;
  reader.begin = reader.end = 0;
  reader.nul_in_block = false;
}

namespace {

/// `read_line` for every case: a line that crosses the end of the block, is
/// longer than a record handler sees, or lies in a block with a NUL byte.
read_status read_any_line(line_reader& reader, std::string_view& line) {
  std::size_t kept = 0;  // bytes of this line copied to `head` so far
  bool started = false;
  for (;;) {
    if (reader.begin == reader.end && !refill(reader)) {
      if (reader.failed)
        return read_status::error;
      if (!started)
        return read_status::end;
      line = visible(reader.head, kept);
      return read_status::line;
    }
    started = true;
    const char* rest = reader.block + reader.begin;
    std::size_t available = reader.end - reader.begin;
    const char* feed = static_cast<const char*>(std::memchr(rest, '\n', available));
    std::size_t length = feed ? static_cast<std::size_t>(feed - rest) : available;
    reader.begin += feed ? length + 1 : length;
    if (feed && kept == 0) {  // the common case: the whole line is in the block
      length = std::min(length, max_line_length);
      line = reader.nul_in_block ? visible(rest, length) : std::string_view(rest, length);
      return read_status::line;
    }
    std::size_t take = std::min(length, max_line_length - kept);
    std::memcpy(reader.head + kept, rest, take);
    kept += take;
    if (feed) {
      line = visible(reader.head, kept);
      return read_status::line;
    }
  }
}

}  // namespace

read_status read_line(line_reader& reader, std::string_view& line) {
  // The common case on a short way: a whole short line in the block.
  if (reader.begin != reader.end && !reader.nul_in_block) [[likely]] {
    const char* rest = reader.block + reader.begin;
    const void* feed = std::memchr(rest, '\n', reader.end - reader.begin);
    std::size_t length = feed ? static_cast<std::size_t>(static_cast<const char*>(feed) - rest)
                              : max_line_length + 1;
    if (length <= max_line_length) [[likely]] {
      reader.begin += length + 1;
      line = std::string_view(rest, length);
      return read_status::line;
    }
  }
  return read_any_line(reader, line);
}
