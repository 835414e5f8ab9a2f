#include "fuzz/checks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

void require(bool condition, const char* what, std::string_view detail) {
  if (condition)
    return;
  std::fprintf(stderr, "check failed: %s\n", what);
  if (!detail.empty()) {
    std::fprintf(stderr, "  in: \"");
    for (unsigned char c : detail)
      std::fprintf(stderr, c >= 0x20 && c < 0x7f && c != '"' ? "%c" : "\\x%02x", c);
    std::fprintf(stderr, "\"\n");
  }
  std::abort();
}

// ---- Numbers ----------------------------------------------------------------

bool is_fixed_six(std::string_view text) {
  if (!text.empty() && text[0] == '-')
    text.remove_prefix(1);
  std::size_t point = text.find('.');
  if (point == 0 || point == std::string_view::npos || text.size() - point != 7)
    return false;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (i != point && (text[i] < '0' || text[i] > '9'))
      return false;
  return true;
}

bool is_coordinate_triple(std::string_view text) {
  for (int i = 0; i < 2; ++i) {
    std::size_t comma = text.find(',');
    if (comma == std::string_view::npos || !is_fixed_six(text.substr(0, comma)))
      return false;
    text.remove_prefix(comma + 1);
  }
  return is_fixed_six(text);
}

// ---- Text -------------------------------------------------------------------

std::size_t utf8_sequence(std::string_view text, char32_t& c) {
  if (text.empty())
    return 0;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(0);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xe0) == 0xc0) {
    length = 2, minimum = 0x80, c = lead & 0x1f;
  } else if ((lead & 0xf0) == 0xe0) {
    length = 3, minimum = 0x800, c = lead & 0x0f;
  } else if ((lead & 0xf8) == 0xf0) {
    length = 4, minimum = 0x10000, c = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length)
    return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xc0) != 0x80)
      return 0;
    c = (c << 6) | (byte(i) & 0x3f);
  }
  bool surrogate = c >= 0xd800 && c <= 0xdfff;
  return c < minimum || c > 0x10ffff || surrogate ? 0 : length;
}

bool is_xml_character(char32_t c) {
  return c == 0x9 || c == 0xa || c == 0xd || (c >= 0x20 && c <= 0xd7ff) ||
         (c >= 0xe000 && c <= 0xfffd) || (c >= 0x10000 && c <= 0x10ffff);
}

bool is_xml_characters(std::string_view text) {
  while (!text.empty()) {
    char32_t c = 0;
    std::size_t length = utf8_sequence(text, c);
    if (length == 0 || !is_xml_character(c))
      return false;
    text.remove_prefix(length);
  }
  return true;
}

namespace {

constexpr std::string_view entities[][2] = {{"&amp;", "&"}, {"&lt;", "<"}, {"&gt;", ">"}};

/// The length of the entity at the start of `text`, or 0; its character goes
/// to `character`.
std::size_t entity_at(std::string_view text, std::string_view& character) {
  for (const auto& entity : entities)
    if (text.starts_with(entity[0])) {
      character = entity[1];
      return entity[0].size();
    }
  return 0;
}

}  // namespace

bool is_escaped_text(std::string_view text) {
  while (!text.empty()) {
    std::string_view character;
    std::size_t length = text[0] == '&' ? entity_at(text, character) : 0;
    if (text[0] == '<' || text[0] == '>' || (text[0] == '&' && length == 0))
      return false;
    if (length == 0) {
      char32_t c = 0;
      length = utf8_sequence(text, c);
      if (length == 0 || !is_xml_character(c))
        return false;
    }
    text.remove_prefix(length);
  }
  return true;
}

std::string unescape(std::string_view text) {
  std::string plain;
  while (!text.empty()) {
    std::string_view character;
    std::size_t length = entity_at(text, character);
    if (length == 0) {
      character = text.substr(0, 1);
      length = 1;
    }
    plain += character;
    text.remove_prefix(length);
  }
  return plain;
}

namespace {

/// The character that the byte `b`, which starts no well-formed UTF-8,
/// stands for; 0 for the bytes 0x80 to 0x9f that Windows-1252 maps beyond
/// U+00FF.
char32_t single_byte_character(unsigned char b) {
  constexpr unsigned char undefined[] = {0x81, 0x8d, 0x8f, 0x90, 0x9d};
  for (unsigned char u : undefined)
    if (b == u)
      return 0xfffd;
  return b >= 0xa0 ? b : 0;
}

}  // namespace

bool reads_as(std::string_view raw, std::string_view text) {
  while (!raw.empty()) {
    char32_t expected = 0;
    std::size_t length = utf8_sequence(raw, expected);
    if (length == 0) {
      expected = single_byte_character(static_cast<unsigned char>(raw[0]));
      length = 1;
    } else if (!is_xml_character(expected)) {
      expected = 0xfffd;
    }
    char32_t got = 0;
    std::size_t got_length = utf8_sequence(text, got);
    if (got_length == 0 || !is_xml_character(got))
      return false;
    bool fits = expected == 0 ? got > 0xff && got != 0xfffd : got == expected;
    if (!fits)
      return false;
    raw.remove_prefix(length);
    text.remove_prefix(got_length);
  }
  return text.empty();
}

std::string normalize_line_ends(std::string_view text) {
  std::string normal;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      normal += text[i];
      continue;
    }
    normal += '\n';
    if (i + 1 < text.size() && text[i + 1] == '\n')
      ++i;
  }
  return normal;
}

