#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

/// How many bytes past the end it returns a writer into a reservation may
/// store: a copy of fixed size is quicker than one of the exact length, and
/// the text written next covers the bytes past the end. `reserve` keeps room
/// for them after the record's own size; each such writer says its overhang.
constexpr std::size_t max_overhang = 8;

/// A write-behind buffer in front of an output stream. Records are handed to
/// it whole; it passes them on in large blocks and remembers whether any write
/// failed, so one check at the end tells whether the whole document got out.
struct output {
  constexpr explicit output(std::FILE* stream) : file(stream) {}

  std::FILE* file;
  bool failed = false;
  std::size_t used = 0;
  char buffer[1 << 18];
#ifndef NDEBUG
  std::size_t reserved = 0;  // where the room of the last reservation ends
#endif
};

/// Starts an empty buffer in front of `stream`, with no failure remembered.
void reset(output& out, std::FILE* stream);

/// Appends `text` to the buffer, writing the buffer out whenever it fills.
void put(output& out, std::string_view text);

/// Where a record of at most `size` bytes can be written straight into the
/// buffer, with `max_overhang` bytes of room after it: the buffer is written
/// out first when they might not fit. `size` + `max_overhang` must not exceed
/// the buffer (checked in debug builds). `commit` then takes the record.
char* reserve(output& out, std::size_t size);

#ifndef NDEBUG
/// Checks that the record ending at `end` kept within its reservation, and
/// stored nothing more than `max_overhang` bytes past `end`.
void check_record(const output& out, const char* end);
#endif

/// Takes what was written from the last `reserve` up to `end`; debug builds
/// check the record first.
inline void commit(output& out, const char* end) {
#ifndef NDEBUG
  check_record(out, end);
#endif
  out.used = static_cast<std::size_t>(end - out.buffer);
}

/// Writes out whatever is buffered and flushes the stream; false when this or
/// any earlier write failed.
bool flush(output& out);
