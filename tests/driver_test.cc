#include "common/driver.h"

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
  char* data = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&data, &size);
  convert_status status = convert(c, in, out, path);
  std::fclose(in);
  std::fclose(out);
  conversion result{status, std::string(data, size)};
  std::free(data);
  return result;
}

const char track_file[] = "1\n2\n3\n4\n5\n6\n1.5,2.5,0,100\n";

TEST(convert, WholeDocument) {
  conversion r = run_convert(track_converter, input_from(track_file), "t.plt");
  EXPECT_EQ(r.status, convert_status::ok);
  EXPECT_EQ(r.document,
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n"
            "<Placemark>\n  <name>t.plt</name>\n  <visibility>1</visibility>\n"
            "  <open>1</open>\n  <LineString>\n    <coordinates>\n"
            "2.500000,1.500000,30.480000\n"
            "    </coordinates>\n  </LineString>\n</Placemark>\n</kml>\n");
}

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

TEST(convert, ReadFailureAfterTheHeaderLeavesTheDocumentOpen) {
  conversion r =
      run_convert(track_converter, input_from(track_file, sizeof track_file - 1), "t.plt");
  EXPECT_EQ(r.status, convert_status::read_error);
  EXPECT_EQ(r.document.find("</kml>"), std::string::npos);
}

TEST(convert, ReadFailureWithinTheHeader) {
  conversion r = run_convert(track_converter, input_from("1\n2\n", 4), "t.plt");
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
  std::string message;
};

#if GTEST_HAS_STREAM_REDIRECTION
finished run_convert_files(std::FILE* in, std::FILE* out) {
  testing::internal::CaptureStderr();
  int status = convert_files(track_converter, "pathtrove", in, "in.plt", out, "out.kml");
  return {status, testing::internal::GetCapturedStderr()};
}

TEST(convert_files, Failures) {
  finished read_failure = run_convert_files(input_from(track_file, sizeof track_file - 1),
                                            std::fopen("/dev/null", "w"));
  EXPECT_EQ(read_failure.status, 1);
  EXPECT_EQ(read_failure.message, "pathtrove: Error reading in.plt\n");
  finished write_failure = run_convert_files(input_from(track_file), failing_output());
  EXPECT_EQ(write_failure.status, 1);
  EXPECT_EQ(write_failure.message, "pathtrove: Error writing out.kml\n");
  finished ok = run_convert_files(input_from(track_file), std::fopen("/dev/null", "w"));
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.message, "");
}
#else
TEST(convert_files, Failures) {
  GTEST_SKIP() << "standard error cannot be captured here (WASI has no dup())";
}
#endif

}  // namespace
