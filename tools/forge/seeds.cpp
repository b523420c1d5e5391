#include "tools/forge/seeds.h"

#include "tools/forge/geometry.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {
ImageRecord plainImage(int width, int height, int bytesPerPixel) {
    ImageRecord image;
    image.width = width;
    image.height = height;
    image.pixels.assign(size_t(width) * size_t(height) * size_t(bytesPerPixel), 0x80);
    return image;
}

// A square of two triangles in the x-y plane, facing +z.
MeshRecord square() {
    MeshRecord m;
    m.positions = {{-0.5f, 0.5f, 0}, {-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0.5f, 0.5f, 0}};
    m.texCoords = {{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    m.triangles = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

std::vector<uint8_t> withTrailingBytes(std::vector<uint8_t> bytes) {
    for (uint8_t b : {0x00, 0xff, 0x41, 0x07})
        bytes.push_back(b);
    return bytes;
}
} // namespace

RaceFileRecord minimalRace(const std::string& name) {
    RaceFileRecord race;
    race.headValue = 1;
    race.raceName = name;
    race.description = "Seed";
    race.textures = {plainImage(1, 1, 3)};
    race.parts = {PartRecord{square(), 0}};
    race.projectile = plainImage(1, 1, 4);
    race.shield = buildShieldMesh({&race.parts[0].mesh}, 1.08f);
    return race;
}

EffectsFileRecord minimalEffects() {
    EffectsFileRecord effects;
    effects.headValue = 1;
    effects.frames.assign(size_t(EffectsImageCount) - effects.backgrounds.size(),
                          plainImage(1, 1, 4));
    for (ImageRecord& background : effects.backgrounds)
        background = plainImage(1, 1, 3);
    effects.sprite = effects.blast = effects.spare = square();
    for (ImageRecord* image : {&effects.shield, &effects.blastImage, &effects.spareImage,
                               &effects.damage, &effects.smoke})
        *image = plainImage(1, 1, 4);
    return effects;
}

std::vector<SeedFile> raceSeeds() {
    const RaceFileRecord minimal = minimalRace("Seed");
    RaceFileRecord noParts = minimal;
    noParts.parts.clear();
    noParts.textures.clear();
    RaceFileRecord longestTexts = minimal;
    longestTexts.raceName.assign(size_t(MaxTextLength), 'N');
    longestTexts.description.assign(size_t(MaxTextLength), 'D');
    return {
        {"minimal.ast", writeRaceFile(minimal)},
        {"no-parts.ast", writeRaceFile(noParts)},
        {"longest-texts.ast", writeRaceFile(longestTexts)},
        {"trailing-bytes.ast", withTrailingBytes(writeRaceFile(minimal))},
    };
}

std::vector<SeedFile> raceEdgeSeeds() {
    const RaceFileRecord minimal = minimalRace("Seed");
    RaceFileRecord mostTextures = minimal;
    mostTextures.textures.assign(size_t(MaxTextureCount), plainImage(1, 1, 3));
    mostTextures.parts[0].textureIndex = MaxTextureCount - 1;
    // Parts without vertices: the most parts that still fit a small file.
    RaceFileRecord mostParts = minimal;
    mostParts.parts.resize(size_t(MaxPartCount));
    RaceFileRecord widest = minimal;
    widest.textures[0] = plainImage(MaxImageSide, 1, 3);
    return {
        {"most-textures.ast", writeRaceFile(mostTextures)},
        {"most-parts.ast", writeRaceFile(mostParts)},
        {"widest-texture.ast", writeRaceFile(widest)},
    };
}

std::vector<SeedFile> effectsSeeds() {
    const EffectsFileRecord minimal = minimalEffects();
    EffectsFileRecord bareMeshes = minimal;
    bareMeshes.blast = bareMeshes.spare = MeshRecord{};
    return {
        {"minimal.as", writeEffectsFile(minimal)},
        {"bare-meshes.as", writeEffectsFile(bareMeshes)},
        {"trailing-bytes.as", withTrailingBytes(writeEffectsFile(minimal))},
    };
}

std::vector<SeedFile> effectsEdgeSeeds() {
    EffectsFileRecord widest = minimalEffects();
    widest.backgrounds[0] = plainImage(MaxImageSide, 1, 3);
    EffectsFileRecord tallest = minimalEffects();
    tallest.smoke = plainImage(1, MaxImageSide, 4);
    return {
        {"widest-background.as", writeEffectsFile(widest)},
        {"tallest-smoke.as", writeEffectsFile(tallest)},
    };
}

std::vector<SeedFile> gltfSeeds() {
    using Layout = GltfShip::Layout;
    auto one = [](const char* name, GltfShip ship) {
        SeedFile file = gltfShip(ship).front();
        file.name = name;
        return file;
    };
    return {one("ship.glb", {Layout::Binary, true, true, false}),
            one("hierarchy.glb", {Layout::Binary, true, true, true}),
            one("ship.gltf", {Layout::DataUris, true, true, false}),
            one("flat-coloured.gltf", {Layout::DataUris, false, false, false})};
}

bool writeSeedCorpus(const std::string& outDir, std::string* error) {
    const std::filesystem::path root(outDir);
    const std::pair<const char*, std::vector<SeedFile>> sets[] = {
        {"race", raceSeeds()},
        {"race-edges", raceEdgeSeeds()},
        {"effects", effectsSeeds()},
        {"effects-edges", effectsEdgeSeeds()},
        {"gltf", gltfSeeds()}};
    for (const auto& [folder, seeds] : sets) {
        std::error_code code;
        std::filesystem::create_directories(root / folder, code);
        if (code) {
            if (error)
                *error = "cannot create the folder \"" + (root / folder).string() + "\" (" +
                         code.message() + "); give a folder you may write to";
            return false;
        }
        for (const SeedFile& seed : seeds) {
            const std::string path = (root / folder / seed.name).string();
            if (!writeFileBytes(path, seed.bytes)) {
                if (error) *error = "cannot write \"" + path + "\"";
                return false;
            }
        }
    }
    return true;
}

int commandSeeds(const std::vector<std::string>& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "kestrion-forge seeds: give exactly one output folder (try --help)\n");
        return 2;
    }
    std::string error;
    if (!writeSeedCorpus(args[1], &error)) {
        std::fprintf(stderr, "kestrion-forge seeds: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
