#include "common/scanner.h"

#include "common/eight_bytes.h"

bool scanner::token(std::string_view& value) {
  const char* p = skip_space(pos, end);
  const char* q = p;
  // Eight bytes at a time while none can be white space: names are long.
  while (end - q >= 8 && !has_byte_below(load_eight(q), ' ' + 1))
    q += 8;
  while (q < end && !is_space(*q))
    ++q;
  if (q == p)
    return false;
  value = std::string_view(p, static_cast<std::size_t>(q - p));
  pos = q;
  return true;
}
