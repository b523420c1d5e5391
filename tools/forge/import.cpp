// `kestrion-forge import`: a race from a Wavefront OBJ model, its MTL materials
// and their texture images (or from a glTF model, gltf_import.cpp). Every OBJ
// object or group with one material becomes one part mesh; every texture
// becomes a power-of-two texture table entry.
#include "data/race_data.h"
#include "data/text.h"
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"
#include "tools/forge/model_import.h"
#include "tools/forge/painters.h"

#include <tiny_obj_loader.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

namespace fs = std::filesystem;

const float NoMaterialColour[3] = {0.7f, 0.7f, 0.7f};

FileState readInput(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::error_code code;
    if (!fs::exists(path, code)) return FileState::Missing;
    if (fs::is_directory(path, code)) return FileState::Unreadable;
    return readFileBytes(textOf(path), bytes) ? FileState::Read : FileState::Unreadable;
}

bool failWith(ForgeReport& report, const std::string& error) {
    report.error = error;
    return false;
}

namespace {
// Parts without a material, and materials whose texture is missing, take a
// plain picture of this size in their diffuse colour.
constexpr int PlainSide = 4;

// A model or material file's text as UTF-8, for the loader. Windows tools often
// save text with a byte-order mark: a UTF-8 one is skipped (else the first line
// is lost), UTF-16 in either byte order is converted, with a warning naming it.
// Broken UTF-16 fails with the reason in `error`.
bool textOfFile(const std::vector<uint8_t>& bytes, const std::string& path, std::string& text,
                std::vector<std::string>& warnings, std::string& error) {
    const size_t n = bytes.size();
    if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text.assign(bytes.begin() + 3, bytes.end());
        return true;
    }
    const bool little = n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (!little && !(n >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF)) {
        text.assign(bytes.begin(), bytes.end());
        return true;
    }
    const std::string encoding = std::string("UTF-16 (") + (little ? "little" : "big") + " endian)";
    const std::string resave = "; save it again as UTF-8";
    if (n % 2) {
        error = path + ": starts with a " + encoding + " byte-order mark but has an odd number " +
                "of bytes (" + std::to_string(n) + "), so it is cut short or not UTF-16" + resave;
        return false;
    }
    auto unit = [&](size_t at) {
        return little ? uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8
                      : uint32_t(bytes[at]) << 8 | uint32_t(bytes[at + 1]);
    };
    text.clear();
    text.reserve(n / 2);
    for (size_t at = 2; at < n; at += 2) {
        uint32_t point = unit(at);
        if (point >= 0xD800 && point <= 0xDFFF) {
            uint32_t low = at + 2 < n ? unit(at + 2) : 0;
            if (point > 0xDBFF || low < 0xDC00 || low > 0xDFFF) {
                error = path + ": " + encoding + " text with a lone surrogate half at byte " +
                        std::to_string(at) + ", which is no character" + resave;
                return false;
            }
            point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        }
        appendUtf8(text, point);
    }
    warnings.push_back(path + ": read as " + encoding);
    return true;
}

// Looks MTL files up beside the model. A missing one is a warning (its
// materials then take the plain colour); one that exists but cannot be read
// stops the import.
struct MaterialFiles : tinyobj::MaterialReader {
    fs::path folder;
    std::string fatal;
    std::vector<std::string> warnings;
    std::vector<fs::path> materialFolders; // the folder of each material's MTL file

    bool operator()(const std::string& name, std::vector<tinyobj::material_t>* materials,
                    std::map<std::string, int>* names, std::string* warn,
                    std::string* err) override {
        fs::path path = folder / pathOf(name);
        std::vector<uint8_t> bytes;
        switch (readInput(path, bytes)) {
        case FileState::Missing:
            warnings.push_back(textOf(path) +
                               ": material file not found; its parts take a plain colour");
            return false;
        case FileState::Unreadable:
            if (fatal.empty()) fatal = textOf(path) + ": cannot read the material file";
            return false;
        case FileState::Read:
            break;
        }
        std::string text, why;
        if (!textOfFile(bytes, textOf(path), text, warnings, why)) {
            if (fatal.empty()) fatal = why;
            return false;
        }
        std::istringstream in(text);
        tinyobj::LoadMtl(names, materials, &in, warn, err);
        materialFolders.resize(materials->size(), path.parent_path());
        return true;
    }
};

