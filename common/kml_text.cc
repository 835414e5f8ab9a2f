#include "common/kml_text.h"

#include <bit>

#include "common/eight_bytes.h"

void put_prologue(output& out) {
  put(out,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n");
}

namespace {

/// Length of the well-formed UTF-8 sequence at `p` (shortest form, no
/// surrogates, at most U+10FFFF), or 0 when the bytes there are not one.
int utf8_length(const unsigned char* p, const unsigned char* end) {
  auto continues = [&](std::ptrdiff_t i, unsigned char low = 0x80, unsigned char high = 0xbf) {
    return end - p > i && p[i] >= low && p[i] <= high;
  };
  unsigned char b = p[0];
  if (b < 0x80)
    return 1;
  if (b >= 0xc2 && b <= 0xdf)
    return continues(1) ? 2 : 0;
  if (b >= 0xe0 && b <= 0xef) {
    unsigned char low = b == 0xe0 ? 0xa0 : 0x80;
    unsigned char high = b == 0xed ? 0x9f : 0xbf;
    return continues(1, low, high) && continues(2) ? 3 : 0;
  }
  if (b >= 0xf0 && b <= 0xf4) {
    unsigned char low = b == 0xf0 ? 0x90 : 0x80;
    unsigned char high = b == 0xf4 ? 0x8f : 0xbf;
    return continues(1, low, high) && continues(2) && continues(3) ? 4 : 0;
  }
  return 0;
}

char* append_code_point(char* out, std::uint32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xc0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3f));
  } else {
    *out++ = static_cast<char>(0xe0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3f));
    *out++ = static_cast<char>(0x80 | (c & 0x3f));
  }
  return out;
}

constexpr std::uint32_t replacement_character = 0xfffd;

/// The character a byte stands for in Windows-1252, for bytes that do not
/// start well-formed UTF-8; its five undefined bytes give U+FFFD.
std::uint32_t windows_1252(unsigned char b) {
  static constexpr std::uint16_t c1[32] = {
      0x20ac, 0xfffd, 0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,  //
      0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0xfffd, 0x017d, 0xfffd,  //
      0xfffd, 0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,  //
      0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0xfffd, 0x017e, 0x0178};
  return b >= 0x80 && b < 0xa0 ? c1[b - 0x80] : b;
}

bool forbidden_in_xml(unsigned char b) {
  return b < 0x20 && b != '\t' && b != '\n' && b != '\r';
}

/// Whether `c` stands for itself in XML text: ASCII from ' ' on, but & < >.
bool plain(char c) {
  auto b = static_cast<unsigned char>(c);
  return b >= ' ' && b < 0x80 && b != '&' && b != '<' && b != '>';
}

/// How many of the bytes of `chunk`, from its lowest, are `plain` before the
/// first one that is not (8 when all are).
int leading_plain(std::uint64_t chunk) {
  constexpr std::uint64_t top = 0x80 * every_byte;
  // Each test sets the top bit of a byte of its sum; with seven bits in each
  // byte no sum carries into the next one.
  std::uint64_t low = chunk & ~top;
  std::uint64_t from_space = low + 0x60 * every_byte;  // ' ' and above
  std::uint64_t no_ampersand = (low ^ '&' * every_byte) + 0x7f * every_byte;
  std::uint64_t no_angle = ((low | 0x02 * every_byte) ^ '>' * every_byte) + 0x7f * every_byte;
  std::uint64_t plain = from_space & no_ampersand & no_angle & ~chunk & top;
  return std::countr_zero(~plain & top) / 8;
}

/// Writes the character at `p` as XML text; returns where the next one starts.
const char* append_character(const char* p, const char* end, char*& out) {
  auto* u = reinterpret_cast<const unsigned char*>(p);
  unsigned char b = u[0];
  if (b < 0x80) {
    if (b == '&')
      out = append(out, "&amp;");
    else if (b == '<')
      out = append(out, "&lt;");
    else if (b == '>')
      out = append(out, "&gt;");
    else if (forbidden_in_xml(b))
      out = append_code_point(out, replacement_character);
    else
      *out++ = p[0];
    return p + 1;
  }
  int length = utf8_length(u, reinterpret_cast<const unsigned char*>(end));
  if (length == 0) {
    out = append_code_point(out, windows_1252(b));
    return p + 1;
  }
  bool non_character = length == 3 && b == 0xef && u[1] == 0xbf && u[2] >= 0xbe;  // U+FFFE, U+FFFF
  if (non_character)
    out = append_code_point(out, replacement_character);
  else
    out = append(out, std::string_view(p, static_cast<std::size_t>(length)));
  return p + length;
}

/// `append_character` on a copy of `out`, which the callers' loops then
/// keep in a register rather than in memory.
const char* append_character_in_register(const char* p, const char* end, char*& out) {
  char* q = out;
  p = append_character(p, end, q);
  out = q;
  return p;
}

}  // namespace

char* append_text(char* out, std::string_view text) {
  const char* p = text.data();
  const char* end = p + text.size();
  // Eight bytes at a time, most names whole: all eight are copied, but the
  // output moves on only past the plain ones, and the rest is written again
  // from the first that is not. So up to seven bytes past the end may be
  // stored; eight bytes of text leave room for forty.
  while (end - p >= 8) {
    int count = leading_plain(load_eight(p));
    std::memcpy(out, p, 8);
    out += count;
    p += count;
    if (count < 8)
      p = append_character_in_register(p, end, out);
  }
  while (p < end) {
    if (plain(*p))
      *out++ = *p++;
    else
      p = append_character_in_register(p, end, out);
  }
  return out;
}

void put_text(output& out, std::string_view text) {
  const char* end = text.data() + text.size();
  const char* p = text.data();
  while (p < end) {
    char piece[256];
    char* q = piece;
    while (p < end && q <= piece + sizeof piece - max_text_growth)
      p = append_character(p, end, q);
    put(out, std::string_view(piece, static_cast<std::size_t>(q - piece)));
  }
}

std::size_t prefix_length(std::string_view text, std::size_t limit) {
  if (text.size() <= limit)  // the end of the text is always between two characters
    return text.size();
  auto* begin = reinterpret_cast<const unsigned char*>(text.data());
  auto* end = begin + text.size();
  std::size_t length = 0;
  while (length < text.size()) {
    int next = utf8_length(begin + length, end);
    std::size_t step = next == 0 ? 1 : static_cast<std::size_t>(next);
    if (length + step > limit)
      break;
    length += step;
  }
  return length;
}
