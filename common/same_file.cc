#include "common/same_file.h"

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <io.h>
#include <windows.h>

#include <cstring>

#include "common/system.h"

namespace {

/// What tells a regular file apart: the serial number of its volume (0 when
/// the system does not say) and its index on that volume.
struct file_identity {
  ULONGLONG volume = 0;
  unsigned char index[16] = {};
};

/// Reads the identity of the file behind `handle`: false unless it is a
/// regular file on a disk volume (not a device, a pipe or a directory).
bool regular_file_identity(HANDLE handle, file_identity& id) {
  FILE_BASIC_INFO basic;
  if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK ||
      !GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic) ||
      (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileInformationByHandle(handle, &info)) {
    id.volume = info.dwVolumeSerialNumber;
    ULONGLONG index = (ULONGLONG{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    std::memcpy(id.index, &index, sizeof index);
    return true;
  }
  // Wine's handles for the streams a process inherits answer only this
  // query, with the file's index but no volume.
  FILE_ID_INFO ids;
  if (!GetFileInformationByHandleEx(handle, FileIdInfo, &ids, sizeof ids))
    return false;
  id.volume = ids.VolumeSerialNumber & 0xffffffff;
  std::memcpy(id.index, &ids.FileId, sizeof id.index);
  return true;
}

/// The same index on the same volume, or on a volume one side cannot name.
bool same_identity(const file_identity& a, const file_identity& b) {
  return std::memcmp(a.index, b.index, sizeof a.index) == 0 &&
         (a.volume == b.volume || a.volume == 0 || b.volume == 0);
}

HANDLE handle_of(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace

// The C runtime's stat() gives no inode number here and fstat() no volume,
// and names compare without regard to case and through other spellings of a
// path, so only the volume serial number and the file index that the system
// keeps for every file tell whether two names reach the same file.
bool same_file(std::FILE* in, const char* path) {
  file_identity input, target;
  if (!regular_file_identity(handle_of(in), input))
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

bool same_file(std::FILE* in, std::FILE* out) {
  file_identity input, output;
  return regular_file_identity(handle_of(in), input) &&
         regular_file_identity(handle_of(out), output) && same_identity(input, output);
}

#else

#include <sys/stat.h>

namespace {

bool same_regular_file(const struct stat& a, const struct stat& b) {
  return S_ISREG(a.st_mode) && S_ISREG(b.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

bool same_file(std::FILE* in, const char* path) {
  struct stat input, target;
  return fstat(fileno(in), &input) == 0 && stat(path, &target) == 0 &&
         same_regular_file(input, target);
}

bool same_file(std::FILE* in, std::FILE* out) {
  struct stat input, output;
  return fstat(fileno(in), &input) == 0 && fstat(fileno(out), &output) == 0 &&
         same_regular_file(input, output);
}

#endif
