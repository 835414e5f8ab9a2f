#include "pintrove/waypoint.h"

#include <string>
#include <vector>

#include "common/kml_text.h"
#include "common/metres.h"
#include "gtest/gtest.h"
#include "tests/reference.h"

namespace {

/// The waypoint after the lines are scanned, one after the other.
waypoint after(const std::vector<std::string>& lines) {
  waypoint w;
  for (const std::string& line : lines)
    scan_waypoint(line, w);
  return w;
}

std::string name_of(const waypoint& w) {
  return std::string(w.name, w.name_length);
}

const std::string full = "1,Summit, 47.5, 11.25,46123.5, 0, 1, 3, 0, 65535,,0,0,0, 1000, 6, 0, 17";

TEST(scan_waypoint, FullLine) {
  waypoint w = after({full});
  EXPECT_EQ(name_of(w), "Summit");
  EXPECT_EQ(w.latitude, 47.5f);
  EXPECT_EQ(w.longitude, 11.25f);
  EXPECT_EQ(w.altitude_feet, 1000);
}

struct follow_case {
  const char* what;
  const char* line;  // scanned after `full`
  const char* name;
  float latitude, longitude;
  std::int32_t altitude_feet;
};

TEST(scan_waypoint, LinesThatStopEarly) {
  const follow_case cases[] = {
      // Lines the pattern stops in early are read again as plain fields.
      {"field 11 not empty", "2,Hut, 46.5, 10.5,1.0, 0, 1, 3, 0, 65535, ,0,0,0, 2000", "Hut", 46.5f,
       10.5f, 2000},
      {"text in field 11", "2,Hut, 46.5, 10.5,1.0, 0, 1, 3, 0, 65535,new roof,0,0,0, 2000", "Hut",
       46.5f, 10.5f, 2000},
      {"no white space after the name", "3,Hut,46.5,10.5,1.0", "Hut", 46.5f, 10.5f, 1000},
      {"a blank further on", "4,Hut,12, 46.5, 10.5,1.0", "Hut", 12.0f, 46.5f, 1000},
      {"a blank inside the name", "5,Old Mill, 46.5, 10.5", "Old Mill", 46.5f, 10.5f, 1000},
      {"a number after the blank", "6,Hut 2, 46.5, 10.5", "Hut 2", 46.5f, 10.5f, 1000},
      {"blanks before the comma", "7,Hut , 46.5, 10.5", "Hut", 46.5f, 10.5f, 1000},
      {"fields 6 to 14 as before but a longer last one",
       "8,Hut,x, 46.5, 10.5,1.0, 0, 1, 3, 0, 65535,,0,0,05, 2000", "Hut,x", 46.5f, 10.5f, 2000},
      {"another writer's layout",
       "1,Big Tree,47.421630,10.985210,,0,1,3,0,65535,old larch fenced,0,0,0,2359,6,0,17\r",
       "Big Tree", 47.421630f, 10.985210f, 2359},
      {"a name and a number",
       "1,Camp 2,  46.500000,    7.250000,46123.5, 0, 1, 3, 0, 65535,,0,0,0, 30", "Camp 2", 46.5f,
       7.25f, 30},
      {"blanks around every field",
       "   1 ,  Big Tree      ,  46.5 , 10.5\t, 1.0 , 0 , 1 , 3 , 0 , 65535 ,  , 0 , 0 , 0 , 2000 "
       ", 6",
       "Big Tree", 46.5f, 10.5f, 2000},
      {"one bad coordinate keeps both", "2,Hut,46.5,10.5x,,0,1,3,0,65535,,0,0,0,2000", "Hut", 47.5f,
       11.25f, 2000},
      {"a coordinate beyond binary32", "2,Hut,1e39,10.5", "Hut", 47.5f, 11.25f, 1000},
      {"a hexadecimal coordinate", "2,Hut,46.5,0x10", "Hut", 47.5f, 11.25f, 1000},
      {"an altitude with a fraction", "2,Hut,46.5,10.5,,0,1,3,0,65535,x,0,0,0,2391.1", "Hut", 46.5f,
       10.5f, 2391},
      {"an altitude with text after it", "2,Hut,46.5,10.5,,0,1,3,0,65535,x,0,0,0,2391 ft", "Hut",
       46.5f, 10.5f, 2391},
      {"an altitude that is no number", "2,Hut,46.5,10.5,,0,1,3,0,65535,x,0,0,0,high", "Hut", 46.5f,
       10.5f, 1000},
      {"a blank line", "", "Summit", 47.5f, 11.25f, 1000},
      {"no comma", "8", "Summit", 47.5f, 11.25f, 1000},
      {"an empty name", "9,, 46.5, 10.5", "", 46.5f, 10.5f, 1000},
      {"an empty field 2, no blanks", "9,,46.5,10.5", "", 46.5f, 10.5f, 1000},
      // Lines the pattern reads through the altitude keep its reading.
      {"a real as the altitude", "2,Hut, 46.5, 10.5,1.0, 0, 1, 3, 0, 65535,,0,0,0, 20.9", "Hut",
       46.5f, 10.5f, 20},
      {"a comma inside the name token", "2,Hut,12, 46.5, 10.5,1.0, 0, 1, 3, 0, 65535,,0,0,0, 20",
       "Hut,12", 46.5f, 10.5f, 20},
  };
  for (const follow_case& c : cases) {
    waypoint w = after({full, c.line});
    EXPECT_EQ(name_of(w), c.name) << c.what;
    EXPECT_EQ(w.latitude, c.latitude) << c.what;
    EXPECT_EQ(w.longitude, c.longitude) << c.what;
    EXPECT_EQ(w.altitude_feet, c.altitude_feet) << c.what;
  }
}

TEST(scan_waypoint, SecondReadingStartsFromThePreviousLine) {
  // The pattern stores "Old" and latitude 2 before it stops; both are dropped.
  waypoint w = after({full, "5,Old 2, x"});
  EXPECT_EQ(name_of(w), "Old 2");
  EXPECT_EQ(w.latitude, 47.5f);
}

TEST(scan_waypoint, NameIsNotShortenedAgainByLaterLines) {
  EXPECT_EQ(name_of(after({full, "", "", ""})), "Summit");
}

TEST(scan_waypoint, FirstLineThatStopsEarlyUsesZeros) {
  waypoint w = after({"no waypoint here"});
  EXPECT_EQ(name_of(w), "");
  EXPECT_EQ(w.latitude, 0.0f);
  EXPECT_EQ(w.longitude, 0.0f);
  EXPECT_EQ(w.altitude_feet, 0);
}

TEST(scan_waypoint, LongNameIsCutAndTheLineReadOn) {
  std::string long_name(70, 'n');
  waypoint w = after({"1," + long_name + ", 46.5, 10.5"});
  EXPECT_EQ(name_of(w), std::string(55, 'n'));
  EXPECT_EQ(w.latitude, 46.5f);
  EXPECT_EQ(w.longitude, 10.5f);
}

TEST(scan_waypoint, LongNameIsCutBetweenCharacters) {
  std::string name = std::string(54, 'n') + "\xc3\xa9";  // 56 bytes, the last character two
  EXPECT_EQ(name_of(after({"1," + name + ", 46.5"})), std::string(54, 'n'));
  // The same in a second reading: "a " and 52 letters, then the two bytes.
  EXPECT_EQ(name_of(after({"1,a " + name.substr(2) + ",46.5"})), "a " + std::string(52, 'n'));
}

TEST(waypoint_line, WritesOneMarkerPerLine) {
  captured_output captured;
  waypoint_open(captured.out, "a.wpt");
  for (const char* line : {full.c_str(), "", "garbage"})
    waypoint_line(captured.out, line);
  std::string text = captured.text();
  std::size_t markers = 0;
  for (std::size_t at = text.find("<Placemark>"); at != std::string::npos;
       at = text.find("<Placemark>", at + 1))
    ++markers;
  EXPECT_EQ(markers, 3u);
}

TEST(way_point, WritesTheMarker) {
  captured_output captured;
  way_point(captured.out, "A&B", -0.123456f, 51.5f, feet_to_metres(500));
  EXPECT_EQ(captured.text(),
            "<Placemark>\n"
            "  <name>A&amp;B</name>\n"
            "  <LookAt>\n"
            "    <longitude>-0.123456</longitude>\n"
            "    <latitude>51.500000</latitude>\n"
            "    <range>310.7391410215146</range>\n"
            "    <tilt>-1.24365386906156e-010</tilt>\n"
            "    <heading>-2.780221460109238e-014</heading>\n"
            "  </LookAt>\n"
            "  <styleUrl>root://styleMaps#default+nicon=0x307+hicon=0x317</styleUrl>\n"
            "  <Point>\n"
            "    <coordinates>-0.123456,51.500000,152.399994</coordinates>\n"
            "  </Point>\n"
            "</Placemark>\n");
  // Numbers longer than most are copied whole into the coordinates.
  captured_output large;
  way_point(large.out, "x", 123456789.0f, -1e20f, 0.0f);
  EXPECT_NE(
      large.text().find("<coordinates>123456792.000000,-100000002004087734272.000000,0.000000<"),
      std::string::npos);
}

TEST(waypoint_document, OpeningAndClosing) {
  // Also with the output buffer within a few bytes of full before the closing.
  const std::string document =
      "<Document>\n<Folder>\n<name>trips/a&lt;b&gt;.wpt</name>\n<open>1</open>\n"
      "</Folder>\n</Document>\n</kml>\n";
  for (std::size_t filler : {std::size_t{0}, sizeof(output::buffer) - document.size() + 25}) {
    captured_output captured;
    put(captured.out, std::string(filler, 'x'));
    waypoint_open(captured.out, "trips/a<b>.wpt");
    waypoint_close(captured.out);
    EXPECT_EQ(captured.text(), std::string(filler, 'x') + document) << filler;
  }
}

}  // namespace
