#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

/// A write-behind buffer in front of an output stream. Records are handed to
/// it whole; it passes them on in large blocks and remembers whether any write
/// failed, so one check at the end tells whether the whole document got out.
struct output {
  constexpr explicit output(std::FILE* stream) : file(stream) {}

  std::FILE* file;
  bool failed = false;
  std::size_t used = 0;
  char buffer[1 << 18];
};

/// Starts an empty buffer in front of `stream`, with no failure remembered.
void reset(output& out, std::FILE* stream);

/// Appends `text` to the buffer, writing the buffer out whenever it fills.
void put(output& out, std::string_view text);

/// Where a record of at most `size` bytes (no more than the buffer holds,
/// checked in debug builds) can be written straight into the buffer, which is
/// written out first when the record might not fit. `commit` then takes the
/// record.
char* reserve(output& out, std::size_t size);

/// Takes what was written from the last `reserve` up to `end`.
inline void commit(output& out, const char* end) {
  out.used = static_cast<std::size_t>(end - out.buffer);
}

/// Writes out whatever is buffered and flushes the stream; false when this or
/// any earlier write failed.
bool flush(output& out);