// The turn that puts the model's forward axis along -y (the nose) and its up
// axis along +z: x = -(p . (forward x up)), y = -(p . forward), z = p . up.
std::array<double, 3> turned(const std::array<float, 3>& p, Axis forward, Axis up) {
    double f = forward.sign * p[forward.index];
    double u = up.sign * p[up.index];
    int side = 3 - forward.index - up.index;
    // forward x up along the third axis, its sign from the cyclic order.
    int cyclic = (forward.index + 1) % 3 == up.index ? 1 : -1;
    double s = cyclic * forward.sign * up.sign * p[side];
    return {-s, -f, u};
}

struct PartBuild {
    int material;
    std::vector<std::array<int, 3>> corners; // vertex, texcoord, normal index per corner
};

// One part per OBJ shape and material, in file order.
std::vector<PartBuild> gatherParts(const std::vector<tinyobj::shape_t>& shapes) {
    std::vector<PartBuild> parts;
    for (const tinyobj::shape_t& shape : shapes) {
        std::vector<int> order; // the shape's materials, first use first
        std::map<int, std::vector<std::array<int, 3>>> byMaterial;
        size_t at = 0;
        for (size_t f = 0; f < shape.mesh.num_face_vertices.size(); ++f) {
            size_t count = shape.mesh.num_face_vertices[f];
            int material = f < shape.mesh.material_ids.size() ? shape.mesh.material_ids[f] : -1;
            if (count == 3) {
                if (!byMaterial.count(material)) order.push_back(material);
                for (size_t k = 0; k < 3; ++k) {
                    const tinyobj::index_t& i = shape.mesh.indices[at + k];
                    byMaterial[material].push_back(
                        {i.vertex_index, i.texcoord_index, i.normal_index});
                }
            }
            at += count;
        }
        for (int material : order)
            parts.push_back({material, std::move(byMaterial[material])});
    }
    return parts;
}

std::string outOfRange(const std::string& model, const char* what, int index, size_t count) {
    return model + ": a face uses " + what + " " + std::to_string(int64_t(index) + 1) +
           ", but the model has " + std::to_string(count);
}

// Mesh from the corners: one vertex for each distinct vertex, texture
// coordinate and normal combination (so hard edges stay hard), numbered in the
// order of the model's own vertices. Normals serve only that, so a corner whose
// normal the model lacks (tools that drop normals keep their indices) has none;
// `danglingNormals` counts such corners.
bool buildMesh(PartBuild& part, const tinyobj::attrib_t& attrib, const std::string& model,
               MeshRecord& mesh, size_t& danglingNormals, ForgeReport& report) {
    size_t positions = attrib.vertices.size() / 3, uvs = attrib.texcoords.size() / 2,
           normals = attrib.normals.size() / 3;
    std::map<std::array<int, 3>, int> index;
    for (auto& c : part.corners) {
        if (c[0] < 0 || size_t(c[0]) >= positions)
            return failWith(report, outOfRange(model, "vertex", c[0], positions));
        if (c[1] < -1 || (c[1] >= 0 && size_t(c[1]) >= uvs))
            return failWith(report, outOfRange(model, "texture coordinate", c[1], uvs));
        if (c[2] < -1 || (c[2] >= 0 && size_t(c[2]) >= normals)) {
            c[2] = -1;
            ++danglingNormals;
        }
        index.emplace(c, 0);
    }
    if (index.size() > size_t(MaxMeshVertices) ||
        part.corners.size() / 3 > size_t(MaxMeshTriangles))
        return failWith(report, model + ": a part has " + std::to_string(index.size()) +
                                    " vertices and " + std::to_string(part.corners.size() / 3) +
                                    " triangles; a race file holds at most " +
                                    std::to_string(MaxMeshVertices) + " of each a part");
    int next = 0;
    for (auto& [key, number] : index) {
        number = next++;
        const float* p = &attrib.vertices[3 * size_t(key[0])];
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
            return failWith(report,
                            model + ": vertex " + std::to_string(key[0] + 1) + " is not a number");
        mesh.positions.push_back({p[0], p[1], p[2]});
        std::array<float, 2> uv{0, 0};
        if (key[1] >= 0) {
            // OBJ's v runs up the picture; our rows run down it from t = 0.
            uv = {attrib.texcoords[2 * size_t(key[1])],
                  1.0f - attrib.texcoords[2 * size_t(key[1]) + 1]};
        }
        mesh.texCoords.push_back(uv);
    }
    for (size_t k = 0; k + 2 < part.corners.size(); k += 3)
        mesh.triangles.push_back(
            {index[part.corners[k]], index[part.corners[k + 1]], index[part.corners[k + 2]]});
    return true;
}

} // namespace

