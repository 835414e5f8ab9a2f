#pragma once

#include <cstdio>
#include <string_view>

#include "common/output.h"

/// What one converter brings to the shared driver.
struct converter {
  /// The usage line, with one "%s" standing for the program path.
  const char* usage;
  /// Lines at the top of the input that are skipped unread.
  int header_lines;
  /// Writes the document's opening; `input_path` is its name.
  void (*open)(output& out, std::string_view input_path);
  /// Writes what one input line after the header stands for.
  void (*record)(output& out, std::string_view line);
  /// Writes the document's closing text, `</kml>` included.
  void (*close)(output& out);
};

enum class convert_status { ok, read_error, write_error };

/// Converts the whole of `in` to a document on `out` and flushes it. Nothing
/// is written when the input ends or a read fails within its header
/// (`read_error`); after a read failure further on, the document up to its
/// last whole record is (`read_error`, no closing text). Its buffers are
/// shared by every call: one conversion at a time.
convert_status convert(const converter& c, std::FILE* in, std::FILE* out,
                       std::string_view input_path);

/// The end of a run whose files are open: converts `in` to `out`, closes
/// both, whatever happened, and reports a failure on standard error as
/// "PROGRAM: Error reading INPUT" or "PROGRAM: Error writing OUTPUT". Gives
/// the exit status.
int convert_files(const converter& c, const char* program, std::FILE* in, const char* input_path,
                  std::FILE* out, const char* output_name);

/// The whole program around `convert`: arguments, opening the files, the
/// messages on standard error and the exit status.
int run(const converter& c, int argc, char** argv);

#ifdef _WIN32
/// `run` for the UTF-16 arguments of a wide `wmain`: they are turned into
/// UTF-8 once, so paths keep every character whatever the code page.
int run(const converter& c, int argc, wchar_t** argv);
#endif
