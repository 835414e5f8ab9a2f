#pragma once

#include <cstdio>

/// Whether `path` (UTF-8) names the very regular file that `in` has open (the same
/// path or another spelling of it, a hard link or a symbolic link to it).
/// False when `path` does not exist or is not a regular file, such as a device.
bool same_file(std::FILE* in, const char* path);

/// Whether `out` has the very regular file open that `in` has open, however
/// each was opened. False when either is not a regular file, such as a pipe,
/// a terminal or a device, or is not open at all.
bool same_file(std::FILE* in, std::FILE* out);
