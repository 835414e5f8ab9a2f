#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

// Files and messages the way each system wants them. Paths and messages are
// UTF-8 on every system; on Windows they are turned into UTF-16 here, at the
// system's door, and nowhere else.

/// Opens the file at `path` to read its bytes as they are; null on failure.
std::FILE* open_input(const char* path);

/// Creates the file at `path`, or empties it, to write text; null on failure.
std::FILE* open_output(const char* path);

/// Writes the pieces of one message on standard error so that a console
/// shows its characters.
void put_message(std::initializer_list<std::string_view> pieces);

#ifdef _WIN32
/// The UTF-8 form of the UTF-16 `text`.
std::string to_utf8(std::wstring_view text);

/// The UTF-16 form of the UTF-8 `text`.
std::wstring to_utf16(std::string_view text);
#endif
