// End-to-end tests: each case runs the built program the way a user does and
// checks its whole output, its whole message, its exit status and the files
// it leaves behind. Every case runs for both programs.
//
// Built with RUNNER, the words that start an emulator, every program starts
// through it. Built with WINDOWS_PROGRAMS as well, the same cases run the
// Windows .exe files under wine: there text streams end lines with CRLF, and
// the few things that differ on Windows are expected or skipped case by case.
// Built with WASI_PROGRAMS, they run the WebAssembly programs under Node's
// WASI, where only the working folder exists and a closed pipe is a write
// error, as on Windows.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <fstream>
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
  const char* name;  // what the program is started as: its messages show it
  const char* binary;
  const char* input;  // an input file name of the program's own kind
  int header_lines;
  const char* usage;          // after "Usage: " and the program's name
  const char* example;        // bundled example, relative to the source tree
  const char* golden;         // its document
  const char* word;           // in the example's first record: a name, or a field not read
  const char* other_example;  // one in other writers' layout, CRLF, or null
  const char* other_golden;
  std::string (*empty_document)(const std::string& path);
};

// Names the program in test listings instead of dumping its bytes.
void PrintTo(const program& p, std::ostream* os) {
  *os << p.name;
}

const char prologue[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n";

std::string empty_waypoint_document(const std::string& path) {
  return prologue + ("<Document>\n<Folder>\n<name>" + path +
                     "</name>\n<open>1</open>\n</Folder>\n</Document>\n</kml>\n");
}

std::string empty_track_document(const std::string& path) {
  return prologue + ("<Placemark>\n  <name>" + path +
                     "</name>\n  <visibility>1</visibility>\n  <open>1</open>\n"
                     "  <LineString>\n    <coordinates>\n    </coordinates>\n"
                     "  </LineString>\n</Placemark>\n</kml>\n");
}

const program pintrove = {"pintrove",
                          PINTROVE_BINARY,
                          "in.wpt",
                          4,
                          " file.wpt [file.kml]\n",
                          "examples/alps.wpt",
                          "tests/golden/alps.kml",
                          "Trailhead",
                          "examples/huts.wpt",
                          "tests/golden/huts.kml",
                          empty_waypoint_document};
const program pathtrove = {
    "pathtrove",          PATHTROVE_BINARY,         "in.plt",    6,       " file.plt [file.kml]\n",
    "examples/ridge.plt", "tests/golden/ridge.kml", "12-Apr-26", nullptr, nullptr,
    empty_track_document};

struct outcome {
  int status;  // the exit status, or 128 plus the signal that ended the run
  std::string out;
  std::string err;
};

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

/// How the program's standard output is opened when it goes to a file.
enum class stdout_mode { truncate, append, closed_pipe };

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

  /// Runs the program in the test's folder with `args`. Standard output goes
  /// to `stdout_path` when given, opened as `mode` says, else is captured; or
  /// it is a pipe whose reading end is already closed.
  outcome run(const std::vector<std::string>& args, const std::string& stdout_path = "",
              stdout_mode mode = stdout_mode::truncate) {
    const program& p = GetParam();
    // Through a runner the program's path is an argument of the runner.
    std::vector<std::string> command(runner.begin(), runner.end());
    command.push_back(runner.empty() ? p.name : p.binary);
    command.insert(command.end(), args.begin(), args.end());
    // A runner is looked up in PATH; a program is named by its path.
    return start(runner.empty() ? p.binary : runner[0], command, stdout_path, mode);
  }

  /// Runs `file` with the words `command`, its name first, in the test's
  /// folder, with `input` on standard input; the rest as for `run`.
  outcome start(const std::string& file, const std::vector<std::string>& command,
                const std::string& stdout_path = "", stdout_mode mode = stdout_mode::truncate,
                const std::string& input = "") {
    bool closed_pipe = mode == stdout_mode::closed_pipe;
    fs::path in_file = dir / ".stdin", out_file = dir / ".stdout", err_file = dir / ".stderr";
    write_file(in_file, input);
    int pipe_ends[2] = {-1, -1};
    if (closed_pipe) {
      if (pipe(pipe_ends) != 0)
        return {-1, "", "pipe failed"};
      close(pipe_ends[0]);  // before the program starts, so its first write finds no reader
    }
    pid_t child = fork();
    if (child == 0) {
      chdir(dir.c_str());
      std::string out_path = stdout_path.empty() ? out_file.string() : stdout_path;
      int flags = O_WRONLY | O_CREAT | (mode == stdout_mode::append ? O_APPEND : O_TRUNC);
      int out = closed_pipe ? pipe_ends[1] : open(out_path.c_str(), flags, 0644);
      int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(open(in_file.c_str(), O_RDONLY), 0);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> argv;
      for (const std::string& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(nullptr);
      signal(SIGPIPE, SIG_DFL);
      execvp(file.c_str(), argv.data());
      _exit(127);
    }
    if (closed_pipe)
      close(pipe_ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::string out = stdout_path.empty() && !closed_pipe ? read_file(out_file) : "";
    return {code, out, read_file(err_file)};
  }

  /// An input of the program's kind: its header, then `records`.
  std::string make_input(const std::string& records = "", const std::string& name = "") {
    std::string path = name.empty() ? GetParam().input : name;
    write_file(dir / path, header(GetParam().header_lines) + records);
    return path;
  }

  /// A message on standard error as the program writes it.
  std::string message(const std::string& what) {
    return text_stream(program_name(GetParam()) + ": " + what + "\n");
  }

  /// A document without records as the program writes it.
  std::string empty_document(const std::string& path) {
    return text_stream(GetParam().empty_document(path));
  }

  fs::path dir;
};

TEST_P(cli_test, NoArgumentPrintsUsage) {
  outcome r = run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, text_stream("Usage: " + program_name(GetParam()) + GetParam().usage));
  EXPECT_EQ(r.out, "");
}

TEST_P(cli_test, MissingInputCreatesNoOutput) {
  // The message shows the path in UTF-8 whatever characters it holds.
  for (std::string missing : {"missing.x", "fehlt ü 東京.x"}) {
    outcome r = run({missing, "out.kml"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, message("Error opening " + missing));
    EXPECT_FALSE(fs::exists(dir / "out.kml"));
  }
}

TEST_P(cli_test, ExactlyTheHeaderGivesAnEmptyDocument) {
  std::string in = make_input();
  outcome r = run({in});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, empty_document(in));
}

TEST_P(cli_test, ShorterThanTheHeaderLeavesAnEmptyOutputFile) {
  write_file(dir / "short.x", header(GetParam().header_lines - 1));
  outcome r = run({"short.x", "out.kml"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, message("Error reading short.x"));
  ASSERT_TRUE(fs::exists(dir / "out.kml"));
  EXPECT_EQ(read_file(dir / "out.kml"), "");
}

TEST_P(cli_test, DirectoryAsInputIsAnError) {
  fs::create_directory(dir / "folder");
  outcome r = run({"folder"});
  EXPECT_EQ(r.status, 1);
  // The Windows C runtime refuses to open a directory at all; elsewhere it
  // opens, and the first read fails.
  EXPECT_EQ(r.err, message(windows ? "Error opening folder" : "Error reading folder"));
  EXPECT_EQ(r.out, "");
}

TEST_P(cli_test, ThreeArgumentsWriteToStandardOutputAndTouchNoFile) {
  std::string in = make_input();
  write_file(dir / "second.kml", "keep me\n");
  outcome r = run({in, "second.kml", "third.kml"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, empty_document(in));
  EXPECT_EQ(read_file(dir / "second.kml"), "keep me\n");
  EXPECT_FALSE(fs::exists(dir / "third.kml"));
}

TEST_P(cli_test, OutputThatCannotBeCreated) {
  std::string in = make_input();
  fs::create_directory(dir / "folder");
  for (std::string target : {"no/such/folder/out.kml", "folder"}) {
    outcome r = run({in, target});
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, message("Error creating " + target));
    EXPECT_EQ(r.out, "");
  }
}

TEST_P(cli_test, OutputNamingTheInputLeavesItUntouched) {
  std::string in = make_input("1,A, 1.0, 2.0,3.0, 0, 1, 3, 0, 65535,,0,0,0, 10\n");
  std::string before = read_file(dir / in);
  fs::create_hard_link(dir / in, dir / "hard.kml");
  std::vector<std::string> targets{in, "hard.kml"};
  if (windows) {
    // Names are compared without regard to case, and a backslash separates.
    targets.insert(targets.end(), {upper_case(in), ".\\" + in});
  } else {
    // Symbolic links are a POSIX matter: on Windows making one takes rights.
    fs::create_symlink(in, dir / "link.kml");
    targets.insert(targets.end(), {"./" + in, "link.kml"});
  }
  for (const std::string& target : targets) {
    outcome r = run({in, target});
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, message("Error creating " + target));
    EXPECT_EQ(read_file(dir / in), before) << target;
  }
  // Standard output appended to the input, by its name or a link: the
  // document would be read back as records and grow the file without end.
  for (const std::string& target : {in, std::string("hard.kml")}) {
    outcome r = run({in}, (dir / target).string(), stdout_mode::append);
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, message("Error creating standard output"));
    EXPECT_EQ(read_file(dir / in), before) << target;
  }
}

