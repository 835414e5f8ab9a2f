#include "common/scanner.h"

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
