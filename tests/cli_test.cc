// End-to-end tests: each case runs the built program the way a user does and
// checks its whole output, its whole message, its exit status and the files
// it leaves behind. Every case runs for both programs.
//
// Built with RUNNER, the words that start an emulator, every program starts
// through it. Built with WINDOWS_PROGRAMS as well, the same cases run the
// Windows .exe files under wine: there text streams end lines with CRLF, and
// the few things that differ on Windows are part of each case's data. Built
// with WASI_PROGRAMS, they run the WebAssembly programs under Node's WASI,
// where only the working folder exists and a closed pipe is a write error,
// as on Windows.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace fs = std::filesystem;

namespace {

#ifdef WINDOWS_PROGRAMS
constexpr bool windows = true;
#else
constexpr bool windows = false;
#endif
#ifdef WASI_PROGRAMS
constexpr bool wasi = true;
#else
constexpr bool wasi = false;
#endif
#ifdef RUNNER
const std::vector<const char*> runner{RUNNER};
#else
const std::vector<const char*> runner;
#endif

struct program {
  const char* name;       // what the program is started as: its messages show it
  const char* binary;     // its path
  const char* extension;  // of the files it reads
  int header_lines;
  const char* example;         // bundled example, relative to the source tree
  const char* golden;          // its document
  const char* word;            // in the example's first record: a name, or a field not read
  const char* records_after;   // in a document, the text that its records follow
  const char* records_before;  // and the text they precede
  const char* other_example = nullptr;  // one in other writers' layout, CRLF
  const char* other_golden = nullptr;
};

// Names the program in test listings instead of dumping its bytes.
void PrintTo(const program& p, std::ostream* os) {
  *os << p.name;
}

const program pintrove = {.name = "pintrove",
                          .binary = PINTROVE_BINARY,
                          .extension = ".wpt",
                          .header_lines = 4,
                          .example = "examples/alps.wpt",
                          .golden = "tests/golden/alps.kml",
                          .word = "Trailhead",
                          .records_after = "<open>1</open>\n",
                          .records_before = "</Folder>",
                          .other_example = "examples/huts.wpt",
                          .other_golden = "tests/golden/huts.kml"};
const program pathtrove = {.name = "pathtrove",
                           .binary = PATHTROVE_BINARY,
                           .extension = ".plt",
                           .header_lines = 6,
                           .example = "examples/ridge.plt",
                           .golden = "tests/golden/ridge.kml",
                           .word = "12-Apr-26",
                           .records_after = "<coordinates>\n",
                           .records_before = "    </coordinates>"};

struct outcome {
  int status;  // the exit status, or 128 plus the signal that ended the run
  std::string out;
  std::string err;
};

/// Where the program's standard output goes.
enum class stdout_mode { captured, full_device, closed_pipe, appended };

/// `text` with each line feed preceded by a carriage return.
std::string crlf(const std::string& text) {
  std::string translated;
  for (char c : text) {
    if (c == '\n')
      translated += '\r';
    translated += c;
  }
  return translated;
}

/// What the program writes for `text` through a text stream, which on
/// Windows ends lines with CRLF.
std::string text_stream(const std::string& text) {
  return windows ? crlf(text) : text;
}

/// The path of the file at the absolute `path` under wine: a DOS path on the
/// drive that maps the root folder.
std::string wine_path(const std::string& path) {
  std::string dos = "Z:" + path;
  std::replace(dos.begin(), dos.end(), '/', '\\');
  return dos;
}

/// The program's first argument as the program itself sees it: the path
/// that a runner is given, which under wine is a DOS path.
std::string program_name(const program& p) {
  if (runner.empty())
    return p.name;
  return windows ? wine_path(p.binary) : p.binary;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

/// `text` with the first `word` in it replaced by `replacement`, if any.
std::string replace_first(std::string text, const std::string& word,
                          const std::string& replacement) {
  std::size_t at = text.find(word);
  if (at != std::string::npos)
    text.replace(at, word.size(), replacement);
  return text;
}

std::string upper_case(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  return text;
}

std::string header(int lines) {
  std::string text;
  for (int i = 1; i <= lines; ++i)
    text += "header line " + std::to_string(i) + "\n";
  return text;
}

/// In the started process, before it runs the program: ends it with status
/// 127, saying why, unless `done`.
void check(bool done, const char* what) {
  if (!done) {
    std::perror(what);
    _exit(127);
  }
}

class cli_test : public testing::TestWithParam<program> {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trove-cli-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    fs::remove_all(dir);
  }

  /// Runs the program in the test's folder with `args`, its standard output
  /// as `mode` says (appended to the file `appended_to`).
  outcome run(const std::vector<std::string>& args, stdout_mode mode = stdout_mode::captured,
              const std::string& appended_to = "") {
    const program& p = GetParam();
    // Through a runner the program's path is an argument of the runner.
    std::vector<std::string> command(runner.begin(), runner.end());
    command.push_back(runner.empty() ? p.name : p.binary);
    command.insert(command.end(), args.begin(), args.end());
    // A runner is looked up in PATH; a program is named by its path.
    return start(runner.empty() ? p.binary : runner[0], command, mode, appended_to);
  }

  /// Runs `file` with the words `command`, its name first, in the test's
  /// folder, with `input` on standard input; the rest as for `run`.
  outcome start(const std::string& file, const std::vector<std::string>& command,
                stdout_mode mode = stdout_mode::captured, const std::string& appended_to = "",
                const std::string& input = "") {
    fs::path in_file = dir / ".stdin", out_file = dir / ".stdout", err_file = dir / ".stderr";
    write_file(in_file, input);
    int pipe_ends[2] = {-1, -1};
    if (mode == stdout_mode::closed_pipe) {
      if (pipe(pipe_ends) != 0)
        return {-1, "", "pipe failed"};
      close(pipe_ends[0]);  // before the program starts, so its first write finds no reader
    }
    pid_t child = fork();
    if (child == 0) {
      check(chdir(dir.c_str()) == 0, "chdir");
      int out = pipe_ends[1];
      if (mode == stdout_mode::captured)
        out = open(out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      else if (mode == stdout_mode::full_device)
        out = open("/dev/full", O_WRONLY);
      else if (mode == stdout_mode::appended)
        out = open(appended_to.c_str(), O_WRONLY | O_APPEND);
      int in = open(in_file.c_str(), O_RDONLY);
      int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      check(out >= 0 && in >= 0 && err >= 0, "open");
      check(dup2(in, 0) == 0 && dup2(out, 1) == 1 && dup2(err, 2) == 2, "dup2");
      std::vector<char*> argv;
      for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(nullptr);
      signal(SIGPIPE, SIG_DFL);
      execvp(file.c_str(), argv.data());
      _exit(127);
    }
    if (mode == stdout_mode::closed_pipe)
      close(pipe_ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::string out = mode == stdout_mode::captured ? read_file(out_file) : "";
    return {code, out, read_file(err_file)};
  }

  /// Makes the file `name` in the test's folder, and the folders it is in,
  /// holding `text`; a name that ends in "/" is a folder.
  void make_file(const std::string& name, const std::string& text) {
    fs::create_directories((dir / name).parent_path());
    if (name.back() != '/')
      write_file(dir / name, text);
  }

  /// An input of the program's kind: its header, then `records`.
  std::string make_input(const std::string& name, const std::string& records = "") {
    make_file(name, header(GetParam().header_lines) + records);
    return name;
  }

  /// A message on standard error as the program writes it, but its line ends.
  std::string said(const std::string& what) {
    return program_name(GetParam()) + ": " + what + "\n";
  }

  /// The document without records that names its input `path`: the golden
  /// document with its records cut out.
  std::string empty_document(const std::string& path) {
    const program& p = GetParam();
    std::string document = read_file(fs::path(SOURCE_DIR) / p.golden);
    std::size_t from = document.find(p.records_after) + std::string(p.records_after).size();
    document.erase(from, document.rfind(p.records_before) - from);
    return replace_first(document, p.example, path);
  }

  fs::path dir;
};

/// A run and all that it leaves: texts as written on a POSIX system, which
/// are compared as the platform's text streams write them.
struct simple_case {
  const char* what;
  std::vector<std::string> arguments;
  // Made first, besides `in`: a name and its text; a name ending in "/" is
  // a folder.
  std::vector<std::pair<std::string, std::string>> files;
  int status;
  std::string message;  // on standard error
  // The document: in the file that the second of exactly two arguments
  // names, else on standard output; none for no such file. A file that was
  // made and is not the document keeps its text, and an argument that names
  // no file made names none after the run (but devices: absolute paths).
  std::optional<std::string> output;
  stdout_mode standard_output = stdout_mode::captured;
  bool runs = true;  // whether the case can run on this platform
};

TEST_P(cli_test, SimpleCases) {
  const program& p = GetParam();
  const std::string ext = p.extension, in = "in" + ext, keep = "keep me\n";
  const std::string header_only = header(p.header_lines), unicode = "Zürich 東京" + ext;
  const std::string usage = " file" + ext + " [file.kml]\n";
  const std::optional<std::string> none;
  const auto captured = stdout_mode::captured;
  const bool pipe_signal = !windows && !wasi;  // elsewhere the write fails
  // clang-format off
  const simple_case cases[] = {
      {"no argument", {}, {}, 1, "Usage: " + program_name(p) + usage, ""},
      {"a missing input", {"missing.x", "out.kml"}, {}, 1, said("Error opening missing.x"), none},
      // The message shows the path in UTF-8 whatever characters it holds.
      {"a missing input in Unicode", {"fehlt ü 東京.x"}, {}, 1, said("Error opening fehlt ü 東京.x"),
       ""},
      {"exactly the header", {in}, {}, 0, "", empty_document(in)},
      {"shorter than the header", {"short.x", "out.kml"}, {{"short.x", header(p.header_lines - 1)}},
       1, said("Error reading short.x"), ""},
      {"a long header line counts once", {"long.x"},
       {{"long.x", std::string(2000, 'h') + "\n" + header(p.header_lines - 1)}}, 0, "",
       empty_document("long.x")},
      // The Windows C runtime refuses to open a directory; elsewhere the first read fails.
      {"a folder as the input", {"folder"}, {{"folder/", ""}}, 1,
       said(windows ? "Error opening folder" : "Error reading folder"), ""},
      {"three arguments", {in, "second.kml", "third.kml"}, {{"second.kml", keep}}, 0, "",
       empty_document(in)},
      {"an output in a missing folder", {in, "no/such/folder/out.kml"}, {}, 1,
       said("Error creating no/such/folder/out.kml"), none},
      {"a folder as the output", {in, "folder"}, {{"folder/", ""}}, 1, said("Error creating folder"),
       none},
      {"another output is replaced", {in, "other.kml"}, {{"other.kml", std::string(5000, 'x')}}, 0,
       "", empty_document(in)},
      // Waypoint and track files are never overwritten, nor created.
      {"a waypoint file", {in, "b.wpt"}, {{"b.wpt", keep}}, 1, said("Error creating b.wpt"), none},
      {"a track file", {in, "x.PLT"}, {{"x.PLT", keep}}, 1, said("Error creating x.PLT"), none},
      {"a new waypoint file", {in, "New.Wpt"}, {}, 1, said("Error creating New.Wpt"), none},
      {"a new track file", {in, "new.plt"}, {}, 1, said("Error creating new.plt"), none},
      {"only an extension", {in, ".wpt"}, {}, 1, said("Error creating .wpt"), none},
      // Windows drops dots and blanks at the end of a name.
      {"a waypoint file with a dot and a blank", {in, "b.wpt. "}, {{"b.wpt", keep}}, 1,
       said("Error creating b.wpt. "), none, captured, windows},
      // A WASI program sees the working folder only: no device has a name.
      {"a device", {in, windows ? "NUL" : "/dev/null"}, {}, 0, "", none, captured, !wasi},
      // Windows has no device that is always full.
      {"a full device", {in, "/dev/full"}, {}, 1, said("Error writing /dev/full"), none, captured,
       !windows && !wasi},
      {"a full standard output", {in}, {}, 1, said("Error writing standard output"), "",
       stdout_mode::full_device},
      {"a broken pipe", {in}, {}, pipe_signal ? 128 + SIGPIPE : 1,
       pipe_signal ? "" : said("Error writing standard output"), "", stdout_mode::closed_pipe},
      {"folders and escapes in the path, the output in Unicode",
       {"Tom&Jerry/" + in, "Ausgabe ü.kml"}, {{"Tom&Jerry/" + in, header_only}}, 0, "",
       empty_document("Tom&amp;Jerry/" + in)},
      {"a path in Unicode", {unicode}, {{unicode, header_only}}, 0, "", empty_document(unicode)},
      // Wildcards are expanded on Windows only, with every character of a
      // name; elsewhere that is the shell's work.
      {"a wildcard", {"Z*" + ext}, {{unicode, header_only}}, windows ? 0 : 1,
       windows ? "" : said("Error opening Z*" + ext), windows ? empty_document(unicode) : ""},
      {"a wildcard that matches nothing", {"none*" + ext}, {}, 1, said("Error opening none*" + ext),
       ""},
  };
  // clang-format on
  for (const simple_case& c : cases) {
    if (!c.runs)
      continue;
    SCOPED_TRACE(c.what);
    for (const fs::directory_entry& entry : fs::directory_iterator(dir))
      fs::remove_all(entry.path());
    make_input(in);
    for (const auto& [name, text] : c.files)
      make_file(name, text);
    outcome r = run(c.arguments, c.standard_output);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, text_stream(c.message));
    std::string document = c.arguments.size() == 2 && c.output ? c.arguments[1] : "";
    EXPECT_EQ(r.out, document.empty() ? text_stream(c.output.value_or("")) : "");
    if (!document.empty()) {
      EXPECT_TRUE(fs::exists(dir / document));
      EXPECT_EQ(read_file(dir / document), text_stream(*c.output));
    }
    EXPECT_EQ(read_file(dir / in), header_only);
    for (const auto& [name, text] : c.files) {
      if (name != document) {
        EXPECT_EQ(read_file(dir / name), text) << name;
      }
    }
    for (std::size_t i = 1; i < c.arguments.size(); ++i) {
      const std::string& name = c.arguments[i];
      auto made = [&](const auto& file) { return file.first == name || file.first == name + "/"; };
      if (name != document && fs::path(name).is_relative() &&
          std::none_of(c.files.begin(), c.files.end(), made)) {
        EXPECT_FALSE(fs::exists(dir / name)) << name;
      }
    }
  }
}

TEST_P(cli_test, OutputNamingTheInputLeavesItUntouched) {
  std::string in = make_input("in" + std::string(GetParam().extension),
                              "1,A, 1.0, 2.0,3.0, 0, 1, 3, 0, 65535,,0,0,0, 10\n");
  std::string before = read_file(dir / in);
  fs::create_hard_link(dir / in, dir / "hard.kml");
  fs::create_symlink(in, dir / "link.kml");
  // On Windows names compare without regard to case, and a backslash
  // separates too.
  for (const std::string& target : {in, std::string("hard.kml"), std::string("link.kml"), "./" + in,
                                    windows ? upper_case(in) : in, windows ? ".\\" + in : in}) {
    outcome r = run({in, target});
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, text_stream(said("Error creating " + target)));
    EXPECT_EQ(read_file(dir / in), before) << target;
  }
  // Standard output appended to the input, by its name or a link: the
  // document would be read back as records and grow the file without end.
  for (const std::string& target : {in, std::string("hard.kml")}) {
    outcome r = run({in}, stdout_mode::appended, (dir / target).string());
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, text_stream(said("Error creating standard output")));
    EXPECT_EQ(read_file(dir / in), before) << target;
  }
}

