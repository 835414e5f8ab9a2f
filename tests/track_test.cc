#include "pathtrove/track.h"

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "tests/reference.h"

namespace {

/// The coordinate lines written for `lines`, scanned one after the other.
std::string coordinates(const std::vector<std::string>& lines) {
  captured_output captured;
  track_open(captured.out, "t.plt");
  std::string opening = captured.text();
  for (const std::string& line : lines)
    track_line(captured.out, line);
  return captured.text().substr(opening.size());
}

TEST(track_line, Lines) {
  struct {
    const char* what;
    std::vector<std::string> lines;
    const char* written;
  } const cases[] = {
      {"a full line",
       {"51.5,-0.123456,0,500,46123.5,12-Apr-26,07:12:39"},
       "-0.123456,51.500000,152.399994\n"},
      {"an altitude with a fraction", {"1.5,2.5,0,40.7,x"}, "2.500000,1.500000,12.192000\n"},
      {"a blank before a comma",
       {"1.5,2.5,0,100", "48.5 ,3.5,0,200"},
       "2.500000,1.500000,30.480000\n3.500000,48.500000,60.959999\n"},
      {"blanks around every field",
       {" 48.5 , 3.5\t,  0 , 200 ,46123.5\r"},
       "3.500000,48.500000,60.959999\n"},
      {"one bad coordinate keeps both",
       {"1.5,2.5,0,100", "3.5,4.5x,0,200"},
       "2.500000,1.500000,30.480000\n2.500000,1.500000,60.959999\n"},
      {"an altitude with text after it",
       {"1.5,2.5,0,100", "3.5 ,4.5,0,200 ft"},
       "2.500000,1.500000,30.480000\n4.500000,3.500000,60.959999\n"},
      {"fewer than 4 fields",
       {"1.5,2.5,0,100", "3.5,4.5"},
       "2.500000,1.500000,30.480000\n4.500000,3.500000,30.480000\n"},
      {"a blank line repeats the point",
       {"1.5,2.5,0,100", ""},
       "2.500000,1.500000,30.480000\n2.500000,1.500000,30.480000\n"},
      {"a first line that stops early", {"no point"}, "0.000000,0.000000,0.000000\n"},
      {"field 3 changes nothing",
       {"1.5,2.5,1,100", "1.5,2.5,0,100", "1.5,2.5,-9,100"},
       "2.500000,1.500000,30.480000\n2.500000,1.500000,30.480000\n2.500000,1.500000,30.480000\n"},
      {"altitudes that come again, zero and negative ones",
       {"1.5,2.5,0,5", "1.5,2.5,0,1029", "1.5,2.5,0,5", "1.5,2.5,0,0", "1.5,2.5,0,1024",
        "1.5,2.5,0,0", "1.5,2.5,0,-14000", "1.5,2.5,0,-14000"},
       "2.500000,1.500000,1.524000\n2.500000,1.500000,313.639191\n"
       "2.500000,1.500000,1.524000\n2.500000,1.500000,0.000000\n"
       "2.500000,1.500000,312.115204\n2.500000,1.500000,0.000000\n"
       "2.500000,1.500000,-4267.200195\n2.500000,1.500000,-4267.200195\n"},
      {"field 3 not an integer",
       {"1.5,2.5,0,100", "3.5,4.5,x,200"},
       "2.500000,1.500000,30.480000\n4.500000,3.500000,60.959999\n"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(coordinates(c.lines), c.written) << c.what;
}

}  // namespace
