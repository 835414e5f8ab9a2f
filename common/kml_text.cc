#include "common/kml_text.h"

#include <bit>
#include <charconv>
#include <cmath>

// ---- Prologue ---------------------------------------------------------------

void put_prologue(output& out) {
  put(out,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n");
}

// ---- Real numbers -----------------------------------------------------------

namespace {

/// Six decimals of a magnitude that the exact integer path cannot hold.
char* append_real_slow(char* out, float magnitude) {
  return std::to_chars(out, out + max_real_length, static_cast<double>(magnitude),
                       std::chars_format::fixed, 6)
      .ptr;
}

/// `value` times 10^6 rounded to an integer, ties to even, for a value
/// m * 2^e with m below 2^24 and e at most 19, so that m * 10^6 * 2^e fits
/// in 64 bits and the rounding is one exact integer division.
std::uint64_t scaled_by_million(std::uint64_t m, int e) {
  std::uint64_t n = m * 1000000;  // below 2^44
  if (e >= 0)
    return n << e;
  int shift = -e;
  if (shift >= 45)  // n / 2^shift is below one half
    return 0;
  std::uint64_t quotient = n >> shift;
  std::uint64_t remainder = n & ((std::uint64_t{1} << shift) - 1);
  std::uint64_t half = std::uint64_t{1} << (shift - 1);
  if (remainder > half || (remainder == half && (quotient & 1)))
    ++quotient;
  return quotient;
}

}  // namespace

char* append_real(char* out, float value) {
  std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  if (bits >> 31)
    *out++ = '-';  // -0.0 and values that round to zero keep their sign, as printf does
  std::uint32_t biased_exponent = (bits >> 23) & 0xff;
  std::uint64_t m = bits & 0x7fffff;
  int e = -149;  // subnormal
  if (biased_exponent != 0) {
    m |= 0x800000;
    e = static_cast<int>(biased_exponent) - 150;
  }
  if (biased_exponent == 0xff || e > 19)
    return append_real_slow(out, std::fabs(value));
  std::uint64_t scaled = scaled_by_million(m, e);
  out = std::to_chars(out, out + 20, scaled / 1000000).ptr;
  *out++ = '.';
  std::uint32_t fraction = static_cast<std::uint32_t>(scaled % 1000000);
  for (int i = 5; i >= 0; --i) {
    out[i] = static_cast<char>('0' + fraction % 10);
    fraction /= 10;
  }
  return out + 6;
}

// ---- Feet to metres ---------------------------------------------------------

namespace {

/// The binary32 value nearest to the exact sum `high + low`, where `high` is
/// that sum rounded to binary64. Rounding `high` alone can go the wrong way
/// only when it lies exactly halfway between two binary32 values.
float nearest_float(double high, double low) {
  float rounded = static_cast<float>(high);
  double back = rounded;
  if (low == 0 || back == high)
    return rounded;
  float other = std::nextafter(rounded, high > back ? INFINITY : -INFINITY);
  if (high - back != static_cast<double>(other) - high)
    return rounded;  // not halfway
  bool toward_other = (low > 0) == (other > rounded);
  return toward_other ? other : rounded;
}

}  // namespace

float feet_to_metres(std::int32_t feet) {
  constexpr double metres_per_foot = 0.3048;
  double x = feet;  // exact
  double high = x * metres_per_foot;
  double low = std::fma(x, metres_per_foot, -high);  // the product's exact rounding error
  return nearest_float(high, low);
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
  for (const char* p = text.data(); p < end;)
    p = append_character(p, end, out);
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