TEST_P(cli_test, ExampleMatchesItsGoldenDocument) {
  const program& p = GetParam();
  // The example keeps its relative path, which the document shows.
  std::string example = read_file(fs::path(SOURCE_DIR) / p.example);
  std::string golden = text_stream(read_file(fs::path(SOURCE_DIR) / p.golden));
  ASSERT_FALSE(example.empty());
  ASSERT_FALSE(golden.empty());
  fs::create_directories((dir / p.example).parent_path());
  // A Ctrl-Z byte (0x1A) in a record is an ordinary byte, not the end of the
  // input: every record is converted, and a name shows the byte as U+FFFD.
  std::string word = p.word;
  std::string control_z = replace_first(example, word, word[0] + ("\x1A" + word.substr(1)));
  std::string golden_control_z =
      replace_first(golden, word, word[0] + ("\xEF\xBF\xBD" + word.substr(1)));
  struct variant {
    const char* what;
    std::string input, document;
  };
  // Line ends written as CRLF read as plain line feeds.
  for (const variant& v :
       {variant{"LF input", example, golden}, variant{"CRLF input", crlf(example), golden},
        variant{"CRLF input with Ctrl-Z", crlf(control_z), golden_control_z}}) {
    SCOPED_TRACE(v.what);
    write_file(dir / p.example, v.input);
    outcome printed = run({p.example});
    EXPECT_EQ(printed.status, 0);
    EXPECT_EQ(printed.out, v.document);
    outcome written = run({p.example, "out.kml"});
    EXPECT_EQ(written.status, 0);
    EXPECT_EQ(written.out, "");
    EXPECT_EQ(read_file(dir / "out.kml"), v.document);
  }
}

