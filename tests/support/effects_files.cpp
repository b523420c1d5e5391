#include "tests/support/effects_files.h"

#include "data/effects.h"

#include <stdexcept>

namespace {
ImageRecord solidImage(int width, int height, int bytesPerPixel,
                       std::initializer_list<uint8_t> pixel) {
    ImageRecord image;
    image.width = width;
    image.height = height;
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), pixel);
    image.pixels.resize(size_t(width * height * bytesPerPixel));
    return image;
}

MeshRecord triangleMesh(float scale) {
    MeshRecord mesh;
    mesh.positions = {{{0, 0, 0}}, {{scale, 0, 0}}, {{0, scale, 0}}};
    mesh.triangles = {{0, 1, 2}};
    mesh.texCoords = {{{0, 0}}, {{1, 0}}, {{0, 1}}};
    return mesh;
}
} // namespace

EffectsFileRecord smallEffects() {
    EffectsFileRecord effects;
    effects.headValue = 7;
    for (int i = 0; i < 50; ++i)
        effects.frames.push_back(solidImage(2, 2, 4, {uint8_t(i), 0, 0, 255}));
    for (int i = 0; i < 6; ++i)
        effects.backgrounds[size_t(i)] =
            solidImage(3, 2, 3, {uint8_t(i + 1), uint8_t(16 * i), uint8_t(200 - i)});
    effects.sprite.positions = {{{-1, -1, 0}}, {{1, -1, 0}}, {{1, 1, 0}}, {{-1, 1, 0}}};
    effects.sprite.triangles = {{0, 1, 2}, {0, 2, 3}};
    effects.sprite.texCoords = {{{0, 0}}, {{1, 0}}, {{1, 1}}, {{0, 1}}};
    effects.blast = triangleMesh(2);
    effects.spare = triangleMesh(3);
    ImageRecord* singles[5] = {&effects.shield, &effects.blastImage, &effects.spareImage,
                               &effects.damage, &effects.smoke};
    for (int i = 0; i < 5; ++i) {
        uint8_t value = uint8_t(i + 1);
        *singles[i] = solidImage(2, 2, 4, {value, value, value, value});
    }
    return effects;
}

void writeEffects(const std::string& directory, const EffectsFileRecord& effects) {
    if (!writeFileBytes(directory + "Explosion.as", writeEffectsFile(effects)))
        throw std::runtime_error("cannot write " + directory + "Explosion.as");
}

void releaseLoadedEffects() {
    for (TextureImage& image : Effects.explosionFrames)
        destroyTextureImage(image);
    for (TextureImage& image : Effects.backgroundImages)
        destroyTextureImage(image);
    for (TextureImage* image : {&Effects.shieldImage, &Effects.blastImage, &Effects.spareImage,
                                &Effects.damageImage, &Effects.smokeImage})
        destroyTextureImage(*image);
    for (Mesh* mesh : {&Effects.spriteMesh, &Effects.blastMesh, &Effects.spareMesh}) {
        destroyMesh(*mesh);
        mesh->vertexCount = mesh->triangleCount = 0;
    }
}