int TextureTable::add(const std::string& key, const Picture& picture) {
    auto found = byKey.find(key);
    if (found != byKey.end()) return found->second;
    images.push_back(toImageRecord(fitToPowerOfTwo(picture)));
    return byKey[key] = static_cast<int>(images.size()) - 1;
}

int TextureTable::addPlain(const float* colour) {
    char key[64];
    std::snprintf(key, sizeof key, "colour %.4f %.4f %.4f", colour[0], colour[1], colour[2]);
    Picture p;
    p.width = p.height = PlainSide;
    p.channels = 3;
    for (int i = 0; i < PlainSide * PlainSide; ++i)
        for (int c = 0; c < 3; ++c)
            p.pixels.push_back(
                static_cast<uint8_t>(std::lround(std::clamp(colour[c], 0.0f, 1.0f) * 255.0f)));
    return add(key, p);
}

namespace {
// A texture file named by a material: as written, relative to the MTL's folder,
// else by its bare file name there (models often carry another machine's paths).
fs::path findTexture(const std::string& name, const fs::path& folder) {
    std::string portable = name;
    std::replace(portable.begin(), portable.end(), '\\', '/');
    fs::path given = pathOf(portable);
    fs::path first = given.is_absolute() ? given : folder / given;
    std::error_code code;
    if (fs::exists(first, code)) return first;
    fs::path bare = folder / given.filename();
    return fs::exists(bare, code) ? bare : first;
}

bool textureFor(int materialId, const std::vector<tinyobj::material_t>& materials,
                const MaterialFiles& files, TextureTable& table, int& slot, ForgeReport& report) {
    if (materialId < 0 || size_t(materialId) >= materials.size()) {
        slot = table.addPlain(NoMaterialColour);
        return true;
    }
    const tinyobj::material_t& m = materials[size_t(materialId)];
    const float diffuse[3] = {m.diffuse[0], m.diffuse[1], m.diffuse[2]};
    if (m.diffuse_texname.empty()) {
        slot = table.addPlain(diffuse);
        return true;
    }
    fs::path folder = size_t(materialId) < files.materialFolders.size()
                          ? files.materialFolders[size_t(materialId)]
                          : files.folder;
    fs::path path = findTexture(m.diffuse_texname, folder);
    std::string key = "file " + textOf(path.lexically_normal());
    if (table.byKey.count(key)) {
        slot = table.byKey[key];
        return true;
    }
    std::vector<uint8_t> bytes;
    switch (readInput(path, bytes)) {
    case FileState::Missing:
        report.warnings.push_back(textOf(path) + ": texture of material \"" + m.name +
                                  "\" not found; its parts take a plain colour");
        slot = table.addPlain(diffuse);
        return true;
    case FileState::Unreadable:
        return failWith(report, textOf(path) + ": cannot read the texture");
    case FileState::Read:
        break;
    }
    Picture picture;
    std::string why;
    if (!decodePicture(bytes, 3, picture, why)) return failWith(report, textOf(path) + ": " + why);
    slot = table.add(key, picture);
    return true;
}

bool missileFor(const ImportOptions& options, ImageRecord& image, ForgeReport& report) {
    if (options.missilePath.empty()) {
        auto colour = [](const float* c) { return Colour{c[0], c[1], c[2]}; };
        image = toBgra(paintMissile(64, MissileShape::Flare, colour(options.beamNear),
                                    colour(options.beamFar)));
        return true;
    }
    std::vector<uint8_t> bytes;
    switch (readInput(pathOf(options.missilePath), bytes)) {
    case FileState::Missing:
        return failWith(report, options.missilePath + ": missile image not found");
    case FileState::Unreadable:
        return failWith(report, options.missilePath + ": cannot read the missile image");
    case FileState::Read:
        break;
    }
    Picture picture;
    std::string why;
    if (!decodePicture(bytes, 4, picture, why))
        return failWith(report, options.missilePath + ": " + why);
    image = toImageRecord(fitToPowerOfTwo(picture));
    return true;
}

// Turns, centres and scales every part to the ship's size.
bool placeModel(const ImportOptions& options, RaceFileRecord& race, ForgeReport& report) {
    std::vector<std::vector<std::array<double, 3>>> turnedParts;
    std::array<double, 3> low{HUGE_VAL, HUGE_VAL, HUGE_VAL}, high{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (const PartRecord& part : race.parts) {
        turnedParts.emplace_back();
        for (const std::array<float, 3>& v : part.mesh.positions) {
            std::array<double, 3> p = turned(v, options.forward, options.up);
            for (int c = 0; c < 3; ++c) {
                low[size_t(c)] = std::min(low[size_t(c)], p[size_t(c)]);
                high[size_t(c)] = std::max(high[size_t(c)], p[size_t(c)]);
            }
            turnedParts.back().push_back(p);
        }
    }
    double longest = 0;
    for (int c = 0; c < 3; ++c)
        longest = std::max(longest, high[size_t(c)] - low[size_t(c)]);
    if (!(longest > 0) || !std::isfinite(longest))
        return failWith(report, options.modelPath + ": the model has no size (all its faces "
                                                    "lie on one point)");
    double scale = options.length / longest;
    for (size_t i = 0; i < race.parts.size(); ++i)
        for (size_t k = 0; k < turnedParts[i].size(); ++k)
            for (int c = 0; c < 3; ++c) {
                double centre = options.keepOrigin ? 0.0 : (low[size_t(c)] + high[size_t(c)]) / 2;
                race.parts[i].mesh.positions[k][size_t(c)] =
                    static_cast<float>((turnedParts[i][k][size_t(c)] - centre) * scale);
            }
    return true;
}

bool checkTexts(const ImportOptions& options, ForgeReport& report) {
    for (const auto& [text, what] :
         {std::pair{&options.name, "name"}, std::pair{&options.description, "description"}}) {
        if (text->size() > size_t(MaxTextLength))
            return failWith(
                report, std::string("the ") + what + " is " + std::to_string(text->size()) +
                            " bytes; a race file holds at most " + std::to_string(MaxTextLength));
        for (char c : *text)
            if (static_cast<unsigned char>(c) < 32)
                return failWith(report, std::string("the ") + what +
                                            " holds a control character; use plain text");
    }
    if (options.name.empty())
        return failWith(report, "the name is empty; an empty name matches every fleet entry");
    std::string entry = fleetEntryText(options.name, 20, options.description);
    if (entry.size() + 1 > FleetEntryCapacity)
        return failWith(report, "the fleet entry \"" + entry + "\" is " +
                                    std::to_string(entry.size()) + " bytes; the settings hold " +
                                    std::to_string(FleetEntryCapacity - 1) +
                                    ", shorten the name or the description");
    return true;
}
} // namespace

bool importRace(const ImportOptions& options, RaceFileRecord& race, ForgeReport& report) {
    if (!checkTexts(options, report)) return false;
    const std::string& model = options.modelPath;
    std::vector<uint8_t> bytes;
    switch (readInput(pathOf(model), bytes)) {
    case FileState::Missing:
        return failWith(report, model + ": model file not found");
    case FileState::Unreadable:
        return failWith(report, model + ": cannot read the model file");
    case FileState::Read:
        break;
    }
    if (isGltfModel(model, bytes)) {
        const fs::path folder = pathOf(model).parent_path();
        auto beside = [&folder](const std::string& name, std::vector<uint8_t>& out) {
            return readInput(folder / pathOf(name), out);
        };
        return importGltf(options, bytes, beside, race, report);
    }

    MaterialFiles files;
    files.folder = pathOf(model).parent_path();
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err, text;
    if (!textOfFile(bytes, model, text, report.warnings, err)) return failWith(report, err);
    std::istringstream in(text);
    bool loaded = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, &in, &files, true);
    if (!files.fatal.empty()) return failWith(report, files.fatal);
    if (!loaded) return failWith(report, model + ": " + (err.empty() ? "cannot parse" : err));
    // The loader drops a polygon with an index beyond the model and only warns.
    if (warn.find("invalid vertex index") != std::string::npos)
        return failWith(report, model + ": a face uses a vertex beyond the model's vertices");
    for (const std::string& w : files.warnings)
        report.warnings.push_back(w);
    std::istringstream lines(warn);
    for (std::string line; std::getline(lines, line);)
        // Normals out of range get a warning of their own below.
        if (!line.empty() && line.find("Failed to load material") == std::string::npos &&
            line.find("normal indices out of bounds") == std::string::npos)
            report.warnings.push_back(model + ": " + line);

