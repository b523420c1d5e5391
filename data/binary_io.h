// Little-endian reading and writing of the data files' building blocks. The
// reader never goes past the bytes it was given: every read checks what is left
// and the first failure sticks, with its reason.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

struct ByteReader {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    bool failed = false;
    std::string error;
};

inline ByteReader makeByteReader(const uint8_t* data, size_t size) {
    ByteReader reader;
    reader.data = data;
    reader.size = data ? size : 0;
    return reader;
}

inline size_t bytesLeft(const ByteReader& reader) {
    return reader.size - reader.pos;
}

// Records the first failure only; always returns false so callers can `return fail(...)`.
inline bool fail(ByteReader& reader, const std::string& reason) {
    if (!reader.failed) {
        reader.failed = true;
        reader.error = reason;
    }
    return false;
}

// What a read is of ("texture 3 width"), for its failure message only: the
// text is put together when a read fails, so that reading a well-formed file
// builds none (a race or effects file makes hundreds of reads).
struct ReadLabel {
    const char* name = "";
    int64_t index = -1; // part of the label when 0 or more
    const char* suffix = "";
    ReadLabel with(const char* more) const { return {name, index, more}; }
};

inline std::string describe(const ReadLabel& label) {
    std::string text = label.name;
    if (label.index >= 0) text += std::to_string(label.index);
    return text + label.suffix;
}
inline const std::string& describe(const std::string& what) {
    return what;
}
inline std::string describe(const char* what) {
    return what;
}

// True when `count` more bytes are present; otherwise fails with "truncated in <what>".
template <class What> bool need(ByteReader& reader, uint64_t count, const What& what) {
    if (reader.failed) return false;
    if (count > bytesLeft(reader)) return fail(reader, "truncated in " + describe(what));
    return true;
}

template <class What> bool readInt32(ByteReader& reader, int32_t& value, const What& what) {
    if (!need(reader, 4, what)) return false;
    const uint8_t* p = reader.data + reader.pos;
    uint32_t bits =
        uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    value = static_cast<int32_t>(bits);
    reader.pos += 4;
    return true;
}

template <class What> bool readFloat(ByteReader& reader, float& value, const What& what) {
    int32_t bits;
    if (!readInt32(reader, bits, what)) return false;
    std::memcpy(&value, &bits, 4);
    return true;
}

template <class What>
bool readBytes(ByteReader& reader, size_t count, std::vector<uint8_t>& out, const What& what) {
    if (!need(reader, count, what)) return false;
    out.assign(reader.data + reader.pos, reader.data + reader.pos + count);
    reader.pos += count;
    return true;
}

template <class What> bool skipBytes(ByteReader& reader, size_t count, const What& what) {
    if (!need(reader, count, what)) return false;
    reader.pos += count;
    return true;
}

inline void putInt32(std::vector<uint8_t>& out, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(bits >> (8 * i)));
}

inline void putFloat(std::vector<uint8_t>& out, float value) {
    int32_t bits;
    std::memcpy(&bits, &value, 4);
    putInt32(out, bits);
}

inline void putBytes(std::vector<uint8_t>& out, const uint8_t* data, size_t count) {
    if (count) out.insert(out.end(), data, data + count);
}
