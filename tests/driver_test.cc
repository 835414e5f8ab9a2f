#include "common/driver.h"

#include <limits>
#include <optional>
#include <string>

#include "gtest/gtest.h"
#include "pathtrove/track.h"
#include "pintrove/waypoint.h"
#include "tests/reference.h"

namespace {

/// A stream on which every write fails.
std::FILE* failing_output() {
  cookie_io_functions_t io = {};
  io.write = [](void*, const char*, std::size_t) -> ssize_t { return -1; };
  return fopencookie(nullptr, "w", io);
}

struct conversion {
  convert_status status;
  std::string document;
};

conversion run_convert(const converter& c, std::FILE* in, const std::string& path) {
  memory_stream out;
  convert_status status = convert(c, in, out.file, path);
  std::fclose(in);
  return {status, out.text()};
}

const char track_file[] = "1\n2\n3\n4\n5\n6\n1.5,2.5,0,100\n";

TEST(convert, EveryRunStartsFromZero) {
  const std::string wpt = "1\n2\n3\n4\n1,Hut, 46.5, 10.5\n";
  run_convert(waypoint_converter, input_from(wpt), "a.wpt");
  conversion second = run_convert(waypoint_converter, input_from("1\n2\n3\n4\n\n"), "b.wpt");
  EXPECT_NE(second.document.find("<name></name>"), std::string::npos);
  EXPECT_NE(second.document.find("<coordinates>0.000000,0.000000,0.000000<"), std::string::npos);
}

TEST(convert, ShortHeaderWritesNothing) {
  conversion r = run_convert(track_converter, input_from("1\n2\n3\n4\n5\n"), "t.plt");
  EXPECT_EQ(r.status, convert_status::read_error);
  EXPECT_EQ(r.document, "");
}

TEST(convert, WriteFailure) {
  // A small document fails when it is flushed, a large one while it is written.
  std::string large = "1\n2\n3\n4\n5\n6\n";
  for (int i = 0; i < 100000; ++i)
    large += "1.5,2.5,0,100\n";
  for (const std::string& input : {std::string(track_file), large}) {
    std::FILE* in = input_from(input);
    std::FILE* out = failing_output();
    EXPECT_EQ(convert(track_converter, in, out, "t.plt"), convert_status::write_error);
    std::fclose(in);
    std::fclose(out);
  }
}

struct finished {
  int status;
  std::string message;  // empty where standard error cannot be captured
  std::string document;
};

/// `convert_files` from `in` to `out`, or to a memory stream, named out.kml.
finished run_convert_files(std::FILE* in, std::FILE* out = nullptr) {
  memory_stream memory;
#if GTEST_HAS_STREAM_REDIRECTION  // WASI has no dup() to capture a stream with
  testing::internal::CaptureStderr();
#endif
  int status = convert_files(track_converter, "pathtrove", in, "in.plt",
                             out ? out : memory.hand_over(), "out.kml");
#if GTEST_HAS_STREAM_REDIRECTION
  return {status, testing::internal::GetCapturedStderr(), memory.text()};
#else
  return {status, "", memory.text()};
#endif
}

/// What a read failure after the first `fail_at` bytes of `input` leaves:
/// the document of its whole lines before the failure, without the closing.
std::string converted_before(const std::string& input, std::size_t fail_at) {
  std::string whole_lines = input.substr(0, input.rfind('\n', fail_at - 1) + 1);
  std::string document = run_convert(track_converter, input_from(whole_lines), "in.plt").document;
  captured_output closing;
  track_converter.close(closing.out);
  return document.substr(0, document.size() - (document.empty() ? 0 : closing.text().size()));
}

TEST(convert_files, ReadFailures) {
  std::string large = "1\n2\n3\n4\n5\n6\n";  // a document of 560 kB, over the output buffer
  for (int i = 0; i < 20000; ++i)
    large += "1.5,2.5,0,100\n";
  constexpr std::size_t never = std::numeric_limits<std::size_t>::max();
  struct {
    const char* what;
    std::string input;
    std::size_t fail_at;
  } const cases[] = {
      {"within the header", "1\n2\n", 4},
      {"in the record loop, a small document", track_file, sizeof track_file - 1},
      {"in the record loop, a document over the output buffer", large, large.size()},
      // A read that delivers some bytes and fails ends the reading there.
      {"in the header, records after it", large, 5},
      {"in a record of a later block, records after it", large, 100'005},
      // No read may come after the end: the stream fails them, and on a
      // terminal a record is typed after it.
      {"none, the last line without a line feed", "1\n2\n3\n4\n5\n6\n1.5,2.5,0,100", never},
  };
  for (const auto& c : cases) {
    int reads_after_end = 0;
    bool fails = c.fail_at != never;
    std::optional<typed_terminal> terminal;
    if (!fails)  // a Ctrl-D sends the last line, the next one ends the input
      terminal.emplace(c.input + "\x04\x04" + "3.5,4.5,0,999\n\x04\x04\x04\x04");
    std::FILE* in = terminal ? terminal->file : nullptr;
    finished r = run_convert_files(in ? in : input_from(c.input, c.fail_at, &reads_after_end));
    EXPECT_EQ(r.status, fails ? 1 : 0) << c.what;
    EXPECT_EQ(reads_after_end, 0) << c.what;
    if (GTEST_HAS_STREAM_REDIRECTION) {
      EXPECT_EQ(r.message, fails ? "pathtrove: Error reading in.plt\n" : "") << c.what;
    }
    std::string expected =
        fails ? converted_before(c.input, c.fail_at)
              : run_convert(track_converter, input_from(c.input), "in.plt").document;
    EXPECT_TRUE(r.document == expected)
        << c.what << ": " << r.document.size() << " bytes, not " << expected.size();
  }
}

TEST(convert_files, WriteFailureAndSuccess) {
  finished write_failure = run_convert_files(input_from(track_file), failing_output());
  EXPECT_EQ(write_failure.status, 1);
  finished ok = run_convert_files(input_from(track_file));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.document, run_convert(track_converter, input_from(track_file), "in.plt").document);
  if (GTEST_HAS_STREAM_REDIRECTION) {
    EXPECT_EQ(write_failure.message, "pathtrove: Error writing out.kml\n");
    EXPECT_EQ(ok.message, "");
  }
}

}  // namespace
