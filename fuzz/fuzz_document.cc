// Fuzz target: a whole conversion by each program, in memory, through the
// real driver. The low six bits of the first byte give the length of the
// input path, the bytes after it are the path, and the rest is the input
// file, header included. When bit 6 of the first byte is set, the byte after
// the path instead lengthens the first line, so that the line reader's block
// ends within the first 256 bytes of what follows. The document must be well-formed XML (checked by
// expat), name the input path, write every number as fixed-point with six
// decimals, and hold one record for every physical line after the header.

#include <expat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/driver.h"
#include "common/line_reader.h"
#include "fuzz/checks.h"
#include "pathtrove/track.h"
#include "pintrove/waypoint.h"

namespace {

constexpr std::size_t block_size = sizeof line_reader::block;

/// Lines of `input`, counting a last line without a line feed.
std::size_t physical_lines(std::string_view input) {
  auto feeds = static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n'));
  return feeds + (!input.empty() && input.back() != '\n' ? 1 : 0);
}

/// What the checks keep while expat reads a document.
struct reading {
  std::size_t placemarks = 0;
  std::size_t coordinate_lines = 0;
  std::size_t coordinate_elements = 0;
  bool in_first_name = false;
  bool seen_name = false;
  std::string first_name;  // the document's name: the input path
  bool in_coordinates = false;
  std::string coordinates;
};

/// Counts the "longitude,latitude,altitude" lines of one coordinates
/// element and checks each of their numbers.
void read_coordinates(reading& r) {
  std::string_view text(r.coordinates);
  while (!text.empty()) {
    std::size_t feed = text.find('\n');
    std::string_view line = text.substr(0, feed);
    text.remove_prefix(feed == std::string_view::npos ? text.size() : feed + 1);
    if (line.find_first_not_of(' ') == std::string_view::npos)
      continue;
    require(is_coordinate_triple(line), "a coordinate line is three fixed-point numbers", line);
    ++r.coordinate_lines;
  }
}

void XMLCALL start_element(void* data, const XML_Char* name, const XML_Char**) {
  auto& r = *static_cast<reading*>(data);
  std::string_view element(name);
  if (element == "Placemark")
    ++r.placemarks;
  if (element == "name" && !r.seen_name)
    r.in_first_name = true;
  if (element == "coordinates") {
    r.in_coordinates = true;
    r.coordinates.clear();
  }
}

void XMLCALL end_element(void* data, const XML_Char* name) {
  auto& r = *static_cast<reading*>(data);
  std::string_view element(name);
  if (element == "name" && r.in_first_name) {
    r.in_first_name = false;
    r.seen_name = true;
  }
  if (element == "coordinates") {
    r.in_coordinates = false;
    ++r.coordinate_elements;
    read_coordinates(r);
  }
}

void XMLCALL character_data(void* data, const XML_Char* text, int length) {
  auto& r = *static_cast<reading*>(data);
  std::string_view piece(text, static_cast<std::size_t>(length));
  if (r.in_first_name)
    r.first_name += piece;
  if (r.in_coordinates)
    r.coordinates += piece;
}

/// Parses `document` with expat, stopping the run unless it is well-formed.
reading parse(const std::string& document) {
  reading r;
  XML_Parser parser = XML_ParserCreate(nullptr);
  require(parser != nullptr, "expat could not start");
  XML_SetUserData(parser, &r);
  XML_SetElementHandler(parser, start_element, end_element);
  XML_SetCharacterDataHandler(parser, character_data);
  bool parsed =
      XML_Parse(parser, document.data(), static_cast<int>(document.size()), 1) == XML_STATUS_OK;
  if (!parsed)
    std::fprintf(stderr, "expat: %s at line %lu\n", XML_ErrorString(XML_GetErrorCode(parser)),
                 static_cast<unsigned long>(XML_GetCurrentLineNumber(parser)));
  XML_ParserFree(parser);
  require(parsed, "the document is well-formed XML", document);
  return r;
}

/// Converts `input`, named `path` and of `lines` physical lines, with `c` and
/// checks the document. `marker_per_record` tells a waypoint document (a
/// Placemark for each record) from a track document (a coordinate line for
/// each record).
void check_conversion(const converter& c, bool marker_per_record, const std::string& path,
                      std::string& input, std::size_t lines) {
  std::FILE* in = fmemopen(input.data(), input.size(), "r");
  require(in != nullptr, "fmemopen failed");
  memory_stream out;
  convert_status status = convert(c, in, out.file, path);
  std::fclose(in);
  std::string document = out.text();

  auto header = static_cast<std::size_t>(c.header_lines);
  if (lines < header) {
    require(status == convert_status::read_error && document.empty(),
            "an input that ends within its header gives a read error and no document", input);
    return;
  }
  require(status == convert_status::ok, "a conversion in memory succeeds", input);
  reading r = parse(document);
  std::size_t records = marker_per_record ? r.placemarks : r.coordinate_lines;
  require(records == lines - header, "one record for every line after the header", input);
  if (marker_per_record)
    require(r.coordinate_elements == r.placemarks && r.coordinate_lines == r.placemarks,
            "every Placemark holds one coordinate line", document);
  else
    require(r.placemarks == 1 && r.coordinate_elements == 1,
            "a track is one Placemark with one coordinates element", document);
  require(r.seen_name && reads_as(normalize_line_ends(path), r.first_name),
          "the document is named after the input path", path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0)
    return 0;
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  bool padded = data[0] & 0x40;
  std::size_t path_length = std::min<std::size_t>(data[0] & 0x3f, size - 1);
  std::string path(bytes.substr(1, path_length));
  bytes.remove_prefix(1 + path_length);
  std::string input;
  if (padded && !bytes.empty()) {
    auto shift = static_cast<unsigned char>(bytes[0]);
    input.assign(block_size - 256 + shift, 'h');
    bytes.remove_prefix(1);
  }
  input += bytes;
  std::size_t lines = physical_lines(input);
  check_conversion(waypoint_converter, true, path, input, lines);
  check_conversion(track_converter, false, path, input, lines);
  return 0;
}
