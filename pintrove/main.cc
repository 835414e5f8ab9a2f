// pintrove: converts a waypoint file to a KML 2.0 document.

#include "common/driver.h"
#include "pintrove/waypoint.h"

int main(int argc, char** argv) {
  return run(waypoint_converter, argc, argv);
}
