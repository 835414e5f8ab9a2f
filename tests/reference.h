#pragma once

// What the tests and the fuzz targets compare the programs with, written
// apart from the code under test: the C library's way of writing a real,
// the exact product of feet and 0.3048, and streams in memory.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "common/output.h"

/// What printf("%f") writes for `value` widened to binary64.
std::string printf_real(float value);

/// The binary32 value nearest to the exact product of `feet` and the
/// binary64 value of 0.3048, ties to even, worked out in 64-bit integers one
/// bit at a time.
float exact_metres(std::int32_t feet);

/// A stream whose output is kept in memory.
struct memory_stream {
  memory_stream();
  ~memory_stream();
  memory_stream(const memory_stream&) = delete;
  memory_stream& operator=(const memory_stream&) = delete;

  /// Null once `hand_over` gave it away.
  std::FILE* file;
  char* data = nullptr;
  std::size_t size = 0;

  /// Everything written so far: the stream is flushed first, unless it was
  /// handed over, when it is what was written before it was closed.
  std::string text();

  /// The stream, for a caller that closes it; `text` still reads it after.
  std::FILE* hand_over();
};

/// An `output` in front of a memory stream.
struct captured_output {
  memory_stream stream;
  output out{stream.file};

  /// Everything written so far, the buffer flushed first.
  std::string text();
};

/// A terminal on which `typed` was typed ahead, each "\x04" in it a Ctrl-D,
/// which ends the input there: a reader that goes on after the end reads
/// what follows. `file` reads it, to be closed by its user; it is null where
/// there are no terminals (WASI, whose C library never reads after the end,
/// or a machine that gives none).
struct typed_terminal {
  explicit typed_terminal(const std::string& typed);
  ~typed_terminal();
  typed_terminal(const typed_terminal&) = delete;
  typed_terminal& operator=(const typed_terminal&) = delete;

  std::FILE* file = nullptr;
  int keyboard = -1;  // the other side: while it is open, what was typed stays
};

/// A stream that reads `text` with a read error after its first `fail_at`
/// bytes: the read that reaches that point delivers them and fails, and a
/// later read goes on with the rest, as a pipe whose error passed would.
/// By default it never fails. Every read after one that reported the end
/// fails, as the end is final, and is counted in `*reads_after_end` if given.
std::FILE* input_from(const std::string& text,
                      std::size_t fail_at = std::numeric_limits<std::size_t>::max(),
                      int* reads_after_end = nullptr);
