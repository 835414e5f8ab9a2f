#include "common/same_file.h"

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>

#include "common/system.h"

namespace {

/// Reads what identifies the file behind `handle`: false unless it is a
/// regular file on a disk volume (not a device, a pipe or a directory).
bool regular_file_identity(HANDLE handle, BY_HANDLE_FILE_INFORMATION& info) {
  return handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(handle, &info) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool same_identity(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

// The C runtime's stat() gives no inode number here and fstat() no volume,
// and names compare without regard to case and through other spellings of a
// path, so only the volume serial number and the file index that the system
// keeps for every file tell whether two names reach the same file.
bool same_file(std::FILE* in, const char* path) {
  BY_HANDLE_FILE_INFORMATION input, target;
  HANDLE input_handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in)));
  if (!regular_file_identity(input_handle, input))
    return false;
  // No access is asked for and all sharing is allowed, so this succeeds even
  // while the input is open; the name goes in UTF-16, as to the opening of
  // the output, and backup semantics lets a directory open (and be refused).
  HANDLE target_handle =
      CreateFileW(to_utf16(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (target_handle == INVALID_HANDLE_VALUE)
    return false;
  bool same = regular_file_identity(target_handle, target) && same_identity(input, target);
  CloseHandle(target_handle);
  return same;
}

#else

#include <sys/stat.h>

bool same_file(std::FILE* in, const char* path) {
  struct stat input, target;
  if (fstat(fileno(in), &input) != 0 || stat(path, &target) != 0)
    return false;
  return S_ISREG(input.st_mode) && S_ISREG(target.st_mode) && input.st_dev == target.st_dev &&
         input.st_ino == target.st_ino;
}

#endif
