// pintrove: converts a waypoint file to a KML 2.0 document.

#include "common/driver.h"
#include "pintrove/waypoint.h"

#ifdef _WIN32
// Windows hands the arguments over in UTF-16 only to a wide entry point.
int wmain(int argc, wchar_t** argv) {
  return run(waypoint_converter, argc, argv);
}
#else
int main(int argc, char** argv) {
  return run(waypoint_converter, argc, argv);
}
#endif