    std::vector<PartBuild> builds = gatherParts(shapes);
    if (builds.empty())
        return failWith(report, model + ": the model has no faces; a ship needs at least one");
    if (builds.size() > size_t(MaxPartCount))
        return failWith(report, model + ": the model has " + std::to_string(builds.size()) +
                                    " objects and materials; a race file holds at most " +
                                    std::to_string(MaxPartCount) + " parts");

    RaceFileRecord out;
    TextureTable table;
    size_t danglingNormals = 0;
    for (PartBuild& build : builds) {
        PartRecord part;
        if (!buildMesh(build, attrib, model, part.mesh, danglingNormals, report) ||
            !textureFor(build.material, materials, files, table, part.textureIndex, report))
            return false;
        out.parts.push_back(std::move(part));
    }
    if (danglingNormals > 0) {
        bool one = danglingNormals == 1;
        report.warnings.push_back(model + ": " + std::to_string(danglingNormals) +
                                  (one ? " triangle corner uses" : " triangle corners use") +
                                  " a normal the model does not have (it has " +
                                  std::to_string(attrib.normals.size() / 3) + "); " +
                                  (one ? "it is" : "they are") + " read without a normal");
    }
    out.textures = std::move(table.images);
    return finishImport(options, out, race, report);
}

bool finishImport(const ImportOptions& options, RaceFileRecord& out, RaceFileRecord& race,
                  ForgeReport& report) {
    out.headValue = 1;
    out.raceName = options.name;
    out.description = options.description;
    if (!placeModel(options, out, report)) return false;
    std::copy(options.beamNear, options.beamNear + 3, out.beamColourNear);
    std::copy(options.beamFar, options.beamFar + 3, out.beamColourFar);
    std::copy(options.shield, options.shield + 3, out.shieldColour);
    if (!missileFor(options, out.projectile, report)) return false;
    std::vector<const MeshRecord*> hull;
    for (const PartRecord& p : out.parts)
        hull.push_back(&p.mesh);
    out.shield = buildShieldMesh(hull, 1.08f);

    Findings findings = checkRace(out);
    if (!findings.faults.empty()) return failWith(report, findings.faults.front());
    for (const std::string& w : findings.warnings)
        report.warnings.push_back(w);
    race = std::move(out);
    return true;
}

