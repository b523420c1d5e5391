// Texts from race files as the program shows and stores them: UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A race file's name or description as UTF-8. Valid UTF-8 (ASCII included)
// stays byte for byte; any other text is read as Windows-1252, the code page
// Western Windows showed such bytes in, and each byte above 127 becomes its
// character. Windows runs this program with UTF-8 as its code page, and an
// invalid sequence would come back from a list box as other bytes than the
// catalogue holds, so the saver could no longer find the race.
std::string raceText(std::string_view bytes);

// One character (a Unicode code point up to U+10FFFF) appended as UTF-8.
void appendUtf8(std::string& out, uint32_t point);

// The longest length up to `limit` bytes that ends on a character boundary.
size_t utf8Cut(std::string_view text, size_t limit);
