#include "data/race_reader.h"

#include "gl/gl_table.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

TextureImage makeImage(const ImageRecord& record) {
    TextureImage image;
    image.width = record.width;
    image.height = record.height;
    image.pixels = new uint8_t[record.pixels.size()];
    std::memcpy(image.pixels, record.pixels.data(), record.pixels.size());
    return image;
}

// Vertices (positions and texture coordinates) and triangles; everything else stays zero.
void fillGeometry(Mesh& mesh, const MeshRecord& record) {
    mesh.vertexCount = static_cast<int32_t>(record.positions.size());
    mesh.triangleCount = static_cast<int32_t>(record.triangles.size());
    mesh.vertices = new MeshVertex[record.positions.size()]();
    mesh.triangles = new MeshTriangle[record.triangles.size()]();
    for (size_t i = 0; i < record.positions.size(); ++i) {
        MeshVertex& v = mesh.vertices[i];
        v.x = record.positions[i][0];
        v.y = record.positions[i][1];
        v.z = record.positions[i][2];
        v.u = record.texCoords[i][0];
        v.v = record.texCoords[i][1];
    }
    for (size_t f = 0; f < record.triangles.size(); ++f)
        mesh.triangles[f] = record.triangles[f];
}

} // namespace

void computeVertexNormals(Mesh& mesh) {
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        v.nx = v.ny = v.nz = 0;
        v.useCount = 0;
    }
    for (int32_t f = 0; f < mesh.triangleCount; ++f) {
        const MeshTriangle& t = mesh.triangles[f];
        MeshVertex* corner[3] = {&mesh.vertices[t.a], &mesh.vertices[t.b], &mesh.vertices[t.c]};
        const MeshVertex &p0 = *corner[0], &p1 = *corner[1], &p2 = *corner[2];
        float d1x = p0.x - p2.x, d1y = p0.y - p2.y, d1z = p0.z - p2.z;
        float d2x = p2.x - p1.x, d2y = p2.y - p1.y, d2z = p2.z - p1.z;
        // Not normalised: larger triangles weigh more.
        float nx = d1y * d2z - d2y * d1z;
        float ny = d1z * d2x - d2z * d1x;
        float nz = d1x * d2y - d2x * d1y;
        for (MeshVertex* v : corner) {
            v->nx += nx;
            v->ny += ny;
            v->nz += nz;
            v->useCount += 1;
        }
    }
    for (int32_t i = 0; i < mesh.vertexCount; ++i) {
        MeshVertex& v = mesh.vertices[i];
        if (v.useCount == 0) continue; // unused: stays zero rather than 0/0
        float count = static_cast<float>(v.useCount);
        v.nx /= count;
        v.ny /= count;
        v.nz /= count;
        float length = std::sqrt(v.nx * v.nx + v.ny * v.ny + v.nz * v.nz);
        if (length != 0) {
            v.nx /= length;
            v.ny /= length;
            v.nz /= length;
        }
    }
}

void buildDrawArrays(Mesh& mesh) {
    size_t triangles = size_t(mesh.triangleCount);
    mesh.positions = new float[9 * triangles];
    mesh.normals = new float[9 * triangles];
    mesh.texCoords = new float[6 * triangles];
    for (size_t f = 0; f < triangles; ++f) {
        const MeshTriangle& t = mesh.triangles[f];
        const int32_t corners[3] = {t.a, t.b, t.c};
        for (size_t k = 0; k < 3; ++k) {
            const MeshVertex& v = mesh.vertices[corners[k]];
            float* p = mesh.positions + 9 * f + 3 * k;
            float* n = mesh.normals + 9 * f + 3 * k;
            float* uv = mesh.texCoords + 6 * f + 2 * k;
            p[0] = v.x, p[1] = v.y, p[2] = v.z;
            n[0] = v.nx, n[1] = v.ny, n[2] = v.nz;
            uv[0] = v.u, uv[1] = v.v;
        }
    }
}

Mesh* loadRaceRecord(const RaceFileRecord& record, RaceData& race) {
    int32_t textureCount = static_cast<int32_t>(record.textures.size());
    int32_t meshCount = static_cast<int32_t>(record.parts.size());

    TextureImage* table = textureCount ? new TextureImage[size_t(textureCount)] : nullptr;
    for (int32_t i = 0; i < textureCount; ++i)
        table[i] = makeImage(record.textures[size_t(i)]);

    Mesh* meshes = new Mesh[size_t(meshCount) + 1];
    for (int32_t i = 0; i < meshCount; ++i) {
        const PartRecord& part = record.parts[size_t(i)];
        Mesh& mesh = meshes[i];
        fillGeometry(mesh, part.mesh);
        mesh.image = &table[part.textureIndex];
        // Each part gets its own name even when parts share a table entry.
        glGenTextures(1, &mesh.texture);
        uploadRgbTexture(mesh.texture, *mesh.image);
        computeVertexNormals(mesh);
        buildDrawArrays(mesh);
    }

    TextureImage* projectile = new TextureImage(makeImage(record.projectile));
    uint32_t projectileTexture = 0;
    glGenTextures(1, &projectileTexture);
    uploadRgbaTexture(projectileTexture, *projectile);

    fillGeometry(meshes[meshCount], record.shield);

    race.meshes = meshes;
    race.meshCount = meshCount;
    std::memcpy(race.shieldColour, record.shieldColour, sizeof race.shieldColour);
    std::memcpy(race.beamColourNear, record.beamColourNear, sizeof race.beamColourNear);
    std::memcpy(race.beamColourFar, record.beamColourFar, sizeof race.beamColourFar);
    race.projectileTexture = projectileTexture;
    race.projectileImage = projectile;
    race.textureTable = table;
    race.textureCount = textureCount;
    return meshes;
}

Mesh* readRaceFile(const std::string& path, RaceData& race) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes)) return nullptr;
    RaceFileRecord record;
    // A malformed file counts as one that cannot be opened; nothing is created for it.
    if (!parseRaceFile(bytes.data(), bytes.size(), record, nullptr)) return nullptr;
    return loadRaceRecord(record, race);
}

void releaseRaceData(RaceData& race) {
    delete[] race.meshes; // each Mesh releases its own arrays, not its image
    for (int32_t i = 0; i < race.textureCount; ++i)
        destroyTextureImage(race.textureTable[i]);
    delete[] race.textureTable;
    if (race.projectileImage) destroyTextureImage(*race.projectileImage);
    delete race.projectileImage;
    race = RaceData{};
}
