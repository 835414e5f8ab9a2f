#include "common/system.h"

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

std::string to_utf8(std::wstring_view text) {
  int size = static_cast<int>(text.size());
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

std::wstring to_utf16(std::string_view text) {
  int size = static_cast<int>(text.size());
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(), length);
  return result;
}

// The narrow functions would take the path in the ANSI code page, which
// cannot spell most names; the wide ones take every name the system can hold.
std::FILE* open_input(const char* path) {
  // In binary mode, so that a Ctrl-Z byte (0x1A) does not end the input. A
  // carriage return before a line feed then stays in the line, where it is
  // white space at its end like any other.
  return _wfopen(to_utf16(path).c_str(), L"rb");
}

std::FILE* open_output(const char* path) {
  return _wfopen(to_utf16(path).c_str(), L"w");
}

void put_message(std::initializer_list<std::string_view> pieces) {
  std::string message;
  for (std::string_view piece : pieces)
    message += piece;
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode;
  if (!GetConsoleMode(handle, &mode)) {
    // A file or a pipe gets the UTF-8 bytes, with CRLF line ends from the
    // text stream as before.
    std::fwrite(message.data(), 1, message.size(), stderr);
    return;
  }
  // A console shows bytes in its own code page, so it is given characters.
  // Line feeds go out as CRLF as through the text stream, in case the
  // console is set not to return the cursor on a bare line feed.
  std::wstring text;
  for (wchar_t c : to_utf16(message)) {
    if (c == L'\n')
      text += L'\r';
    text += c;
  }
  DWORD written;
  WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

#else

std::FILE* open_input(const char* path) {
  return std::fopen(path, "r");
}

std::FILE* open_output(const char* path) {
  return std::fopen(path, "w");
}

void put_message(std::initializer_list<std::string_view> pieces) {
  for (std::string_view piece : pieces)
    std::fwrite(piece.data(), 1, piece.size(), stderr);
}

#endif