std::string raceNameForModel(const std::string& path) {
    constexpr size_t Longest = 24; // the fleet entry keeps it with a short description
    std::string name;
    for (char c : textOf(pathOf(path).stem())) {
        if (static_cast<unsigned char>(c) < 32) continue;
        name += c == '_' || c == '-' ? ' ' : c;
    }
    if (name.size() > Longest) {
        size_t end = Longest;
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            --end; // not inside a UTF-8 character
        name.resize(end);
    }
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(name.begin());
    return name.empty() ? "Imported" : name;
}

namespace {
const char* const ImportUsage =
    "usage: kestrion-forge import MODEL -o RACE.ast --name NAME --description TEXT\n"
    "         [--length L] [--forward AXIS] [--up AXIS] [--keep-origin]\n"
    "         [--beam R,G,B[,R,G,B]] [--shield R,G,B] [--missile IMAGE]\n"
    "\n"
    "  MODEL            a Wavefront .obj (its .mtl files and textures beside it), a\n"
    "                   glTF 2.0 .gltf (its .bin and image files beside it) or a .glb\n"
    "  --length L       the ship's longest side in world units (default 0.8)\n"
    "  --forward AXIS   the model's nose direction, one of +x -x +y -y +z -z (default +z)\n"
    "  --up AXIS        the model's top direction (default +y); the defaults suit\n"
    "                   Blender's OBJ export with its default settings, and glTF\n"
    "  --keep-origin    turn the ship about the model's origin instead of the\n"
    "                   centre of its bounds\n"
    "  --beam           beam colour 0..1; with six values, the near and the far end\n"
    "  --shield         shield colour 0..1\n"
    "  --missile IMAGE  the missile sprite (PNG, JPEG, TGA, BMP; alpha is kept)\n";

int usageError(const std::string& problem) {
    std::fprintf(stderr, "kestrion-forge import: %s\n\n%s", problem.c_str(), ImportUsage);
    return 2;
}

bool parseColours(const std::string& text, std::vector<float>& values) {
    values.clear();
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        float v = std::strtof(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !(v >= 0.0f && v <= 1.0f)) return false;
        values.push_back(v);
    }
    return true;
}

