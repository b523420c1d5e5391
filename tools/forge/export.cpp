// `kestrion-forge export`: a race as files a modelling program opens: NAME.obj
// with NAME.mtl and one PNG per texture, plus the shield mesh and the missile
// sprite beside them. The model is written with the import's default axes
// (nose +z, top +y), so importing it again gives the same race.
#include "tools/forge/authoring.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {
void line(std::string& out, const char* pattern, double a, double b, double c = 0) {
    char text[128];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    out += text;
}

// Back from the race's frame (nose -y, top +z) to the model's (nose +z, top +y).
void putVertex(std::string& out, const std::array<float, 3>& p) {
    line(out, "v %.9g %.9g %.9g\n", p[0], p[2], -p[1]);
}

// The rows of our textures run down from t = 0; OBJ's v runs up.
void putTexCoord(std::string& out, const std::array<float, 2>& uv) {
    line(out, "vt %.9g %.9g\n", uv[0], 1.0f - uv[1]);
}

void putTriangles(std::string& out, const MeshRecord& mesh, size_t base) {
    for (const MeshTriangle& t : mesh.triangles) {
        char text[128];
        std::snprintf(text, sizeof text, "f %zu/%zu %zu/%zu %zu/%zu\n", base + size_t(t.a),
                      base + size_t(t.a), base + size_t(t.b), base + size_t(t.b),
                      base + size_t(t.c), base + size_t(t.c));
        out += text;
    }
}

std::vector<uint8_t> bytesOf(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The longest side of the part meshes' bounds, as import measures it.
double longestSide(const RaceFileRecord& race) {
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const PartRecord& part : race.parts)
        for (const auto& p : part.mesh.positions)
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], double(p[size_t(c)]));
                high[c] = std::max(high[c], double(p[size_t(c)]));
            }
    double longest = 0;
    for (int c = 0; c < 3; ++c)
        longest = std::max(longest, high[c] - low[c]);
    return longest;
}
} // namespace

ExportedRace exportRace(const RaceFileRecord& race) {
    ExportedRace result;
    const std::string stem = fileStem(race.raceName);

    ImportOptions& again = result.reimport;
    again.modelPath = stem + ".obj";
    again.outputPath = stem + ".ast";
    again.name = race.raceName;
    again.description = race.description;
    double longest = longestSide(race);
    if (longest > 0) again.length = longest;
    // The default races turn about their own origin, not the centre of their bounds.
    again.keepOrigin = true;
    std::copy(race.beamColourNear, race.beamColourNear + 3, again.beamNear);
    std::copy(race.beamColourFar, race.beamColourFar + 3, again.beamFar);
    std::copy(race.shieldColour, race.shieldColour + 3, again.shield);
    again.missilePath = stem + "-missile.png";

    std::string obj = "# Kestrion race \"" + race.raceName + "\": \"" + race.description +
                      "\"\n# Written by kestrion-forge " KESTRION_VERSION
                      ". Nose along +z, top along +y (Blender's\n"
                      "# default OBJ axes). To make the race from these files again:\n#   " +
                      importCommand(again) + "\nmtllib " + stem + ".mtl\n";
    std::string mtl = "# Materials of the Kestrion race \"" + race.raceName + "\"\n";
    for (size_t i = 0; i < race.textures.size(); ++i) {
        std::string png = stem + "-texture" + std::to_string(i) + ".png";
        mtl += "\nnewmtl texture" + std::to_string(i) +
               "\nKa 0 0 0\nKd 1 1 1\nKs 0 0 0\nd 1\nillum 1\nmap_Kd " + png + "\n";
        result.files.push_back({png, encodePng(fromImageRecord(race.textures[i], 3))});
    }
    size_t base = 1;
    for (size_t i = 0; i < race.parts.size(); ++i) {
        const MeshRecord& mesh = race.parts[i].mesh;
        obj += "\no part" + std::to_string(i) + "\n";
        for (const auto& p : mesh.positions)
            putVertex(obj, p);
        for (size_t k = 0; k < mesh.positions.size(); ++k)
            putTexCoord(obj,
                        k < mesh.texCoords.size() ? mesh.texCoords[k] : std::array<float, 2>{0, 0});
        obj += "usemtl texture" + std::to_string(race.parts[i].textureIndex) + "\n";
        putTriangles(obj, mesh, base);
        base += mesh.positions.size();
    }

    std::string shield = "# The shield of the Kestrion race \"" + race.raceName +
                         "\" (for reference: import builds the shield around the model)\n"
                         "o shield\n";
    for (const auto& p : race.shield.positions)
        putVertex(shield, p);
    for (size_t k = 0; k < race.shield.positions.size(); ++k)
        putTexCoord(shield, k < race.shield.texCoords.size() ? race.shield.texCoords[k]
                                                             : std::array<float, 2>{0, 0});
    putTriangles(shield, race.shield, 1);

    result.files.insert(result.files.begin(), {stem + ".mtl", bytesOf(mtl)});
    result.files.insert(result.files.begin(), {stem + ".obj", bytesOf(obj)});
    result.files.push_back({stem + "-shield.obj", bytesOf(shield)});
    result.files.push_back({again.missilePath, encodePng(fromImageRecord(race.projectile, 4))});
    return result;
}

int commandExport(const std::vector<std::string>& args) {
    if (args.size() != 3) {
        std::fputs("usage: kestrion-forge export RACE.ast OUTDIR\n", stderr);
        return 2;
    }
    const std::string& path = args[1];
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes)) {
        std::fprintf(stderr, "kestrion-forge export: %s: cannot read the race file\n",
                     path.c_str());
        return 2;
    }
    RaceFileRecord race;
    std::string error;
    if (!parseRaceFile(bytes.data(), bytes.size(), race, &error)) {
        std::fprintf(stderr, "kestrion-forge export: %s: not a valid race file: %s\n", path.c_str(),
                     error.c_str());
        return 2;
    }
    ExportedRace exported = exportRace(race);
    std::error_code code;
    std::filesystem::create_directories(pathOf(args[2]), code);
    for (const auto& [name, content] : exported.files) {
        std::string target = textOf(pathOf(args[2]) / pathOf(name));
        if (!writeFileReplacing(target, content, &error)) {
            std::fprintf(stderr, "kestrion-forge export: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", target.c_str());
    }
    std::printf("To import it again, in %s:\n  %s\n", args[2].c_str(),
                importCommand(exported.reimport).c_str());
    return 0;
}
