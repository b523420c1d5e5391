#include "data/formats.h"

#include "data/binary_io.h"
#include "data/race_data.h"

#include <cstdio>
#include <initializer_list>

namespace {

constexpr int RgbBytes = 3;
constexpr int BgraBytes = 4;

std::string str(int64_t value) {
    return std::to_string(value);
}

bool readCount(ByteReader& in, int32_t& count, int32_t max, const ReadLabel& what) {
    if (!readInt32(in, count, what)) return false;
    if (count < 0 || count > max)
        return fail(in, describe(what) + " " + str(count) + " outside 0.." + str(max));
    return true;
}

bool readText(ByteReader& in, std::string& text, const ReadLabel& what) {
    int32_t length;
    if (!readInt32(in, length, what.with(" length"))) return false;
    if (length < 0 || length > MaxTextLength)
        return fail(in, describe(what) + " length " + str(length) + " outside 0.." +
                            str(MaxTextLength));
    if (!need(in, length, what)) return false;
    text.assign(reinterpret_cast<const char*>(in.data + in.pos), size_t(length));
    in.pos += size_t(length);
    return true;
}

bool readImage(ByteReader& in, ImageRecord& image, int bytesPerPixel, const ReadLabel& what) {
    if (!readInt32(in, image.width, what.with(" width")) ||
        !readInt32(in, image.height, what.with(" height")))
        return false;
    if (image.width < 1 || image.width > MaxImageSide || image.height < 1 ||
        image.height > MaxImageSide)
        return fail(in, describe(what) + " size " + str(image.width) + "x" + str(image.height) +
                            " outside 1.." + str(MaxImageSide) + " per side");
    size_t bytes = size_t(image.width) * size_t(image.height) * size_t(bytesPerPixel);
    return readBytes(in, bytes, image.pixels, what.with(" pixels"));
}

bool readMesh(ByteReader& in, MeshRecord& mesh, const ReadLabel& what) {
    int32_t vertexCount, triangleCount;
    if (!readCount(in, vertexCount, MaxMeshVertices, what.with(" vertex count"))) return false;
    // Positions plus the texture coordinates that follow the triangles: check before reserving.
    if (!need(in, uint64_t(vertexCount) * 20 + 4, what)) return false;
    mesh.positions.resize(size_t(vertexCount));
    for (auto& p : mesh.positions)
        for (float& c : p)
            readFloat(in, c, what.with(" positions"));
    if (!readCount(in, triangleCount, MaxMeshTriangles, what.with(" triangle count"))) return false;
    if (!need(in, uint64_t(triangleCount) * 12 + uint64_t(vertexCount) * 8, what)) return false;
    mesh.triangles.resize(size_t(triangleCount));
    for (size_t f = 0; f < mesh.triangles.size(); ++f) {
        MeshTriangle& t = mesh.triangles[f];
        for (int32_t* index : {&t.a, &t.b, &t.c}) {
            readInt32(in, *index, what.with(" triangles"));
            if (*index < 0 || *index >= vertexCount)
                return fail(in, describe(what) + " triangle " + str(int64_t(f)) + " uses vertex " +
                                    str(*index) + " outside 0.." + str(vertexCount - 1));
        }
    }
    mesh.texCoords.resize(size_t(vertexCount));
    for (auto& uv : mesh.texCoords)
        for (float& c : uv)
            readFloat(in, c, what.with(" texture coordinates"));
    return !in.failed;
}

bool finish(const ByteReader& in, std::string* error) {
    if (in.failed && error) *error = in.error;
    return !in.failed;
}

void putText(std::vector<uint8_t>& out, const std::string& text) {
    putInt32(out, static_cast<int32_t>(text.size()));
    putBytes(out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

void putImage(std::vector<uint8_t>& out, const ImageRecord& image) {
    putInt32(out, image.width);
    putInt32(out, image.height);
    putBytes(out, image.pixels.data(), image.pixels.size());
}

void putMesh(std::vector<uint8_t>& out, const MeshRecord& mesh) {
    putInt32(out, static_cast<int32_t>(mesh.positions.size()));
    for (const auto& p : mesh.positions)
        for (float c : p)
            putFloat(out, c);
    putInt32(out, static_cast<int32_t>(mesh.triangles.size()));
    for (const MeshTriangle& t : mesh.triangles) {
        putInt32(out, t.a);
        putInt32(out, t.b);
        putInt32(out, t.c);
    }
    // Exactly one pair per vertex, whatever the record holds.
    for (size_t i = 0; i < mesh.positions.size(); ++i) {
        std::array<float, 2> uv =
            i < mesh.texCoords.size() ? mesh.texCoords[i] : std::array<float, 2>{0, 0};
        putFloat(out, uv[0]);
        putFloat(out, uv[1]);
    }
}

} // namespace

bool parseRaceHead(const uint8_t* data, size_t size, std::string& raceName,
                   std::string& description, std::string* error) {
    ByteReader in = makeByteReader(data, size);
    int32_t headValue;
    std::string name, text;
    if (readInt32(in, headValue, "head value") && readText(in, name, {"race name"}) &&
        readText(in, text, {"description"})) {
        raceName = std::move(name);
        description = std::move(text);
    }
    return finish(in, error);
}

bool parseRaceFile(const uint8_t* data, size_t size, RaceFileRecord& out, std::string* error) {
    ByteReader in = makeByteReader(data, size);
    RaceFileRecord race;
    int32_t textureCount, partCount;
    if (!readInt32(in, race.headValue, "head value") ||
        !readText(in, race.raceName, {"race name"}) ||
        !readText(in, race.description, {"description"}) ||
        !readCount(in, textureCount, MaxTextureCount, {"texture count"}) ||
        !need(in, uint64_t(textureCount) * (8 + RgbBytes), "texture table"))
        return finish(in, error);

    race.textures.resize(size_t(textureCount));
    for (int32_t i = 0; i < textureCount; ++i)
        if (!readImage(in, race.textures[size_t(i)], RgbBytes, {"texture ", i}))
            return finish(in, error);

    // A part is at least its two counts and its texture index.
    if (!readCount(in, partCount, MaxPartCount, {"part count"}) ||
        !need(in, uint64_t(partCount) * 12, "part meshes"))
        return finish(in, error);
    race.parts.resize(size_t(partCount));
    for (int32_t i = 0; i < partCount; ++i) {
        PartRecord& part = race.parts[size_t(i)];
        const ReadLabel what{"part mesh ", i};
        if (!readMesh(in, part.mesh, what) ||
            !readInt32(in, part.textureIndex, what.with(" texture index")))
            return finish(in, error);
        if (part.textureIndex < 0 || part.textureIndex >= textureCount) {
            fail(in, describe(what) + " texture index " + str(part.textureIndex) + " outside 0.." +
                         str(textureCount - 1));
            return finish(in, error);
        }
    }

    for (float& c : race.beamColourNear)
        readFloat(in, c, "beam colours");
    for (float& c : race.beamColourFar)
        readFloat(in, c, "beam colours");
    for (float& c : race.shieldColour)
        readFloat(in, c, "shield colour");
    readInt32(in, race.reservedValue, "reserved value");
    for (int32_t& r : race.reserved)
        readInt32(in, r, "reserved block");
    if (!readImage(in, race.projectile, BgraBytes, {"projectile image"}) ||
        !readMesh(in, race.shield, {"shield mesh"}))
        return finish(in, error);

    // The shield drawing and the hit points use vertices 0..25 and triangles 0..47.
    if (race.shield.positions.size() < size_t(HitPointCount) ||
        race.shield.triangles.size() < size_t(ShieldTriangleCount)) {
        fail(in, "shield mesh has " + str(int64_t(race.shield.positions.size())) +
                     " vertices and " + str(int64_t(race.shield.triangles.size())) +
                     " triangles; at least 26 and 48 are needed");
        return finish(in, error);
    }
    for (int f = 0; f < ShieldTriangleCount; ++f) {
        const MeshTriangle& t = race.shield.triangles[size_t(f)];
        if (t.a >= HitPointCount || t.b >= HitPointCount || t.c >= HitPointCount) {
            fail(in, "shield triangle " + str(f) + " uses a vertex beyond the 26 hit points");
            return finish(in, error);
        }
    }
    out = std::move(race);
    return true;
}

bool parseEffectsFile(const uint8_t* data, size_t size, EffectsFileRecord& out,
                      std::string* error) {
    ByteReader in = makeByteReader(data, size);
    EffectsFileRecord effects;
    int32_t imageCount;
    if (!readInt32(in, effects.headValue, "head value") ||
        !readInt32(in, imageCount, "image count"))
        return finish(in, error);
    if (imageCount != EffectsImageCount) {
        fail(in, "image count " + str(imageCount) + " is not " + str(EffectsImageCount));
        return finish(in, error);
    }
    effects.frames.resize(size_t(imageCount) - effects.backgrounds.size());
    for (size_t i = 0; i < effects.frames.size(); ++i)
        if (!readImage(in, effects.frames[i], BgraBytes, {"explosion frame ", int64_t(i)}))
            return finish(in, error);
    for (size_t i = 0; i < effects.backgrounds.size(); ++i)
        if (!readImage(in, effects.backgrounds[i], RgbBytes, {"background image ", int64_t(i)}))
            return finish(in, error);
    MeshRecord* meshes[3] = {&effects.sprite, &effects.blast, &effects.spare};
    const char* meshNames[3] = {"sprite mesh", "blast mesh", "spare mesh"};
    for (int i = 0; i < 3; ++i)
        if (!readInt32(in, effects.meshHeads[size_t(i)], meshNames[i]) ||
            !readMesh(in, *meshes[i], {meshNames[i]}))
            return finish(in, error);
    if (effects.sprite.triangles.size() < size_t(MinSpriteTriangles)) {
        fail(in, "sprite mesh has " + str(int64_t(effects.sprite.triangles.size())) +
                     " triangles; at least 2 are needed");
        return finish(in, error);
    }
    for (int32_t& r : effects.reserved)
        readInt32(in, r, "reserved block");
    ImageRecord* images[5] = {&effects.shield, &effects.blastImage, &effects.spareImage,
                              &effects.damage, &effects.smoke};
    const char* imageNames[5] = {"shield image", "blast image", "spare image", "damage image",
                                 "smoke image"};
    for (int i = 0; i < 5; ++i)
        if (!readImage(in, *images[i], BgraBytes, {imageNames[i]})) return finish(in, error);
    out = std::move(effects);
    return true;
}

std::vector<uint8_t> writeRaceFile(const RaceFileRecord& race) {
    std::vector<uint8_t> out;
    putInt32(out, race.headValue);
    putText(out, race.raceName);
    putText(out, race.description);
    putInt32(out, static_cast<int32_t>(race.textures.size()));
    for (const ImageRecord& image : race.textures)
        putImage(out, image);
    putInt32(out, static_cast<int32_t>(race.parts.size()));
    for (const PartRecord& part : race.parts) {
        putMesh(out, part.mesh);
        putInt32(out, part.textureIndex);
    }
    // The file keeps the beam colours first, then the shield colour.
    for (float c : race.beamColourNear)
        putFloat(out, c);
    for (float c : race.beamColourFar)
        putFloat(out, c);
    for (float c : race.shieldColour)
        putFloat(out, c);
    putInt32(out, race.reservedValue);
    for (int32_t r : race.reserved)
        putInt32(out, r);
    putImage(out, race.projectile);
    putMesh(out, race.shield);
    return out;
}

std::vector<uint8_t> writeEffectsFile(const EffectsFileRecord& effects) {
    std::vector<uint8_t> out;
    putInt32(out, effects.headValue);
    putInt32(out, static_cast<int32_t>(effects.frames.size() + effects.backgrounds.size()));
    for (const ImageRecord& image : effects.frames)
        putImage(out, image);
    for (const ImageRecord& image : effects.backgrounds)
        putImage(out, image);
    const MeshRecord* meshes[3] = {&effects.sprite, &effects.blast, &effects.spare};
    for (int i = 0; i < 3; ++i) {
        putInt32(out, effects.meshHeads[size_t(i)]);
        putMesh(out, *meshes[i]);
    }
    for (int32_t r : effects.reserved)
        putInt32(out, r);
    for (const ImageRecord* image : {&effects.shield, &effects.blastImage, &effects.spareImage,
                                     &effects.damage, &effects.smoke})
        putImage(out, *image);
    return out;
}

bool readFileBytes(const std::string& path, std::vector<uint8_t>& out) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    bool ok = !std::ferror(file);
    std::fclose(file);
    if (ok) out = std::move(bytes);
    return ok;
}

bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0) ok = false;
    return ok;
}
