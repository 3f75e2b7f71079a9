// Conversions between the program's Windows-1252 text and UTF-8 at the edges (template
// files, the Qt backend). Characters that Windows-1252 lacks become '?'.
#pragma once

#include <string>
#include <string_view>

namespace planilla::ui {

std::string utf8To1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view text);
// Unicode code point of one Windows-1252 byte.
char32_t cp1252ToUnicode(unsigned char c);
// Can the tables hold this character? (a printable character of Windows-1252)
bool encodes1252(char32_t cp);

}  // namespace planilla::ui
