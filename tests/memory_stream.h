#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/output.h"

/// An `output` whose text is collected in memory.
struct captured_output {
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* file = open_memstream(&data, &size);
  output out{file};

  /// Everything written so far.
  std::string text() {
    flush(out);
    return std::string(data, size);
  }
  ~captured_output() {
    std::fclose(file);
    std::free(data);
  }
};

/// A stream that reads a copy of `text` and then meets its end or, with
/// `fail_at_end`, a read error instead.
inline std::FILE* input_from(const std::string& text, bool fail_at_end = false) {
  struct source {
    std::string text;
    bool fail_at_end;
    std::size_t at = 0;
  };
  cookie_io_functions_t io = {};
  io.read = [](void* cookie, char* buffer, std::size_t size) -> ssize_t {
    auto* s = static_cast<source*>(cookie);
    if (s->at == s->text.size())
      return s->fail_at_end ? -1 : 0;
    std::size_t n = std::min(size, s->text.size() - s->at);
    s->text.copy(buffer, n, s->at);
    s->at += n;
    return static_cast<ssize_t>(n);
  };
  io.close = [](void* cookie) {
    delete static_cast<source*>(cookie);
    return 0;
  };
  return fopencookie(new source{text, fail_at_end}, "r", io);
}
