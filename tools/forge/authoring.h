// Race authoring: `kestrion-forge import` makes a race from a Wavefront OBJ
// model with its MTL materials and texture images, or from a glTF 2.0 model
// (.gltf with its files, or .glb); `kestrion-forge export` writes a race back
// out as OBJ, MTL and PNG files. OBJ and MTL are read by tinyobjloader, glTF by
// tinygltf (over nlohmann-json), images by stb; the race file itself through
// data/formats.
#pragma once
#include "data/formats.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// A signed model axis, as in "+z" or "-y".
struct Axis {
    int index = 2; // 0 x, 1 y, 2 z
    int sign = 1;
};
bool parseAxis(const std::string& text, Axis& axis);
std::string axisText(Axis axis);

// The default model axes are those of Blender's OBJ export with its default
// settings: the nose along +z, the top along +y.
constexpr Axis DefaultForward{2, 1};
constexpr Axis DefaultUp{1, 1};
// The longest side of the default races.
constexpr double DefaultShipLength = 0.8;

struct ImportOptions {
    std::string modelPath;
    std::string outputPath;
    std::string name;
    std::string description;
    double length = DefaultShipLength;
    Axis forward = DefaultForward;
    Axis up = DefaultUp;
    bool keepOrigin = false; // scale about the model's origin instead of centring its bounds
    float beamNear[3] = {0.60f, 0.85f, 1.00f};
    float beamFar[3] = {0.20f, 0.50f, 1.00f};
    float shield[3] = {0.40f, 0.75f, 1.00f};
    std::string missilePath; // empty: a glowing sprite in the beam colours
};

// What went wrong (naming the file and the problem) and what was merely odd.
struct ForgeReport {
    std::string error;
    std::vector<std::string> warnings;
};

// Builds the race described by `options` (nothing is written). False with
// `report.error` set when the input cannot make a race.
bool importRace(const ImportOptions& options, RaceFileRecord& race, ForgeReport& report);

// A file the model names (a glTF buffer or image), by its name as written in
// the model (relative to the model's folder).
enum class FileState { Read, Missing, Unreadable };
using CompanionFiles = std::function<FileState(const std::string& name, std::vector<uint8_t>&)>;

// True when the model is glTF: a .gltf or .glb name, or a binary glTF's header.
bool isGltfModel(const std::string& path, const std::vector<uint8_t>& bytes);
// The import of a glTF model held in memory, its other files through `files`.
bool importGltf(const ImportOptions& options, const std::vector<uint8_t>& bytes,
                const CompanionFiles& files, RaceFileRecord& race, ForgeReport& report);

// A race name from a model's file name, for imports that ask for none: the
// stem with '_' and '-' as spaces, at most 24 bytes, "Imported" when empty.
std::string raceNameForModel(const std::string& path);

// The files that export writes for `race`, by file name, and the import options
// (relative to the output folder) that give the race back.
struct ExportedRace {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
    ImportOptions reimport;
};
ExportedRace exportRace(const RaceFileRecord& race);
// The shell command that runs `options` as an import.
std::string importCommand(const ImportOptions& options);

// The race name as a file name: characters that no file name may hold, and
// spaces (which OBJ and MTL file references cannot hold), become '_'.
std::string fileStem(const std::string& raceName);

// Paths from and to our UTF-8 texts (arguments, OBJ and MTL file names): the
// plain narrow conversion would use another code page on Windows.
std::filesystem::path pathOf(const std::string& utf8);
std::string textOf(const std::filesystem::path& path);

// Writes through a temporary file beside `path` that is renamed at the end, so
// that `path` is either complete or untouched.
bool writeFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes,
                        std::string* error);

// Pixels decoded by stb: rows top first, `channels` bytes a pixel (3 RGB, 4 RGBA).
struct Picture {
    int width = 0;
    int height = 0;
    int channels = 3;
    std::vector<uint8_t> pixels;
};

// Decodes PNG, JPEG, TGA, BMP and the other formats stb_image reads into
// `channels` bytes a pixel. False with the reason in `error`.
bool decodePicture(const std::vector<uint8_t>& bytes, int channels, Picture& out,
                   std::string& error);
// The nearest power of two to `side`, at most `limit`.
int powerOfTwoSide(int side, int limit);
// Resampled (stb's resize, in sRGB) to power-of-two sides no larger than 512;
// returned unchanged when its sides already are.
constexpr int MaxTextureSide = 512;
Picture fitToPowerOfTwo(const Picture& picture);
// The race file's byte order: BGR for 3 channels, BGRA for 4; and back.
ImageRecord toImageRecord(const Picture& picture);
Picture fromImageRecord(const ImageRecord& image, int channels);
std::vector<uint8_t> encodePng(const Picture& picture);

// The race drawn from three angles side by side into a width x height picture,
// off-screen. False with the reason in `error` when no off-screen OpenGL works.
bool previewRace(const RaceFileRecord& race, int width, int height, Picture& picture,
                 std::string& error);

// The commands.
int commandImport(const std::vector<std::string>& args);
int commandPreview(const std::vector<std::string>& args);
int commandExport(const std::vector<std::string>& args);
