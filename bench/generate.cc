// bench_generate: writes a large, valid waypoint or track file for the
// benchmark. The output depends only on the arguments: the random numbers
// come from a fixed seed and all arithmetic is on integers.
//
//   bench_generate wpt LINES > file.wpt
//   bench_generate plt LINES > file.plt
//
// The kinds wpt-other and plt-other lay the same kind of lines out as other
// writers do, so that the pattern stops early on every line and each is read
// again field by field: waypoints with blanks in names and descriptions, the
// day field empty, no blank after a comma and CRLF line ends; track points
// with a blank before every comma. The kinds wpt-varied and plt-varied are
// the expected layouts with what most files repeat from line to line made to
// vary: waypoints whose fields 6 to 14 differ on every line, a track whose
// altitudes do not come again.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

/// splitmix64: small, fast and the same on every platform.
struct random_source {
  std::uint64_t state;

  std::uint64_t next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9;
    z = (z ^ (z >> 27)) * 0x94d049bb133111eb;
    return z ^ (z >> 31);
  }

  /// A number in [low, high].
  long long between(long long low, long long high) {
    return low + static_cast<long long>(next() % static_cast<std::uint64_t>(high - low + 1));
  }
};

/// Writes `micro` millionths as a decimal with six places, like 47.421630.
void put_micro(char*& out, long long micro) {
  if (micro < 0) {
    *out++ = '-';
    micro = -micro;
  }
  out += std::sprintf(out, "%lld.%06lld", micro / 1000000, micro % 1000000);
}

// ---- Waypoints --------------------------------------------------------------

const char* const words[] = {
    "Trailhead", "Hut",   "Bridge",  "Falls",     "Summit", "Cross",  "Lake",     "Col",
    "Refuge",    "Pass",  "Ridge",   "Spring",    "Chapel", "Camp",   "Saddle",   "Tarn",
    "Cairn",     "Gully", "Shelter", "Viewpoint", "Ford",   "Meadow", "Glacier",  "Station",
    "Alm",       "Lodge", "Peak",    "Notch",     "Tower",  "Cave",   "Junction", "Weir"};
constexpr long long word_count = sizeof words / sizeof words[0];

const char* const notes[] = {"old",   "larch", "fenced", "dry",  "in",     "summer",
                             "steep", "path",  "north",  "side", "closed", "water",
                             "bench", "view",  "rocky",  "gate"};
constexpr long long note_count = sizeof notes / sizeof notes[0];

/// Writes `count` words picked from `list`, `separator` between them.
void put_words(char*& out, random_source& random, const char* const* list, long long list_size,
               long long count, char separator) {
  for (long long i = 0; i < count; ++i) {
    if (i > 0)
      *out++ = separator;
    const char* word = list[random.between(0, list_size - 1)];
    std::size_t length = std::strlen(word);
    std::memcpy(out, word, length);
    out += length;
  }
}

/// A name without commas or markup: one to three words joined by
/// `separator`, sometimes with a number, 3 to about 30 bytes.
void put_name(char*& out, random_source& random, char separator) {
  put_words(out, random, words, word_count, random.between(1, 3), separator);
  if (random.between(0, 3) == 0)
    out += std::sprintf(out, "%c%lld", separator, random.between(1, 250));
}

/// An altitude in feet: mostly above sea level, one in twenty below.
long long pick_feet(random_source& random) {
  return random.between(0, 19) == 0 ? random.between(-1'400, 0) : random.between(0, 15'000);
}

/// Writes the first four fields of waypoint `n`: number, name (its words
/// joined by `separator`), latitude and longitude, `comma` after each but the
/// last.
void put_waypoint_start(char*& out, random_source& random, long long n, char separator,
                        const char* comma) {
  out += std::sprintf(out, "%lld,", n);
  put_name(out, random, separator);
  out += std::sprintf(out, "%s", comma);
  put_micro(out, random.between(-60'000'000, 75'000'000));  // latitude
  out += std::sprintf(out, "%s", comma);
  put_micro(out, random.between(-180'000'000, 180'000'000));  // longitude
}

/// Writes fields 6 to 14 of a waypoint: what most files repeat on every
/// line, or, when `varied`, values that change from line to line (a symbol,
/// flags, two colours, a direction and a distance).
void put_fields_6_to_14(char*& out, random_source& random, bool varied) {
  if (!varied) {
    out += std::sprintf(out, ", 0, 1, 3, 0, 65535,,0,0,0");
    return;
  }
  out += std::sprintf(out, ", %lld, %lld, %lld, %lld, %lld,,%lld,%lld,%lld", random.between(0, 70),
                      random.between(0, 1), random.between(0, 3), random.between(0, 16'777'215),
                      random.between(0, 16'777'215), random.between(0, 2), random.between(0, 1),
                      random.between(0, 500));
}