TEST_P(cli_test, OtherWritersExampleMatchesItsGoldenDocument) {
  const program& p = GetParam();
  if (!p.other_example)
    GTEST_SKIP() << "no example in another layout";
  fs::create_directories((dir / p.other_example).parent_path());
  fs::copy_file(fs::path(SOURCE_DIR) / p.other_example, dir / p.other_example);
  outcome r = run({p.other_example});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, text_stream(read_file(fs::path(SOURCE_DIR) / p.other_golden)));
}

// convert.cmd is a Windows command script.
#ifdef WINDOWS_PROGRAMS
TEST_P(cli_test, FilesDroppedOntoConvertCmdBecomeDocumentsBesideThem) {
  const program& p = GetParam();
  // The script sits beside the programs and runs in cmd, the shell of a drop.
  std::string convert = wine_path(fs::path(p.binary).parent_path() / "convert.cmd");
  auto drop = [&](const std::vector<std::string>& names, const std::string& key) {
    std::vector<std::string> command(runner.begin(), runner.end());
    command.insert(command.end(), {"cmd", "/c", convert});
    command.insert(command.end(), names.begin(), names.end());
    return start(runner[0], command, stdout_mode::captured, "", key);
  };
  // The extension in any letter case; names that cmd would split or parse.
  std::string extension = p.extension;
  std::string upper = upper_case(extension);
  std::string mixed = extension.substr(0, 1) + upper[1] + extension.substr(2);
  std::vector<std::string> names{"a" + extension, "B c" + upper, "Trip (2)" + mixed,
                                 "^ !(x) & y;z,w" + extension};
  for (const std::string& name : names)
    make_input(name);
  // A waypoint and a track file of the same name, in any letter case, would
  // get the same document: each is named after its whole name instead.
  bool waypoints = extension == ".wpt";
  std::string twin = waypoints ? "TRIP.plt" : "TRIP.wpt";
  write_file(dir / twin, header(waypoints ? 6 : 4));
  std::string trip = make_input("trip" + extension);
  std::vector<std::string> dropped = names;
  dropped.insert(dropped.end(), {trip, twin});
  outcome converted = drop(dropped, "");
  EXPECT_EQ(converted.status, 0);
  EXPECT_EQ(converted.err, "");
  EXPECT_EQ(converted.out.find("Press any key"), std::string::npos) << converted.out;
  for (const std::string& name : names)
    EXPECT_EQ(read_file(dir / fs::path(name).replace_extension(".kml")),
              text_stream(empty_document(replace_first(name, "&", "&amp;"))));
  EXPECT_EQ(read_file(dir / (trip + ".kml")), text_stream(empty_document(trip)));
  EXPECT_TRUE(fs::exists(dir / (twin + ".kml")));
  EXPECT_FALSE(fs::exists(dir / "trip.kml"));
  // Anything else, or a failed conversion, is reported, and then the window
  // waits for a key.
  write_file(dir / "notes.txt", "");
  write_file(dir / ("short" + extension), "");
  outcome failed = drop({"notes.txt", "short" + extension, names[0]}, "x");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, text_stream(said("Error reading short" + extension)));
  EXPECT_NE(failed.out.find("\"notes.txt\" is not a waypoint"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find("Press any key"), std::string::npos) << failed.out;
}
#endif

INSTANTIATE_TEST_SUITE_P(Both, cli_test, testing::Values(pintrove, pathtrove),
                         [](const testing::TestParamInfo<program>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