// ---- Templates --------------------------------------------------------------

bool match(std::string_view text, std::string_view pattern, std::vector<std::string_view>& slots) {
  slots.clear();
  std::size_t t = 0;
  std::size_t i = 0;
  while (i < pattern.size()) {
    if (pattern.substr(i, 2) == "%s" || pattern.substr(i, 2) == "%f") {
      bool last = i + 2 == pattern.size();
      char stop = pattern[i + 1] == 's' ? '<' : last ? '\0' : pattern[i + 2];
      std::size_t end = stop == '\0' ? text.size() : text.find(stop, t);
      if (end == std::string_view::npos)
        return false;
      slots.push_back(text.substr(t, end - t));
      t = end;
      i += 2;
      continue;
    }
    std::size_t next = pattern.find('%', i + 1);
    std::string_view literal = pattern.substr(i, next == std::string_view::npos ? next : next - i);
    if (text.substr(t, literal.size()) != literal)
      return false;
    t += literal.size();
    i += literal.size();
  }
  return t == text.size();
}

// ---- An independent reading of record lines ---------------------------------

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool c_integer(const char* p, const char*& end, std::int32_t& value) {
  char* stop = nullptr;
  long long read = std::strtoll(p, &stop, 10);
  if (stop == p)
    return false;
  end = stop;
  value = static_cast<std::int32_t>(std::clamp<long long>(read, INT32_MIN, INT32_MAX));
  return true;
}

bool c_real(const char* p, const char*& end, float& value) {
  const char* digits = p;  // after white space and sign
  while (is_white_space(*digits))
    ++digits;
  if (*digits == '+' || *digits == '-')
    ++digits;
  bool named = *digits == 'i' || *digits == 'I' || *digits == 'n' || *digits == 'N';
  char* stop = nullptr;
  float read = std::strtof(p, &stop);
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    stop = const_cast<char*>(digits + 1);  // only its leading "0" is a decimal number
    read = std::copysign(0.0f, read);
  }
  if (stop == p || named || std::isinf(read))
    return false;
  end = stop;
  value = read;
  return true;
}

namespace {

/// `name` cut to at most 55 bytes between two characters; a byte that starts
/// no UTF-8 sequence is one character.
std::string cut_name(std::string_view name) {
  std::size_t kept = 0;
  while (kept < name.size()) {
    char32_t c = 0;
    std::size_t length = std::max<std::size_t>(utf8_sequence(name.substr(kept), c), 1);
    if (kept + length > 55)
      break;
    kept += length;
  }
  return std::string(name.substr(0, kept));
}

/// Whether the NUL-terminated `field` is one real and nothing else.
bool whole_real(const std::string& field, float& value) {
  const char* end = nullptr;
  return c_real(field.c_str(), end, value) && end == field.c_str() + field.size();
}

}  // namespace

bool read_by_pattern(std::string_view pattern, std::string_view line, record_values& r) {
  std::string copy(line);  // NUL-terminated, for the C library
  const char* p = copy.c_str();
  const char* end = p + copy.size();
  record_values got = r;
  int reals = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == ',') {
      if (p == end || *p != ',')
        return false;
      ++p;
    } else if (pattern[++i] == 's') {
      while (p < end && is_white_space(*p))
        ++p;
      const char* token = p;
      while (p < end && !is_white_space(*p))
        ++p;
      if (p == token)
        return false;
      std::string_view name(token, static_cast<std::size_t>(p - token));
      got.name = cut_name(name.ends_with(',') ? name.substr(0, name.size() - 1) : name);
    } else if (pattern[i] == 'f') {
      float value = 0;
      if (!c_real(p, p, value))
        return false;
      if (++reals <= 2)
        (reals == 1 ? got.latitude : got.longitude) = value;
    } else if (!c_integer(p, p, got.altitude_feet)) {  // the last integer is the altitude
      return false;
    }
  }
  r = got;
  return true;
}

void read_by_fields(std::string_view line, const record_kind& kind, record_values& r) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == ',')
      fields.emplace_back();
    else
      fields.back() += c;
  }
  for (std::string& field : fields) {
    while (!field.empty() && is_white_space(field.back()))
      field.pop_back();
    std::size_t start = 0;
    while (start < field.size() && is_white_space(field[start]))
      ++start;
    field.erase(0, start);
  }
  auto field = [&](std::size_t number) {
    return number >= 1 && number <= fields.size() ? &fields[number - 1] : nullptr;
  };

  if (auto* name = field(kind.name))
    r.name = cut_name(*name);
  auto* latitude = field(kind.latitude);
  auto* longitude = field(kind.longitude);
  float new_latitude = 0, new_longitude = 0;
  if (latitude && longitude && whole_real(*latitude, new_latitude) &&
      whole_real(*longitude, new_longitude)) {
    r.latitude = new_latitude;
    r.longitude = new_longitude;
  }
  if (auto* altitude = field(kind.altitude)) {
    const char* end = nullptr;
    c_integer(altitude->c_str(), end, r.altitude_feet);  // no integer: the altitude stays
  }
}

void read_record(std::string_view line, const record_kind& kind, record_values& r) {
  if (!read_by_pattern(kind.pattern, line, r))
    read_by_fields(line, kind, r);
}
