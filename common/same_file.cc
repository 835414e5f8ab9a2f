#include "common/same_file.h"

#include <sys/stat.h>

bool same_file(std::FILE* in, const char* path) {
  struct stat input, target;
  if (fstat(fileno(in), &input) != 0 || stat(path, &target) != 0)
    return false;
  return S_ISREG(input.st_mode) && S_ISREG(target.st_mode) && input.st_dev == target.st_dev &&
         input.st_ino == target.st_ino;
}
