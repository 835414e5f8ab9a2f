// pathtrove: converts a track file to a KML 2.0 document.

#include "common/driver.h"
#include "pathtrove/track.h"

#ifdef _WIN32
// Windows hands the arguments over in UTF-16 only to a wide entry point.
int wmain(int argc, wchar_t** argv) {
  return run(track_converter, argc, argv);
}
#else
int main(int argc, char** argv) {
  return run(track_converter, argc, argv);
}
#endif
