// Small glTF models made here, as fuzz seeds and for the import tests.
#include "tools/forge/authoring.h"
#include "tools/forge/seeds.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {
std::string base64(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        uint32_t n = uint32_t(bytes[i]) << 16;
        if (i + 1 < bytes.size()) n |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) n |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k)
            out += i + k <= bytes.size() ? digits[(n >> (18 - 6 * k)) & 63] : '=';
    }
    return out;
}

template <typename T> void append(std::vector<uint8_t>& out, const T& value) {
    uint8_t bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}

void pad(std::vector<uint8_t>& bytes, uint8_t with) {
    while (bytes.size() % 4)
        bytes.push_back(with);
}

// The tapered box: four corners a face, wound outward.
void boxGeometry(std::vector<uint8_t>& positions, std::vector<uint8_t>& normals,
                 std::vector<uint8_t>& uvs, std::vector<uint8_t>& indices) {
    auto corner = [](int bits) {
        float taper = bits & 4 ? 0.5f : 1.0f;
        return std::array<float, 3>{(bits & 1 ? 0.5f : -0.5f) * taper,
                                    (bits & 2 ? 0.25f : -0.25f) * taper, bits & 4 ? 1.5f : -1.5f};
    };
    uint16_t next = 0;
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side) {
            int u = (axis + 1) % 3, v = (axis + 2) % 3;
            // (u, v) counter-clockwise seen from +axis; the other side the other way.
            int order[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
            for (int k = 0; k < 4; ++k) {
                int i = side ? k : 3 - k;
                int bits = side << axis | order[i][0] << u | order[i][1] << v;
                for (float c : corner(bits))
                    append(positions, c);
                for (int c = 0; c < 3; ++c)
                    append(normals, c == axis ? (side ? 1.0f : -1.0f) : 0.0f);
                append(uvs, float(order[i][0]));
                append(uvs, float(order[i][1]));
            }
            for (int k : {0, 1, 2, 0, 2, 3})
                append(indices, uint16_t(next + k));
            next = uint16_t(next + 4);
        }
}
} // namespace

std::vector<SeedFile> gltfShip(const GltfShip& ship) {
    using Layout = GltfShip::Layout;
    std::vector<uint8_t> positions, normals, uvs, indices;
    boxGeometry(positions, normals, uvs, indices);
    Picture picture;
    picture.width = 8;
    picture.height = 4;
    for (int i = 0; i < 8 * 4; ++i)
        picture.pixels.insert(picture.pixels.end(), GltfShipColour, GltfShipColour + 3);
    const std::vector<uint8_t> png = encodePng(picture);

    // The buffer: positions, normals (when kept), texture coordinates, indices,
    // and in a .glb the picture.
    std::vector<uint8_t> buffer;
    std::string views, accessors;
    auto view = [&](const std::vector<uint8_t>& bytes) {
        if (!views.empty()) views += ",";
        views += "{\"buffer\":0,\"byteOffset\":" + std::to_string(buffer.size()) +
                 ",\"byteLength\":" + std::to_string(bytes.size()) + "}";
        buffer.insert(buffer.end(), bytes.begin(), bytes.end());
        pad(buffer, 0);
    };
    int accessorCount = 0;
    auto accessor = [&](const std::vector<uint8_t>& bytes, int componentType, int count,
                        const char* type) {
        view(bytes);
        if (!accessors.empty()) accessors += ",";
        accessors += "{\"bufferView\":" + std::to_string(accessorCount) +
                     ",\"componentType\":" + std::to_string(componentType) +
                     ",\"count\":" + std::to_string(count) + ",\"type\":\"" + type + "\"}";
        return std::to_string(accessorCount++);
    };
    std::string attributes = "\"POSITION\":" + accessor(positions, 5126, 24, "VEC3");
    if (ship.normals) attributes += ",\"NORMAL\":" + accessor(normals, 5126, 24, "VEC3");
    attributes += ",\"TEXCOORD_0\":" + accessor(uvs, 5126, 24, "VEC2");
    const std::string index = accessor(indices, 5123, 36, "SCALAR");

    std::string image;
    if (ship.layout == Layout::Binary) {
        view(png);
        image = "{\"bufferView\":" + std::to_string(accessorCount) + ",\"mimeType\":\"image/png\"}";
    } else if (ship.layout == Layout::DataUris) {
        image = "{\"uri\":\"data:image/png;base64," + base64(png) + "\"}";
    } else {
        image = "{\"uri\":\"hull.png\"}";
    }
    std::string bufferEntry = "{\"byteLength\":" + std::to_string(buffer.size());
    if (ship.layout == Layout::DataUris)
        bufferEntry += ",\"uri\":\"data:application/octet-stream;base64," + base64(buffer) + "\"";
    else if (ship.layout == Layout::Separate)
        bufferEntry += ",\"uri\":\"ship.bin\"";
    bufferEntry += "}";

    // glTF colours are linear: the sRGB texel colour, undone.
    auto linear = [](uint8_t c) {
        double v = c / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    char colour[96];
    std::snprintf(colour, sizeof colour, "\"baseColorFactor\":[%.6f,%.6f,%.6f,1]",
                  linear(GltfShipColour[0]), linear(GltfShipColour[1]), linear(GltfShipColour[2]));
    const std::string material =
        ship.textured ? "{\"pbrMetallicRoughness\":{\"baseColorTexture\":{\"index\":0}}}"
                      : std::string("{\"pbrMetallicRoughness\":{") + colour + "}}";
    const std::string nodes =
        ship.hierarchy ? "[{\"children\":[1,2],\"scale\":[2,2,2],\"translation\":[5,0,0]},"
                         "{\"mesh\":0,\"translation\":[-0.75,0,0]},"
                         "{\"mesh\":0,\"matrix\":[1,0,0,0,0,1,0,0,0,0,1,0,0.75,0,0,1]}]"
                       : "[{\"mesh\":0}]";
    std::string json = "{\"asset\":{\"version\":\"2.0\",\"generator\":\"kestrion-forge\"},"
                       "\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":" +
                       nodes + ",\"meshes\":[{\"primitives\":[{\"attributes\":{" + attributes +
                       "},\"indices\":" + index + ",\"material\":0}]}],\"materials\":[" + material +
                       "],";
    if (ship.textured) json += "\"textures\":[{\"source\":0}],\"images\":[" + image + "],";
    json += "\"buffers\":[" + bufferEntry + "],\"bufferViews\":[" + views + "],\"accessors\":[" +
            accessors + "]}";

    if (ship.layout == Layout::Separate) {
        std::vector<SeedFile> files = {{"ship.gltf", {json.begin(), json.end()}},
                                       {"ship.bin", buffer}};
        if (ship.textured) files.push_back({"hull.png", png});
        return files;
    }
    if (ship.layout == Layout::DataUris) return {{"ship.gltf", {json.begin(), json.end()}}};
    std::vector<uint8_t> text(json.begin(), json.end());
    pad(text, ' ');
    std::vector<uint8_t> glb = {'g', 'l', 'T', 'F'};
    append(glb, uint32_t(2));
    append(glb, uint32_t(12 + 8 + text.size() + 8 + buffer.size()));
    append(glb, uint32_t(text.size()));
    append(glb, uint32_t(0x4E4F534A)); // JSON
    glb.insert(glb.end(), text.begin(), text.end());
    append(glb, uint32_t(buffer.size()));
    append(glb, uint32_t(0x004E4942)); // BIN
    glb.insert(glb.end(), buffer.begin(), buffer.end());
    return {{"ship.glb", glb}};
}
