// pathtrove: converts a track file to a KML 2.0 document.

#include "common/driver.h"
#include "pathtrove/track.h"

int main(int argc, char** argv) {
  return run(track_converter, argc, argv);
}
