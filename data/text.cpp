#include "data/text.h"

#include <cstdint>

namespace {
// Windows-1252 0x80 to 0x9F; its five unassigned bytes map to the same code
// point, as Windows maps them.
constexpr uint16_t HighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool continuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `i`, or 0.
size_t sequenceLength(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) return 1;
    size_t length = 0;
    uint32_t point = 0, least = 0;
    if ((lead & 0xE0) == 0xC0)
        length = 2, point = lead & 0x1F, least = 0x80;
    else if ((lead & 0xF0) == 0xE0)
        length = 3, point = lead & 0x0F, least = 0x800;
    else if ((lead & 0xF8) == 0xF0)
        length = 4, point = lead & 0x07, least = 0x10000;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if (!continuation(byte)) return 0;
        point = point << 6 | (byte & 0x3F);
    }
    // Overlong forms, surrogates and points past Unicode are not UTF-8.
    if (point < least || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return 0;
    return length;
}

bool validUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const size_t length = sequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

} // namespace

void appendUtf8(std::string& out, uint32_t point) {
    if (point < 0x80) {
        out += static_cast<char>(point);
        return;
    }
    const int tail = point < 0x800 ? 1 : point < 0x10000 ? 2 : 3;
    static const uint8_t lead[4] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(lead[tail] | point >> (6 * tail));
    for (int k = tail - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | (point >> (6 * k) & 0x3F));
}

std::string raceText(std::string_view bytes) {
    if (validUtf8(bytes)) return std::string(bytes);
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        appendUtf8(text, byte >= 0x80 && byte < 0xA0 ? HighControls[byte - 0x80] : byte);
    }
    return text;
}

size_t utf8Cut(std::string_view text, size_t limit) {
    if (limit >= text.size()) return text.size();
    size_t cut = limit;
    // Back off over continuation bytes to the start of the character the limit splits.
    while (cut > 0 && continuation(static_cast<unsigned char>(text[cut])))
        --cut;
    return cut;
}
