#pragma once

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

/// A stream that reads a copy of `text`.
inline std::FILE* input_from(const std::string& text) {
  std::FILE* file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  return file;
}
