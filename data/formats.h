// The race file ("*.ast") and effects file ("Explosion.as") as plain records,
// with one reader and one writer for each: no GL here.
#pragma once
#include "data/mesh.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An image block: width x height pixels of 3 (BGR) or 4 (BGRA) bytes each.
struct ImageRecord {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

// A mesh block: positions, triangles, then one texture coordinate per vertex.
struct MeshRecord {
    std::vector<std::array<float, 3>> positions;
    std::vector<MeshTriangle> triangles;
    std::vector<std::array<float, 2>> texCoords; // same count as positions
};

struct PartRecord {
    MeshRecord mesh;
    int32_t textureIndex = 0;
};

struct RaceFileRecord {
    int32_t headValue = 0;
    std::string raceName;
    std::string description;
    std::vector<ImageRecord> textures; // BGR
    std::vector<PartRecord> parts;
    float beamColourNear[3] = {1, 1, 1};
    float beamColourFar[3] = {1, 1, 1};
    float shieldColour[3] = {1, 1, 1};
    int32_t reservedValue = 0;
    std::array<int32_t, 60> reserved{};
    ImageRecord projectile; // BGRA
    MeshRecord shield;
};

struct EffectsFileRecord {
    int32_t headValue = 0;
    std::vector<ImageRecord> frames;          // BGRA; the file's image count is frames + 6
    std::array<ImageRecord, 6> backgrounds;   // BGR
    std::array<int32_t, 3> meshHeads{};       // the int32 before each mesh, skipped by readers
    MeshRecord sprite, blast, spare;
    std::array<int32_t, 71> reserved{};
    ImageRecord shield, blastImage, spareImage, damage, smoke; // BGRA
};

// Limits every reader enforces; a file beyond them is rejected like one that cannot be opened.
constexpr int32_t MaxTextLength = 99;        // texts live in 100-byte fields with a terminator
constexpr int32_t MaxImageSide = 4096;       // width and height each 1..4096
constexpr int32_t MaxTextureCount = 1024;    // race texture table entries
constexpr int32_t MaxPartCount = 1024;       // race part meshes
constexpr int32_t MaxMeshVertices = 1 << 20; // per mesh
constexpr int32_t MaxMeshTriangles = 1 << 20;
constexpr int32_t EffectsImageCount = 56; // 50 explosion frames and 6 backgrounds
constexpr int32_t MinSpriteTriangles = 2;
constexpr size_t RaceHeadMaxBytes = 4 + 4 + MaxTextLength + 4 + MaxTextLength;

// Parsers: true on success; on failure false with a short reason in `error` (if given).
bool parseRaceFile(const uint8_t* data, size_t size, RaceFileRecord& out, std::string* error);
bool parseEffectsFile(const uint8_t* data, size_t size, EffectsFileRecord& out,
                      std::string* error);
// The head only (name and description), as the race catalogue reads it.
bool parseRaceHead(const uint8_t* data, size_t size, std::string& raceName,
                   std::string& description, std::string* error);

// Writers: the exact bytes of the format.
std::vector<uint8_t> writeRaceFile(const RaceFileRecord& race);
std::vector<uint8_t> writeEffectsFile(const EffectsFileRecord& effects);

// Whole-file I/O: read completely and close at once.
bool readFileBytes(const std::string& path, std::vector<uint8_t>& out);
bool writeFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
