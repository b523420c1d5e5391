// What import and export share: axes, file names, safe writing, the import command line.
#include "tools/forge/authoring.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

bool parseAxis(const std::string& text, Axis& axis) {
    std::string s = text;
    int sign = 1;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        sign = s[0] == '-' ? -1 : 1;
        s.erase(0, 1);
    }
    if (s.size() != 1) return false;
    char c = static_cast<char>(s[0] | 0x20); // either case
    if (c < 'x' || c > 'z') return false;
    axis.index = c - 'x';
    axis.sign = sign;
    return true;
}

std::string axisText(Axis axis) {
    return std::string(axis.sign < 0 ? "-" : "+") + static_cast<char>('x' + axis.index);
}

std::string fileStem(const std::string& raceName) {
    std::string stem;
    for (char c : raceName) {
        unsigned char u = static_cast<unsigned char>(c);
        bool bad = u < 32 || u == 127 || std::string("/\\:*?\"<>| ").find(c) != std::string::npos;
        stem += bad ? '_' : c;
    }
    if (stem.empty() || stem == "." || stem == "..") stem = "race";
    return stem;
}

std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string textOf(const std::filesystem::path& path) {
    std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string* error) {
    const std::string temporary = path + ".part";
    std::error_code code;
    if (!writeFileBytes(temporary, bytes)) {
        std::filesystem::remove(pathOf(temporary), code);
        if (error)
            *error = "cannot write \"" + path +
                     "\"; check that its folder exists and that you may write there";
        return false;
    }
    std::filesystem::rename(pathOf(temporary), pathOf(path), code);
    if (code) {
        std::error_code ignored;
        std::filesystem::remove(pathOf(temporary), ignored);
        if (error) *error = "cannot put \"" + path + "\" in place (" + code.message() + ")";
        return false;
    }
    return true;
}

namespace {
// Double quotes for both POSIX shells and the Windows command line; the texts
// seldom hold a quote, which is escaped for a POSIX shell.
std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '$' || c == '`') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string number(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

std::string colours(const float* a, const float* b) {
    std::string s;
    for (int i = 0; i < 6; ++i) {
        if (i >= 3 && !b) break;
        if (i > 0) s += ',';
        s += number(i < 3 ? a[i] : b[i - 3], 9);
    }
    return s;
}
} // namespace

std::string importCommand(const ImportOptions& o) {
    std::string s = "kestrion-forge import " + quoted(o.modelPath) + " -o " + quoted(o.outputPath) +
                    " --name " + quoted(o.name) + " --description " + quoted(o.description);
    if (o.length != DefaultShipLength) s += " --length " + number(o.length, 17);
    if (o.forward.index != DefaultForward.index || o.forward.sign != DefaultForward.sign ||
        o.up.index != DefaultUp.index || o.up.sign != DefaultUp.sign)
        s += " --forward " + axisText(o.forward) + " --up " + axisText(o.up);
    if (o.keepOrigin) s += " --keep-origin";
    s += " --beam " + colours(o.beamNear, o.beamFar) + " --shield " + colours(o.shield, nullptr);
    if (!o.missilePath.empty()) s += " --missile " + quoted(o.missilePath);
    return s;
}
