#include "tests/reference.h"

#include <fcntl.h>
#include <sys/types.h>
#ifndef __wasi__
#include <termios.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>

std::string printf_real(float value) {
  char text[64];
  int length = std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
  return std::string(text, static_cast<std::size_t>(length));
}

float exact_metres(std::int32_t feet) {
  int scale = 0;
  double fraction = std::frexp(0.3048, &scale);
  auto factor = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
  scale -= 53;  // 0.3048 = factor * 2^scale
  auto f = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(feet)));
  std::uint64_t part = f * (factor & 0xffffffff);  // the product is high * 2^32 + low
  std::uint64_t high = f * (factor >> 32) + (part >> 32);
  std::uint64_t low = part & 0xffffffff;
  bool round = false, sticky = false;  // the last bit shifted out; any other one
  while (high != 0 || low >= (1u << 24)) {
    sticky = sticky || round;
    round = low & 1;
    low = (low >> 1) | ((high & 1) << 31);
    high >>= 1;
    ++scale;
  }
  if (round && (sticky || (low & 1)))
    ++low;
  float magnitude = std::ldexp(static_cast<float>(low), scale);
  return feet < 0 ? -magnitude : magnitude;
}

memory_stream::memory_stream() : file(open_memstream(&data, &size)) {
  if (!file)
    std::abort();
}

memory_stream::~memory_stream() {
  if (file)
    std::fclose(file);
  std::free(data);
}

std::string memory_stream::text() {
  if (file)
    std::fflush(file);
  return std::string(data, size);
}

std::FILE* memory_stream::hand_over() {
  std::FILE* given = file;
  file = nullptr;
  return given;
}

std::string captured_output::text() {
  flush(out);
  return stream.text();
}

namespace {

struct failing_source {
  std::string text;
  std::size_t fail_at;
  int* reads_after_end;
  std::size_t at = 0;
  bool failed = false;
  bool ended = false;
};

ssize_t read_source(void* cookie, char* buffer, std::size_t size) {
  auto& s = *static_cast<failing_source*>(cookie);
  if (s.ended) {
    if (s.reads_after_end)
      ++*s.reads_after_end;
    return -1;
  }
  if (s.at == s.fail_at && !s.failed) {
    s.failed = true;
    return -1;
  }
  // A read stops where the failure is due, so the next one meets it.
  std::size_t stop = s.failed ? s.text.size() : std::min(s.fail_at, s.text.size());
  std::size_t n = std::min(size, stop - s.at);
  s.text.copy(buffer, n, s.at);
  s.at += n;
  s.ended = n == 0;
  return static_cast<ssize_t>(n);
}

}  // namespace

std::FILE* input_from(const std::string& text, std::size_t fail_at, int* reads_after_end) {
  cookie_io_functions_t io = {};
  io.read = read_source;
  io.close = [](void* cookie) {
    delete static_cast<failing_source*>(cookie);
    return 0;
  };
  return fopencookie(new failing_source{text, fail_at, reads_after_end}, "r", io);
}

typed_terminal::typed_terminal(const std::string& typed) {
#ifndef __wasi__
  // A machine may have no terminals to give (a container without /dev/pts):
  // then `file` stays null, as on WASI.
  keyboard = posix_openpt(O_RDWR | O_NOCTTY);
  int screen = keyboard < 0 || grantpt(keyboard) != 0 || unlockpt(keyboard) != 0
                   ? -1
                   : open(ptsname(keyboard), O_RDONLY | O_NOCTTY);
  if (screen < 0)
    return;
  termios mode;
  if (tcgetattr(screen, &mode) != 0)
    std::abort();
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);  // nobody reads the echo
  if (tcsetattr(screen, TCSANOW, &mode) != 0 ||
      write(keyboard, typed.data(), typed.size()) != static_cast<ssize_t>(typed.size()))
    std::abort();
  file = fdopen(screen, "r");
#endif
}

typed_terminal::~typed_terminal() {
#ifndef __wasi__
  if (keyboard >= 0)
    close(keyboard);
#endif
}
