#include "common/driver.h"

#include <string>
#include <vector>

#include "common/kml_text.h"
#include "common/line_reader.h"
#include "common/same_file.h"
#include "common/system.h"

#ifdef _WIN32
// The Windows command shell hands wildcards to the program unexpanded; this
// asks the C runtime's start-up code to expand them, as a POSIX shell would;
// the wide start-up code behind `wmain` expands them to wide names as well.
// Every program links this file for `run`, so the setting comes along.
extern "C" {
int _dowildcard = -1;
}
#endif

namespace {

bool skip_header(line_reader& reader, int lines) {
  std::string_view line;
  for (int i = 0; i < lines; ++i)
    if (read_line(reader, line) != read_status::line)
      return false;
  return true;
}

/// Hands every remaining line to the converter; false on a read failure.
/// Reading a line is compiled into the loop: it runs once a line.
[[gnu::flatten]] bool convert_records(const converter& c, line_reader& reader, output& out) {
  std::string_view line;
  read_status status = read_status::end;
  // A failed write loses the document, so there is no point reading on.
  while (!out.failed && (status = read_line(reader, line)) == read_status::line)
    c.record(out, line);
  return out.failed || status == read_status::end;
}

/// Whether `path` ends in ".wpt" or ".plt", in any letter case: the name of
/// a waypoint or track file. With two such files given, as a wildcard that
/// matches exactly two of them does, the second would otherwise be replaced
/// by the first one's document.
bool names_position_file(std::string_view path) {
#ifdef _WIN32
  // Windows drops dots and blanks at the end of a name: "b.wpt." is b.wpt.
  while (!path.empty() && (path.back() == '.' || path.back() == ' '))
    path.remove_suffix(1);
#endif
  if (path.size() < 4)
    return false;
  std::string_view extension(path.data() + path.size() - 4, 4);
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  char text[4];
  for (std::size_t i = 0; i < 4; ++i)
    text[i] = lower(extension[i]);
  std::string_view folded(text, 4);
  return folded == ".wpt" || folded == ".plt";
}

int fail(const char* program, const char* what, const char* path) {
  put_message({program, ": ", what, " ", path, "\n"});
  return 1;
}

/// Writes the usage line with the program path in its "%s" slot.
void put_usage(std::string_view usage, std::string_view program) {
  std::size_t slot = usage.find("%s");
  std::string_view after = usage;
  after.remove_prefix(slot + 2);
  put_message({std::string_view(usage.data(), slot), program, after});
}

// The input block and the output buffer, over 300 KiB together: too much for
// the stack of a thread with a small one, so they live for the whole run.
line_reader reader{nullptr};
output document{nullptr};

}  // namespace

convert_status convert(const converter& c, std::FILE* in, std::FILE* out,
                       std::string_view input_path) {
  reset(reader, in);
  reset(document, out);
  if (!skip_header(reader, c.header_lines))
    return convert_status::read_error;
  put_prologue(document);
  c.open(document, input_path);
  if (!convert_records(c, reader, document)) {
    // What was converted before the failure is written all the same: the
    // document up to its last whole record, without the closing text.
    flush(document);
    return convert_status::read_error;
  }
  c.close(document);
  return flush(document) ? convert_status::ok : convert_status::write_error;
}

int convert_files(const converter& c, const char* program, std::FILE* in, const char* input_path,
                  std::FILE* out, const char* output_name) {
  convert_status status = convert(c, in, out, input_path);
  std::fclose(in);
  // Closing flushes what the stream still holds, so it can fail too.
  if (std::fclose(out) != 0 && status == convert_status::ok)
    status = convert_status::write_error;
  switch (status) {
    case convert_status::read_error:
      return fail(program, "Error reading", input_path);
    case convert_status::write_error:
      return fail(program, "Error writing", output_name);
    case convert_status::ok:
      break;
  }
  return 0;
}

int run(const converter& c, int argc, char** argv) {
  const char* program = argc > 0 ? argv[0] : "";
  if (argc < 2) {
    put_usage(c.usage, program);
    return 1;
  }
  const char* input_path = argv[1];
  std::FILE* in = open_input(input_path);
  if (!in)
    return fail(program, "Error opening", input_path);

  // With exactly one further argument the document goes to that file; with
  // none, or with more than one, to standard output.
  std::FILE* out = stdout;
  const char* output_name = "standard output";
  if (argc == 3) {
    output_name = argv[2];
    // Opening the input's own file for writing would truncate it unread, and
    // a document is never written over a waypoint or track file.
    if (names_position_file(output_name) || same_file(in, output_name) ||
        !(out = open_output(output_name)))
      return fail(program, "Error creating", output_name);
  } else if (same_file(in, stdout)) {
    // "PROGRAM in.wpt >> in.wpt" would append the document to its input and
    // then read it back as records, growing the file until the disk is full.
    return fail(program, "Error creating", output_name);
  }

  return convert_files(c, program, in, input_path, out, output_name);
}

#ifdef _WIN32
int run(const converter& c, int argc, wchar_t** argv) {
  // Converted once, here: from now on every path is opened, compared and
  // written into the document in UTF-8, whatever the system's code page.
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(to_utf8(argv[i]));
  std::vector<char*> words;
  for (std::string& argument : arguments)
    words.push_back(argument.data());
  words.push_back(nullptr);
  return run(c, argc, words.data());
}
#endif
