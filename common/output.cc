#include "common/output.h"

#include <cassert>
#include <cstring>

namespace {

/// What debug builds fill a reservation's room with, to see what was stored.
[[maybe_unused]] constexpr unsigned char unwritten = 0xa5;

void write_buffer(output& out) {
  if (out.used == 0)
    return;
  // After a failure the rest is dropped: the document is lost anyway, and
  // retrying a full disk or a closed device only repeats the error.
  if (!out.failed && std::fwrite(out.buffer, 1, out.used, out.file) != out.used)
    out.failed = true;
  out.used = 0;
}

}  // namespace

void reset(output& out, std::FILE* stream) {
  out.file = stream;
  out.failed = false;
  out.used = 0;
}

void put(output& out, std::string_view text) {
  while (text.size() > sizeof out.buffer - out.used) {
    std::size_t room = sizeof out.buffer - out.used;
    std::memcpy(out.buffer + out.used, text.data(), room);
    out.used += room;
    text.remove_prefix(room);
    write_buffer(out);
  }
  std::memcpy(out.buffer + out.used, text.data(), text.size());
  out.used += text.size();
}

char* reserve(output& out, std::size_t size) {
  assert(size <= sizeof out.buffer - max_overhang);
  if (size + max_overhang > sizeof out.buffer - out.used)
    write_buffer(out);
#ifndef NDEBUG
  out.reserved = out.used + size;
  std::memset(out.buffer + out.used, unwritten, size + max_overhang);
#endif
  return out.buffer + out.used;
}

#ifndef NDEBUG
void check_record(const output& out, const char* end) {
  auto used = static_cast<std::size_t>(end - out.buffer);
  assert(used >= out.used && used <= out.reserved);
  for (std::size_t i = used + max_overhang; i < out.reserved + max_overhang; ++i)
    assert(static_cast<unsigned char>(out.buffer[i]) == unwritten);
}
#endif

bool flush(output& out) {
  write_buffer(out);
  if (!out.failed && std::fflush(out.file) != 0)
    out.failed = true;
  return !out.failed;
}