void write_waypoints(long long lines, bool varied) {
  std::fputs("Waypoint File Version 1.1\nWGS 84\nReserved 2\nReserved 3\n", stdout);
  random_source random{0x5eed'0001};
  for (long long n = 1; n <= lines; ++n) {
    char line[256];
    char* p = line;
    put_waypoint_start(p, random, n, '_', ", ");
    // The day number: days since 30 Dec 1899 and the fraction of the day.
    p += std::sprintf(p, ",%lld.%07lld", random.between(44'000, 46'500),
                      random.between(0, 9'999'999));
    put_fields_6_to_14(p, random, varied);
    p += std::sprintf(p, ", %lld, 6, 0, 17\n", pick_feet(random));
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
  }
}

/// Waypoints as other writers lay them out, like
/// "1,Big Tree,47.421630,10.985210,,0,1,3,0,65535,old larch fenced,0,0,0,2359,6,0,17".
void write_other_waypoints(long long lines) {
  std::fputs("Waypoint File Version 1.1\r\nWGS 84\r\nReserved 2\r\nReserved 3\r\n", stdout);
  random_source random{0x5eed'0003};
  for (long long n = 1; n <= lines; ++n) {
    char line[256];
    char* p = line;
    put_waypoint_start(p, random, n, ' ', ",");
    p += std::sprintf(p, ",,0,1,3,0,65535,");
    // A description in field 11, empty now and then.
    if (random.between(0, 3) != 0)
      put_words(p, random, notes, note_count, random.between(1, 4), ' ');
    p += std::sprintf(p, ",0,0,0,%lld,6,0,17\r\n", pick_feet(random));
    std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
  }
}

// ---- Track ------------------------------------------------------------------

/// Writes the day `day` (days since 30 Dec 1899) as "12-Apr-26".
void put_date(char*& out, long long day) {
  static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  // Days since 1 Mar 2000 mapped to a civil date, in 400-year eras.
  long long z = day - 36'586;
  long long era = (z >= 0 ? z : z - 146'096) / 146'097;
  long long of_era = z - era * 146'097;
  long long year_of_era = (of_era - of_era / 1'460 + of_era / 36'524 - of_era / 146'096) / 365;
  long long day_of_year = of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  long long shifted_month = (5 * day_of_year + 2) / 153;
  long long day_of_month = day_of_year - (153 * shifted_month + 2) / 5 + 1;
  long long month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
  long long year = 2000 + year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  out += std::sprintf(out, "%02lld-%s-%02lld", day_of_month, months[month - 1], year % 100);
}

/// One point of a walk: position in millionths of a degree, altitude in
/// feet, time in seconds since the start of day 0.
struct walk {
  long long latitude;
  long longitude;
  long long feet;
  long long seconds;
};

void step(walk& w, random_source& random) {
  w.latitude += random.between(-400, 400);
  w.longitude += random.between(-600, 600);
  w.feet += random.between(-25, 25);
  // The walk turns back at the lowest valley and below the highest peaks.
  if (w.feet < -50)
    w.feet = -100 - w.feet;
  if (w.feet > 14'000)
    w.feet = 28'000 - w.feet;
  w.seconds += random.between(1, 30);
}

/// Writes the line [line, end) with a blank before every comma.
void put_blank_before_commas(const char* line, const char* end) {
  char spaced[512];
  char* p = spaced;
  for (; line < end; ++line) {
    if (*line == ',')
      *p++ = ' ';
    *p++ = *line;
  }
  std::fwrite(spaced, 1, static_cast<std::size_t>(p - spaced), stdout);
}

/// Track points, with a blank before every comma of a point when `spaced`;
/// with `varied`, altitudes that do not come again for 40,000 points, and
/// then not within the last thousands.
void write_track(long long lines, bool spaced, bool varied) {
  std::printf(
      "Track File Version 2.1\nWGS 84\nAltitude is in Feet\nReserved 3\n"
      "0,2,255,Long walk,0,0,2,8421376\n%lld\n",
      lines);
  random_source random{0x5eed'0002};
  walk w{47'421'651, 10'985'206, 2'391, 46'123LL * 86'400 + 7 * 3'600};
  for (long long n = 0; n < lines; ++n) {
    char line[256];
    char* p = line;
    put_micro(p, w.latitude);
    *p++ = ',';
    put_micro(p, w.longitude);
    // A new segment starts every few thousand points.
    long long feet = varied ? n * 7'919 % 40'000 - 1'000 : w.feet;
    p += std::sprintf(p, ",%d,%lld,", n % 5'000 == 0 ? 1 : 0, feet);
    long long day = w.seconds / 86'400;
    long long second = w.seconds % 86'400;
    p += std::sprintf(p, "%lld.%07lld,", day, second * 10'000'000 / 86'400);
    put_date(p, day);
    p += std::sprintf(p, ",%02lld:%02lld:%02lld\n", second / 3'600, second / 60 % 60, second % 60);
    if (spaced)
      put_blank_before_commas(line, p);
    else
      std::fwrite(line, 1, static_cast<std::size_t>(p - line), stdout);
    step(w, random);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string_view kind = argc == 3 ? argv[1] : "";
  if (kind != "wpt" && kind != "plt" && kind != "wpt-other" && kind != "plt-other" &&
      kind != "wpt-varied" && kind != "plt-varied") {
    std::fprintf(stderr, "Usage: %s wpt|plt|wpt-other|plt-other|wpt-varied|plt-varied LINES\n",
                 argc > 0 ? argv[0] : "bench_generate");
    return 1;
  }
  long long lines = std::strtoll(argv[2], nullptr, 10);
  if (kind == "wpt" || kind == "wpt-varied")
    write_waypoints(lines, kind == "wpt-varied");
  else if (kind == "wpt-other")
    write_other_waypoints(lines);
  else
    write_track(lines, kind == "plt-other", kind == "plt-varied");
  return std::fflush(stdout) == 0 ? 0 : 1;
}
