#include "common/kml_text.h"

#include <bit>
#include <charconv>
#include <cmath>

#include "common/binary32.h"

// ---- Prologue ---------------------------------------------------------------

void put_prologue(output& out) {
  put(out,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://earth.google.com/kml/2.0\">\n");
}

// ---- Real numbers -----------------------------------------------------------

namespace {

/// Six decimals of a magnitude that the exact integer path cannot hold; the
/// sign, if any, is already written.
char* append_real_slow(char* out, float magnitude) {
  return std::to_chars(out, out + max_real_length - 1, static_cast<double>(magnitude),
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
  // Without a branch: which way a value rounds is a coin toss.
  std::uint64_t above_half = remainder > half;
  std::uint64_t tie_to_even = (remainder == half) & quotient;
  return quotient + ((above_half | tie_to_even) & 1);
}

/// "00" to "99": two digits are written at a time.
constexpr char digit_pairs[] =
    "00010203040506070809"
    "10111213141516171819"
    "20212223242526272829"
    "30313233343536373839"
    "40414243444546474849"
    "50515253545556575859"
    "60616263646566676869"
    "70717273747576777879"
    "80818283848586878889"
    "90919293949596979899";

/// Writes `n`, below 100, as two digits.
void put_pair(char* out, std::uint32_t n) {
  std::memcpy(out, digit_pairs + 2 * n, 2);
}

/// Writes `scaled` millionths as the whole number, a point and six decimals;
/// returns the end.
char* append_millionths(char* out, std::uint64_t scaled) {
  std::uint64_t whole = scaled / 1000000;
  auto fraction = static_cast<std::uint32_t>(scaled - whole * 1000000);
  int length = 1;
  for (std::uint64_t rest = whole; rest >= 10; rest /= 10)
    ++length;
  char* p = out + length;  // the whole number is written from its last digit
  for (; whole >= 100; whole /= 100) {
    p -= 2;
    put_pair(p, static_cast<std::uint32_t>(whole % 100));
  }
  if (whole >= 10)
    put_pair(p - 2, static_cast<std::uint32_t>(whole));
  else
    p[-1] = static_cast<char>('0' + whole);
  out += length;
  out[0] = '.';
  put_pair(out + 1, fraction / 10000);
  put_pair(out + 3, fraction / 100 % 100);
  put_pair(out + 5, fraction % 100);
  return out + 7;
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
  return append_millionths(out, scaled_by_million(m, e));
}

// ---- Feet to metres ---------------------------------------------------------

namespace {

/// The binary32 value nearest to the exact sum `high + low`, where `high` is
/// that sum rounded to binary64. Rounding `high` alone can go the wrong way
/// only when it lies exactly halfway between two binary32 values.
float nearest_float(double high, double low) {
  float rounded = static_cast<float>(high);
  // Every product of an integer and 0.3048 other than zero lies in the
  // binary32 normal range.
  if (low == 0 || !halfway_between_floats(high))
    return rounded;
  // The exact value lies on the side of `high` that the sign of `low` says.
  float other = std::nextafter(rounded, high > rounded ? INFINITY : -INFINITY);
  return (low > 0) == (other > rounded) ? other : rounded;
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

/// Whether `c` stands for itself in XML text: printable ASCII but & < >.
bool plain(char c) {
  return c >= ' ' && c <= '~' && c != '&' && c != '<' && c != '>';
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
    if (plain(*p))
      *out++ = *p++;
    else
      p = append_character(p, end, out);
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
