#include "common/scanner.h"

#include "common/number.h"

namespace {

const char* skip_space(const char* p, const char* end) {
  while (p < end && is_space(*p))
    ++p;
  return p;
}

}  // namespace

bool scanner::integer(std::int32_t& value) {
  const char* number_end = read_integer(skip_space(pos, end), end, value);
  if (!number_end)
    return false;
  pos = number_end;
  return true;
}

bool scanner::real(float& value) {
  const char* number_end = read_real(skip_space(pos, end), end, value);
  if (!number_end)
    return false;
  pos = number_end;
  return true;
}

bool scanner::token(std::string_view& value) {
  const char* p = skip_space(pos, end);
  const char* q = p;
  while (q < end && !is_space(*q))
    ++q;
  if (q == p)
    return false;
  value = std::string_view(p, static_cast<std::size_t>(q - p));
  pos = q;
  return true;
}