bool endsWithAst(const std::string& path) {
    std::string ext = textOf(pathOf(path).extension());
    for (char& c : ext)
        c = static_cast<char>(c | 0x20);
    return ext == ".ast";
}
} // namespace

int commandImport(const std::vector<std::string>& args) {
    ImportOptions o;
    bool haveName = false, haveDescription = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            std::fputs(ImportUsage, stdout);
            return 0;
        }
        if (a == "--keep-origin") {
            o.keepOrigin = true;
            continue;
        }
        bool takesValue = a == "-o" || a == "--name" || a == "--description" || a == "--length" ||
                          a == "--forward" || a == "--up" || a == "--beam" || a == "--shield" ||
                          a == "--missile";
        if (!takesValue) {
            if (a.size() > 1 && a[0] == '-') return usageError("unknown option \"" + a + "\"");
            if (!o.modelPath.empty()) return usageError("give one model file");
            o.modelPath = a;
            continue;
        }
        if (i + 1 >= args.size()) return usageError(a + " needs a value");
        const std::string& v = args[++i];
        std::vector<float> c;
        if (a == "-o") {
            o.outputPath = v;
        } else if (a == "--name") {
            o.name = v;
            haveName = true;
        } else if (a == "--description") {
            o.description = v;
            haveDescription = true;
        } else if (a == "--length") {
            char* end = nullptr;
            o.length = std::strtod(v.c_str(), &end);
            if (*end != '\0' || !(o.length > 0.0 && o.length <= 100.0))
                return usageError("--length takes a number above 0 and at most 100");
        } else if (a == "--forward" || a == "--up") {
            if (!parseAxis(v, a == "--up" ? o.up : o.forward))
                return usageError(a + " takes one of +x -x +y -y +z -z");
        } else if (a == "--beam") {
            if (!parseColours(v, c) || (c.size() != 3 && c.size() != 6))
                return usageError("--beam takes R,G,B or R,G,B,R,G,B with values 0..1");
            // One colour: the far end; the near end is lighter, as in the default races.
            for (int k = 0; k < 3; ++k) {
                o.beamFar[k] = c.size() == 6 ? c[size_t(k) + 3] : c[size_t(k)];
                o.beamNear[k] = c.size() == 6 ? c[size_t(k)] : 0.5f + 0.5f * c[size_t(k)];
            }
        } else if (a == "--shield") {
            if (!parseColours(v, c) || c.size() != 3)
                return usageError("--shield takes R,G,B with values 0..1");
            std::copy(c.begin(), c.end(), o.shield);
        } else {
            o.missilePath = v;
        }
    }
    if (o.modelPath.empty()) return usageError("name the model file");
    if (o.outputPath.empty()) return usageError("name the race file to write with -o");
    if (!haveName || !haveDescription) return usageError("give --name and --description");
    if (o.forward.index == o.up.index)
        return usageError("--forward and --up must be different axes");

    RaceFileRecord race;
    ForgeReport report;
    bool ok = importRace(o, race, report);
    for (const std::string& w : report.warnings)
        std::fprintf(stderr, "kestrion-forge import: warning: %s\n", w.c_str());
    if (!ok) {
        std::fprintf(stderr, "kestrion-forge import: %s\n", report.error.c_str());
        return 2;
    }
    if (!endsWithAst(o.outputPath))
        std::fprintf(stderr,
                     "kestrion-forge import: warning: %s does not end in .ast; the saver lists "
                     "only .ast files\n",
                     o.outputPath.c_str());
    std::string error;
    if (!writeFileReplacing(o.outputPath, writeRaceFile(race), &error)) {
        std::fprintf(stderr, "kestrion-forge import: %s\n", error.c_str());
        return 1;
    }
    size_t vertices = 0, triangles = 0;
    for (const PartRecord& p : race.parts) {
        vertices += p.mesh.positions.size();
        triangles += p.mesh.triangles.size();
    }
    std::printf("%s: race \"%s\", %zu parts, %zu vertices, %zu triangles, %zu textures\n",
                o.outputPath.c_str(), race.raceName.c_str(), race.parts.size(), vertices, triangles,
                race.textures.size());
    return 0;
}
