// bench_baseline: both conversions written the plain stdio way, as the
// yardstick for pintrove and pathtrove: fgets into a 512-byte buffer, one
// sscanf per line and fprintf of the document's templates. It writes no XML
// escapes and takes a line longer than 511 bytes as several lines, so it
// agrees with the real programs only on inputs without such names or lines,
// like those of bench_generate.
//
//   bench_baseline wpt|plt INPUT [OUTPUT]

#include <cstdio>
#include <cstring>

namespace {

const char prologue[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n";

/// The binary32 value nearest to `feet` times 0.3048, the product being held
/// with a 64-bit significand.
float feet_to_metres(int feet) {
  return static_cast<float>(static_cast<long double>(feet) * 0.3048);
}

bool skip_header(std::FILE* in, char* line, int size, int count) {
  for (int i = 0; i < count; ++i)
    if (!std::fgets(line, size, in))
      return false;
  return true;
}

bool convert_waypoints(std::FILE* in, std::FILE* out, const char* path) {
  char line[512];
  if (!skip_header(in, line, sizeof line, 4))
    return false;
  std::fprintf(out, "%s", prologue);
  std::fprintf(out, "<Document>\n<Folder>\n<name>%s</name>\n<open>1</open>\n", path);
  int number = 0, field6 = 0, field7 = 0, field8 = 0, field9 = 0, field10 = 0;
  int field12 = 0, field13 = 0, field14 = 0, feet = 0;
  float latitude = 0, longitude = 0, field5 = 0;
  char name[56] = "";
  while (std::fgets(line, sizeof line, in)) {
    // The name token ends at white space, so it carries the comma after it.
    std::sscanf(line, "%d,%55s%f,%f,%f,%d,%d,%d,%d,%d,,%d,%d,%d,%d", &number, name, &latitude,
                &longitude, &field5, &field6, &field7, &field8, &field9, &field10, &field12,
                &field13, &field14, &feet);
    std::size_t length = std::strlen(name);
    if (length > 0)
      name[length - 1] = '\0';
    float metres = feet_to_metres(feet);
    std::fprintf(out, "<Placemark>\n  <name>%s</name>\n  <LookAt>\n", name);
    std::fprintf(out, "    <longitude>%f</longitude>\n", longitude);
    std::fprintf(out, "    <latitude>%f</latitude>\n", latitude);
    std::fprintf(out, "    <range>310.7391410215146</range>\n");
    std::fprintf(out, "    <tilt>-1.24365386906156e-010</tilt>\n");
    std::fprintf(out, "    <heading>-2.780221460109238e-014</heading>\n  </LookAt>\n");
    std::fprintf(out, "  <styleUrl>root://styleMaps#default+nicon=0x307+hicon=0x317</styleUrl>\n");
    std::fprintf(out, "  <Point>\n    <coordinates>%f,%f,%f</coordinates>\n", longitude, latitude,
                 metres);
    std::fprintf(out, "  </Point>\n</Placemark>\n");
  }
  std::fprintf(out, "</Folder>\n</Document>\n</kml>\n");
  return true;
}

bool convert_track(std::FILE* in, std::FILE* out, const char* path) {
  char line[512];
  if (!skip_header(in, line, sizeof line, 6))
    return false;
  std::fprintf(out, "%s", prologue);
  std::fprintf(out, "<Placemark>\n  <name>%s</name>\n", path);
  std::fprintf(out, "  <visibility>1</visibility>\n");
  std::fprintf(out, "  <open>1</open>\n  <LineString>\n    <coordinates>\n");
  float latitude = 0, longitude = 0;
  int field3 = 0, feet = 0;
  while (std::fgets(line, sizeof line, in)) {
    std::sscanf(line, "%f,%f,%d,%d,", &latitude, &longitude, &field3, &feet);
    std::fprintf(out, "%f,%f,%f\n", longitude, latitude, feet_to_metres(feet));
  }
  std::fprintf(out, "    </coordinates>\n  </LineString>\n");
  std::fprintf(out, "</Placemark>\n</kml>\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  bool waypoints = argc >= 3 && std::strcmp(argv[1], "wpt") == 0;
  if (argc < 3 || argc > 4 || (!waypoints && std::strcmp(argv[1], "plt") != 0)) {
    std::fprintf(stderr, "Usage: %s wpt|plt INPUT [OUTPUT]\n", argc > 0 ? argv[0] : "");
    return 1;
  }
  std::FILE* in = std::fopen(argv[2], "r");
  if (!in) {
    std::fprintf(stderr, "%s: Error opening %s\n", argv[0], argv[2]);
    return 1;
  }
  std::FILE* out = argc == 4 ? std::fopen(argv[3], "w") : stdout;
  if (!out) {
    std::fprintf(stderr, "%s: Error creating %s\n", argv[0], argv[3]);
    return 1;
  }
  bool read = waypoints ? convert_waypoints(in, out, argv[2]) : convert_track(in, out, argv[2]);
  if (!read) {
    std::fprintf(stderr, "%s: Error reading %s\n", argv[0], argv[2]);
    return 1;
  }
  std::fclose(in);
  return std::fclose(out) == 0 ? 0 : 1;
}