TEST_P(cli_test, WaypointAndTrackFilesAreNeverOverwritten) {
  std::string in = make_input();
  write_file(dir / "b.wpt", "keep me\n");
  write_file(dir / "x.PLT", "keep me too\n");
  // Each target, and the file it names: Windows drops dots and blanks at the
  // end of a name.
  std::vector<std::pair<std::string, std::string>> targets{{"b.wpt", "b.wpt"},
                                                           {"x.PLT", "x.PLT"},
                                                           {"New.Wpt", "New.Wpt"},
                                                           {"new.plt", "new.plt"},
                                                           {".wpt", ".wpt"}};
  if (windows)
    targets.push_back({"b.wpt. ", "b.wpt"});
  // Existing files stay as they were; a missing one is not created.
  for (const auto& [target, file] : targets) {
    bool existed = fs::exists(dir / file);
    std::string before = existed ? read_file(dir / file) : "";
    outcome r = run({in, target});
    EXPECT_EQ(r.status, 1) << target;
    EXPECT_EQ(r.err, message("Error creating " + target));
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(fs::exists(dir / file), existed) << target;
    if (existed) {
      EXPECT_EQ(read_file(dir / file), before) << target;
    }
  }
}

TEST_P(cli_test, AnotherExistingOutputIsReplaced) {
  std::string in = make_input();
  write_file(dir / "other.kml", std::string(5000, 'x'));
  outcome r = run({in, "other.kml"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(read_file(dir / "other.kml"), empty_document(in));
}

TEST_P(cli_test, DevicesAreNotTakenForTheInput) {
  if (wasi)
    GTEST_SKIP() << "a WASI program sees the working folder only: no device has a name";
  std::string in = make_input();
  outcome r = run({in, windows ? "NUL" : "/dev/null"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
}

TEST_P(cli_test, FullDiskIsAWriteError) {
  if (windows)
    GTEST_SKIP() << "Windows has no device that is always full to name as the output";
  if (wasi)
    GTEST_SKIP() << "a WASI program sees the working folder only: /dev/full has no name";
  std::string in = make_input();
  outcome r = run({in, "/dev/full"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, message("Error writing /dev/full"));
}

TEST_P(cli_test, FullStandardOutputIsAWriteError) {
  std::string in = make_input();
  outcome r = run({in}, "/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, message("Error writing standard output"));
}

TEST_P(cli_test, BrokenPipeEndsTheRun) {
  std::string in = make_input();
  outcome r = run({in}, "", stdout_mode::closed_pipe);
  if (windows || wasi) {
    // No signal there: the write fails like any other.
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, message("Error writing standard output"));
  } else {
    EXPECT_EQ(r.status, 128 + SIGPIPE);
    EXPECT_EQ(r.err, "");
  }
}

TEST_P(cli_test, WildcardsAreExpandedOnlyOnWindows) {
  std::string extension = fs::path(GetParam().input).extension().string();
  std::vector<std::string> names{"a" + extension, "b" + extension, "c" + extension};
  for (const std::string& name : names)
    make_input("", name);
  std::string before = read_file(dir / names[0]);
  std::string pattern = "*" + extension;
  outcome r = run({pattern});
  if (windows) {
    // Three names make three arguments: the first is converted to standard
    // output and the others are left alone. Their order is the directory's.
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == empty_document(names[0]) || r.out == empty_document(names[1]) ||
                r.out == empty_document(names[2]))
        << r.out;
  } else {
    // Elsewhere expanding them is the shell's work.
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, message("Error opening " + pattern));
  }
  for (const std::string& name : names)
    EXPECT_EQ(read_file(dir / name), before) << name;
  // A pattern that matches nothing stays as it is, on every system.
  outcome none = run({"none" + pattern});
  EXPECT_EQ(none.status, 1);
  EXPECT_EQ(none.err, message("Error opening none" + pattern));
  // Names beyond the system's code page are expanded with every character.
  std::string in = make_input("", "Zürich 東京" + extension);
  outcome unicode = run({"Z" + pattern});
  if (windows) {
    EXPECT_EQ(unicode.status, 0);
    EXPECT_EQ(unicode.out, empty_document(in));
  } else {
    EXPECT_EQ(unicode.err, message("Error opening Z" + pattern));
  }
}

TEST_P(cli_test, LongHeaderLineCountsOnce) {
  std::string long_line(2000, 'h');
  write_file(dir / "long.x", long_line + "\n" + header(GetParam().header_lines - 1));
  outcome r = run({"long.x"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, empty_document("long.x"));
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

TEST_P(cli_test, PathIsTheNameWithDirectoriesAndEscapes) {
  std::string extension = fs::path(GetParam().input).extension().string();
  fs::create_directory(dir / "Tom&Jerry");
  // Names beyond the system's code page open, for input and for output, and
  // the document shows them in UTF-8.
  std::string output = "Ausgabe ü.kml";
  for (auto [path, name] : {std::pair{"Tom&Jerry/in" + extension, "Tom&amp;Jerry/in" + extension},
                            std::pair{"Zürich 東京" + extension, "Zürich 東京" + extension}}) {
    std::string in = make_input("", path);
    outcome r = run({in, output});
    EXPECT_EQ(r.status, 0) << in;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(read_file(dir / output), empty_document(name));
  }
}

TEST_P(cli_test, FilesDroppedOntoConvertCmdBecomeDocumentsBesideThem) {
  if (!windows)
    GTEST_SKIP() << "convert.cmd is a Windows command script";
  const program& p = GetParam();
  // The script sits beside the programs and runs in cmd, the shell of a drop.
  std::string convert = wine_path(fs::path(p.binary).parent_path() / "convert.cmd");
  auto drop = [&](const std::vector<std::string>& names, const std::string& key) {
    std::vector<std::string> command(runner.begin(), runner.end());
    command.insert(command.end(), {"cmd", "/c", convert});
    command.insert(command.end(), names.begin(), names.end());
    return start(runner[0], command, "", stdout_mode::truncate, key);
  };
  // The extension in any letter case; names that cmd would split or parse.
  std::string extension = fs::path(p.input).extension().string();
  std::string upper = upper_case(extension);
  std::string mixed = extension.substr(0, 1) + upper[1] + extension.substr(2);
  std::vector<std::string> names{"a" + extension, "B c" + upper, "Trip (2)" + mixed,
                                 "^ !(x) & y;z,w" + extension};
  for (const std::string& name : names)
    make_input("", name);
  // A waypoint and a track file of the same name, in any letter case, would
  // get the same document: each is named after its whole name instead.
  bool waypoints = extension == ".wpt";
  std::string twin = waypoints ? "TRIP.plt" : "TRIP.wpt";
  write_file(dir / twin, header(waypoints ? 6 : 4));
  std::string trip = make_input("", "trip" + extension);
  std::vector<std::string> dropped = names;
  dropped.insert(dropped.end(), {trip, twin});
  outcome converted = drop(dropped, "");
  EXPECT_EQ(converted.status, 0);
  EXPECT_EQ(converted.err, "");
  EXPECT_EQ(converted.out.find("Press any key"), std::string::npos) << converted.out;
  for (const std::string& name : names)
    EXPECT_EQ(read_file(dir / fs::path(name).replace_extension(".kml")),
              empty_document(replace_first(name, "&", "&amp;")));
  EXPECT_EQ(read_file(dir / (trip + ".kml")), empty_document(trip));
  EXPECT_TRUE(fs::exists(dir / (twin + ".kml")));
  EXPECT_FALSE(fs::exists(dir / "trip.kml"));
  // Anything else, or a failed conversion, is reported, and then the window
  // waits for a key.
  write_file(dir / "notes.txt", "");
  write_file(dir / ("short" + extension), "");
  outcome failed = drop({"notes.txt", "short" + extension, names[0]}, "x");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.err, message("Error reading short" + extension));
  EXPECT_NE(failed.out.find("\"notes.txt\" is not a waypoint"), std::string::npos) << failed.out;
  EXPECT_NE(failed.out.find("Press any key"), std::string::npos) << failed.out;
}

INSTANTIATE_TEST_SUITE_P(Both, cli_test, testing::Values(pintrove, pathtrove),
                         [](const testing::TestParamInfo<program>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
