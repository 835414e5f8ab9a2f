#include "common/line_reader.h"

#include <algorithm>
#include <cstring>

namespace {

/// Refills the block; false when the read delivered nothing. A read that
/// fails marks the reader failed even when it delivered some bytes: their
/// whole lines are handed out, and nothing after them is read.
bool refill(line_reader& reader) {
  reader.begin = 0;
  reader.end = std::fread(reader.block, 1, sizeof reader.block, reader.file);
  reader.nul_in_block = std::memchr(reader.block, '\0', reader.end) != nullptr;
  reader.failed = std::ferror(reader.file) != 0;
  // fread stops short only at the end of the input or on a failure, and both
  // are final: a terminal would otherwise want a second Ctrl-D.
  reader.finished = reader.end < sizeof reader.block || reader.failed;
  return reader.end != 0;
}

/// What a record handler sees of a line: up to its first NUL byte.
std::string_view up_to_nul(const char* text, std::size_t length) {
  const void* nul = std::memchr(text, '\0', length);
  return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length};
}

}  // namespace

void reset(line_reader& reader, std::FILE* input) {
  reader.file = input;
  reader.failed = reader.finished = false;
  reader.begin = reader.end = 0;
  reader.nul_in_block = false;
}

read_status read_line(line_reader& reader, std::string_view& line) {
  std::size_t kept = 0;  // bytes of this line copied to `head` so far
  bool started = false;
  for (;;) {
    if (reader.begin == reader.end && (reader.finished || !refill(reader))) {
      // After a failed read a line it cut short is not taken for a whole one.
      if (reader.failed)
        return read_status::error;
      if (!started)
        return read_status::end;
      line = up_to_nul(reader.head, kept);
      return read_status::line;
    }
    started = true;
    const char* rest = reader.block + reader.begin;
    std::size_t available = reader.end - reader.begin;
    const char* feed = static_cast<const char*>(std::memchr(rest, '\n', available));
    std::size_t length = feed ? static_cast<std::size_t>(feed - rest) : available;
    reader.begin += feed ? length + 1 : length;
    if (feed && kept == 0) [[likely]] {  // the whole line is in the block
      length = std::min(length, max_line_length);
      line = reader.nul_in_block ? up_to_nul(rest, length) : std::string_view(rest, length);
      return read_status::line;
    }
    // A line that crosses the end of the block, or the rest of a long one.
    std::size_t take = std::min(length, max_line_length - kept);
    std::memcpy(reader.head + kept, rest, take);
    kept += take;
    if (feed) {
      line = up_to_nul(reader.head, kept);
      return read_status::line;
    }
  }
}
