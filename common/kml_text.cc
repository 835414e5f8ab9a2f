#include "common/kml_text.h"

#include "common/eight_bytes.h"

// ---- Prologue ---------------------------------------------------------------

void put_prologue(output& out) {
  put(out,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n");
}

// ---- Text -------------------------------------------------------------------

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

/// Whether `c` stands for itself in XML text: printable ASCII but & < >.
bool plain(char c) {
  return c >= ' ' && c <= '~' && c != '&' && c != '<' && c != '>';
}

/// Whether all eight bytes of `chunk` are `plain`.
bool all_plain(std::uint64_t chunk) {
  // Below ' ', and with the top bit set after adding one: '~' + 1 and above.
  bool outside =
      has_byte_below(chunk, ' ') || (((chunk + every_byte) | chunk) & 0x80 * every_byte) != 0;
  return !outside && !has_byte(chunk, '&') && !has_byte(chunk, '<') && !has_byte(chunk, '>');
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

}  // namespace

char* append_text(char* out, std::string_view text) {
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    if (end - p >= 8 && all_plain(load_eight(p))) {  // most names: eight bytes at a time
      std::memcpy(out, p, 8);
      out += 8;
      p += 8;
    } else if (plain(*p)) {
      *out++ = *p++;
    } else {
      p = append_character(p, end, out);
    }
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
