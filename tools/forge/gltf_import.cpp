// `kestrion-forge import` of glTF 2.0 models: .gltf with its .bin and image
// files or data URIs, and .glb. Every triangle primitive of every mesh that a
// node of the scene places becomes one part, its positions carried through the
// node hierarchy; its material's base colour texture, or else its base colour,
// becomes the part's texture. tinygltf parses the file; the buffers, images and
// the checks on them are ours, so that every fault names the file.
#include "tools/forge/authoring.h"
#include "tools/forge/gltf_loader.h"
#include "tools/forge/model_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <set>

namespace {
// Deeper hierarchies are no model's; the walk would only run out of stack.
constexpr size_t MaxNodeDepth = 1000;
using Matrix = std::array<double, 16>; // column-major, as glTF writes it
constexpr Matrix Identity = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix m{};
    for (int col = 0; col < 4; ++col)
        for (int row = 0; row < 4; ++row)
            for (int k = 0; k < 4; ++k)
                m[size_t(col * 4 + row)] += a[size_t(k * 4 + row)] * b[size_t(col * 4 + k)];
    return m;
}

// A node's own transform: its matrix, or translation x rotation x scale.
Matrix localMatrix(const tinygltf::Node& node) {
    if (node.matrix.size() == 16) {
        Matrix m;
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
        return m;
    }
    Matrix m = Identity;
    if (node.rotation.size() == 4) {
        double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2],
               w = node.rotation[3];
        double n = std::sqrt(x * x + y * y + z * z + w * w);
        if (n > 0) x /= n, y /= n, z /= n, w /= n;
        m = {1 - 2 * (y * y + z * z),
             2 * (x * y + z * w),
             2 * (x * z - y * w),
             0,
             2 * (x * y - z * w),
             1 - 2 * (x * x + z * z),
             2 * (y * z + x * w),
             0,
             2 * (x * z + y * w),
             2 * (y * z - x * w),
             1 - 2 * (x * x + y * y),
             0,
             0,
             0,
             0,
             1};
    }
    if (node.scale.size() == 3)
        for (int col = 0; col < 3; ++col)
            for (int row = 0; row < 3; ++row)
                m[size_t(col * 4 + row)] *= node.scale[size_t(col)];
    if (node.translation.size() == 3)
        for (int row = 0; row < 3; ++row)
            m[size_t(12 + row)] = node.translation[size_t(row)];
    return m;
}

struct Reader {
    const tinygltf::Model& model;
    const std::string& file; // the model's name, for messages
    ForgeReport& report;

    bool fail(const std::string& what) { return failWith(report, file + ": " + what); }

    // An accessor's values as floats, `width` a vector (fewer are padded with
    // zeros); integer components are scaled to 0..1 or -1..1 when normalized.
    bool floats(int index, int width, const char* what, std::vector<float>& out) {
        std::vector<double> values;
        int components = 0;
        if (!read(index, what, values, components)) return false;
        size_t count = components ? values.size() / size_t(components) : 0;
        out.assign(count * size_t(width), 0.0f);
        for (size_t i = 0; i < count; ++i)
            for (int c = 0; c < std::min(width, components); ++c)
                out[i * size_t(width) + size_t(c)] =
                    static_cast<float>(values[i * size_t(components) + size_t(c)]);
        return true;
    }

    bool indices(int index, size_t vertexCount, std::vector<uint32_t>& out) {
        std::vector<double> values;
        int components = 0;
        if (!read(index, "indices", values, components)) return false;
        const tinygltf::Accessor& a = model.accessors[size_t(index)];
        if (components != 1 || a.normalized ||
            (a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE &&
             a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT &&
             a.componentType != TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
            return fail("accessor " + std::to_string(index) +
                        " holds the indices but is not unsigned integers");
        out.clear();
        for (double v : values) {
            if (v >= double(vertexCount))
                return fail("index " + std::to_string(uint64_t(v)) + " in accessor " +
                            std::to_string(index) + " is out of range (the primitive has " +
                            std::to_string(vertexCount) + " vertices)");
            out.push_back(static_cast<uint32_t>(v));
        }
        return true;
    }

  private:
    bool read(int index, const char* what, std::vector<double>& out, int& components) {
        const std::string name = std::string("the ") + what + " accessor " + std::to_string(index);
        if (index < 0 || size_t(index) >= model.accessors.size())
            return fail(std::string("the ") + what + " name accessor " + std::to_string(index) +
                        ", which the model does not have");
        const tinygltf::Accessor& a = model.accessors[size_t(index)];
        if (a.sparse.isSparse) return fail(name + " is sparse; sparse accessors are not supported");
        components = tinygltf::GetNumComponentsInType(uint32_t(a.type));
        int size = tinygltf::GetComponentSizeInBytes(uint32_t(a.componentType));
        if (components <= 0 || components > 16 || size <= 0 || size > 8)
            return fail(name + " has an unknown type or component type");
        if (a.bufferView < 0 || size_t(a.bufferView) >= model.bufferViews.size())
            return fail(name + " has no buffer view (its data is missing)");
        const tinygltf::BufferView& view = model.bufferViews[size_t(a.bufferView)];
        if (view.buffer < 0 || size_t(view.buffer) >= model.buffers.size())
            return fail(name + " uses buffer " + std::to_string(view.buffer) +
                        ", which the model does not have");
        const std::vector<unsigned char>& data = model.buffers[size_t(view.buffer)].data;
        const uint64_t element = uint64_t(components) * uint64_t(size);
        const uint64_t stride = view.byteStride ? view.byteStride : element;
        const uint64_t count = a.count;
        if (count > uint64_t(MaxMeshVertices) * 3)
            return fail(name + " holds " + std::to_string(count) +
                        " elements; a race part "
                        "holds at most " +
                        std::to_string(MaxMeshVertices) + " vertices");
        const uint64_t need = count ? a.byteOffset + stride * (count - 1) + element : 0;
        if (stride < element || a.byteOffset > view.byteLength || view.byteOffset > data.size() ||
            view.byteLength > data.size() - view.byteOffset || need > view.byteLength)
            return fail(name + " reaches beyond its buffer (the buffer is " +
                        std::to_string(data.size()) + " bytes; is the .bin file cut short?)");
        out.resize(size_t(count * uint64_t(components)));
        const unsigned char* base = data.data() + view.byteOffset + a.byteOffset;
        for (uint64_t i = 0; i < count; ++i)
            for (int c = 0; c < components; ++c)
                out[size_t(i) * size_t(components) + size_t(c)] =
                    component(base + i * stride + uint64_t(c) * uint64_t(size), a.componentType,
                              a.normalized);
        return true;
    }

    static double component(const unsigned char* at, int type, bool normalized) {
        auto get = [at](auto value) {
            std::memcpy(&value, at, sizeof value);
            return value;
        };
        switch (type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE:
            return normalized ? std::max(get(int8_t()) / 127.0, -1.0) : get(int8_t());
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return normalized ? get(uint8_t()) / 255.0 : get(uint8_t());
        case TINYGLTF_COMPONENT_TYPE_SHORT:
            return normalized ? std::max(get(int16_t()) / 32767.0, -1.0) : get(int16_t());
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return normalized ? get(uint16_t()) / 65535.0 : get(uint16_t());
        case TINYGLTF_COMPONENT_TYPE_INT:
            return get(int32_t());
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            return get(uint32_t());
        case TINYGLTF_COMPONENT_TYPE_DOUBLE:
            return get(double());
        default:
            return get(float());
        }
    }
};

// An external file name as written in a URI: %XX escapes decoded.
std::string uriDecoded(const std::string& uri) {
    std::string out;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && std::isxdigit(uint8_t(uri[i + 1])) &&
            std::isxdigit(uint8_t(uri[i + 2]))) {
            out += static_cast<char>(std::stoi(uri.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

// tinygltf reads the model's buffer files through these, from the companions.
struct FileAccess {
    const CompanionFiles& files;
    std::string missing; // the first file asked for that is not there
};

bool fileExists(const std::string& name, void* user) {
    auto* access = static_cast<FileAccess*>(user);
    std::vector<uint8_t> bytes;
    if (access->files(uriDecoded(name), bytes) != FileState::Missing) return true;
    if (access->missing.empty()) access->missing = uriDecoded(name);
    return false;
}
std::string expandPath(const std::string& name, void*) {
    return name;
}
bool readWholeFile(std::vector<unsigned char>* out, std::string* err, const std::string& name,
                   void* user) {
    auto* access = static_cast<FileAccess*>(user);
    if (access->files(uriDecoded(name), *out) == FileState::Read) return true;
    if (err) *err += "cannot read " + uriDecoded(name) + "\n";
    return false;
}
bool writeWholeFile(std::string*, const std::string&, const std::vector<unsigned char>&, void*) {
    return false;
}

// Images are decoded by us, later, only when a part uses them: the loader
// keeps the encoded bytes (image->width stays 0). An image in a buffer view is
// left to textureFor: tinygltf hands it over without checking that the view
// lies within its buffer.
bool keepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
    if (image->bufferView < 0) image->image.assign(bytes, bytes + size);
    image->width = image->height = 0;
    return true;
}

// tinygltf's messages, one line.
std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    while (!line.empty() && (line.back() == ' ' || line.back() == '\r' || line.back() == '.'))
        line.pop_back();
    return line;
}

// Extensions a model may require that change nothing we read (materials we
// read only the base colour of, texture transforms we leave out) or that
// tinygltf's accessors already give us (quantized attributes).
bool understood(const std::string& extension) {
    return extension.rfind("KHR_materials_", 0) == 0 || extension == "KHR_texture_transform" ||
           extension == "KHR_mesh_quantization" || extension == "KHR_lights_punctual";
}

// A glTF base colour is linear; our texels are sRGB.
float srgb(double linear) {
    double c = std::clamp(linear, 0.0, 1.0);
    return static_cast<float>(c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055);
}

struct Builder {
    Reader& reader;
    const tinygltf::Model& model;
    const CompanionFiles& files;
    TextureTable table;
    RaceFileRecord out;
    size_t skipped = 0; // primitives of points or lines

    // The material's texture slot: its base colour texture, else its colour.
    bool textureFor(int materialIndex, int& slot, int& texCoordSet) {
        texCoordSet = 0;
        if (materialIndex < 0 || size_t(materialIndex) >= model.materials.size()) {
            slot = table.addPlain(NoMaterialColour);
            return true;
        }
        const tinygltf::PbrMetallicRoughness& pbr =
            model.materials[size_t(materialIndex)].pbrMetallicRoughness;
        float colour[3] = {1, 1, 1};
        for (size_t c = 0; c < 3 && c < pbr.baseColorFactor.size(); ++c)
            colour[c] = srgb(pbr.baseColorFactor[c]);
        int texture = pbr.baseColorTexture.index;
        if (texture < 0) {
            slot = table.addPlain(colour);
            return true;
        }
        if (size_t(texture) >= model.textures.size())
            return reader.fail("material " + std::to_string(materialIndex) + " uses texture " +
                               std::to_string(texture) + ", which the model does not have");
        int source = model.textures[size_t(texture)].source;
        if (source < 0 || size_t(source) >= model.images.size()) {
            // A texture only an extension's image gives (KTX2, WebP): the colour instead.
            reader.report.warnings.push_back(reader.file + ": texture " + std::to_string(texture) +
                                             " has no PNG or JPEG image; its parts take the "
                                             "material's base colour");
            slot = table.addPlain(colour);
            return true;
        }
        texCoordSet = pbr.baseColorTexture.texCoord;
        const std::string key = "image " + std::to_string(source);
        if (table.byKey.count(key)) {
            slot = table.byKey[key];
            return true;
        }
        const tinygltf::Image& image = model.images[size_t(source)];
        std::vector<uint8_t> bytes(image.image.begin(), image.image.end());
        std::string where = "image " + std::to_string(source);
        if (!image.name.empty()) where += " (\"" + image.name + "\")";
        if (image.bufferView >= 0) {
            const tinygltf::BufferView& view = model.bufferViews[size_t(image.bufferView)];
            const std::vector<unsigned char>& data = model.buffers[size_t(view.buffer)].data;
            if (view.byteOffset > data.size() || view.byteLength > data.size() - view.byteOffset)
                return reader.fail(where + " reaches beyond its buffer (the buffer is " +
                                   std::to_string(data.size()) + " bytes)");
            bytes.assign(data.begin() + long(view.byteOffset),
                         data.begin() + long(view.byteOffset + view.byteLength));
        }
        if (bytes.empty() && !image.uri.empty()) {
            const std::string name = uriDecoded(image.uri);
            where = name;
            switch (files(name, bytes)) {
            case FileState::Missing:
                return reader.fail(name + ": image file not found (the model's image " +
                                   std::to_string(source) + "); put it beside the model");
            case FileState::Unreadable:
                return reader.fail(name + ": cannot read the image file");
            case FileState::Read:
                break;
            }
        }
        Picture picture;
        std::string why;
        if (!decodePicture(bytes, 3, picture, why)) return reader.fail(where + ": " + why);
        slot = table.add(key, picture);
        return true;
    }

    bool primitive(const tinygltf::Primitive& p, const Matrix& world, int meshIndex) {
        const std::string what = "mesh " + std::to_string(meshIndex);
        if (p.mode < TINYGLTF_MODE_TRIANGLES || p.mode > TINYGLTF_MODE_TRIANGLE_FAN) {
            if (p.mode >= TINYGLTF_MODE_POINTS && p.mode < TINYGLTF_MODE_TRIANGLES) {
                ++skipped;
                return true;
            }
            return reader.fail(what + " has a primitive of unknown mode " + std::to_string(p.mode));
        }
        auto position = p.attributes.find("POSITION");
        if (position == p.attributes.end())
            return reader.fail(what + " has a primitive without POSITION");
        std::vector<float> positions, uvs;
        if (!reader.floats(position->second, 3, "POSITION", positions)) return false;
        const size_t count = positions.size() / 3;
        std::vector<uint32_t> corners;
        if (p.indices >= 0) {
            if (!reader.indices(p.indices, count, corners)) return false;
        } else {
            for (size_t i = 0; i < count; ++i)
                corners.push_back(uint32_t(i));
        }
        PartRecord part;
        int texCoordSet = 0;
        if (!textureFor(p.material, part.textureIndex, texCoordSet)) return false;
        auto uv = p.attributes.find("TEXCOORD_" + std::to_string(texCoordSet));
        if (uv != p.attributes.end()) {
            if (!reader.floats(uv->second, 2, "TEXCOORD", uvs)) return false;
            if (uvs.size() / 2 != count)
                return reader.fail(what + " has " + std::to_string(uvs.size() / 2) +
                                   " texture coordinates for " + std::to_string(count) +
                                   " positions");
        }
        // Strips and fans as separate triangles, every other strip triangle turned back.
        std::vector<std::array<uint32_t, 3>> triangles;
        for (size_t k = 0; k + 2 < corners.size();) {
            if (p.mode == TINYGLTF_MODE_TRIANGLES) {
                triangles.push_back({corners[k], corners[k + 1], corners[k + 2]});
                k += 3;
            } else if (p.mode == TINYGLTF_MODE_TRIANGLE_STRIP) {
                bool odd = k % 2;
                triangles.push_back(
                    {corners[k + (odd ? 1 : 0)], corners[k + (odd ? 0 : 1)], corners[k + 2]});
                ++k;
            } else {
                triangles.push_back({corners[0], corners[k + 1], corners[k + 2]});
                ++k;
            }
        }
        if (triangles.empty()) return true;
        if (triangles.size() > size_t(MaxMeshTriangles))
            return reader.fail(what + " has a part of " + std::to_string(triangles.size()) +
                               " triangles; a race file holds at most " +
                               std::to_string(MaxMeshTriangles) + " a part");
        // A mirroring transform turns the faces inside out: wind them back.
        const Matrix& m = world;
        double det = m[0] * (m[5] * m[10] - m[9] * m[6]) - m[4] * (m[1] * m[10] - m[9] * m[2]) +
                     m[8] * (m[1] * m[6] - m[5] * m[2]);
        // Without normals a glTF part is drawn flat: every triangle gets corners of
        // its own, so the normals made from the faces do not blend across edges.
        const bool flat = !p.attributes.count("NORMAL");
        auto vertex = [&](uint32_t v) {
            const float* q = &positions[size_t(v) * 3];
            std::array<float, 3> at;
            for (int row = 0; row < 3; ++row)
                at[size_t(row)] =
                    static_cast<float>(m[size_t(row)] * q[0] + m[size_t(4 + row)] * q[1] +
                                       m[size_t(8 + row)] * q[2] + m[size_t(12 + row)]);
            part.mesh.positions.push_back(at);
            part.mesh.texCoords.push_back(uvs.empty()
                                              ? std::array<float, 2>{0, 0}
                                              : std::array<float, 2>{uvs[2 * v], uvs[2 * v + 1]});
            return int32_t(part.mesh.positions.size() - 1);
        };
        std::vector<int32_t> number(flat ? 0 : count, -1);
        for (const auto& t : triangles) {
            int32_t n[3];
            for (int c = 0; c < 3; ++c) {
                uint32_t v = t[size_t(c)];
                if (flat) {
                    n[c] = vertex(v);
                } else {
                    if (number[v] < 0) number[v] = vertex(v);
                    n[c] = number[v];
                }
            }
            part.mesh.triangles.push_back(det < 0 ? MeshTriangle{n[0], n[2], n[1]}
                                                  : MeshTriangle{n[0], n[1], n[2]});
        }
        if (part.mesh.positions.size() > size_t(MaxMeshVertices))
            return reader.fail(what + " has a part of " +
                               std::to_string(part.mesh.positions.size()) +
                               " vertices; a race file holds at most " +
                               std::to_string(MaxMeshVertices) + " a part");
        for (const auto& q : part.mesh.positions)
            if (!std::isfinite(q[0]) || !std::isfinite(q[1]) || !std::isfinite(q[2]))
                return reader.fail(what + " has a position that is not a number");
        if (out.parts.size() >= size_t(MaxPartCount))
            return reader.fail("the model has more than " + std::to_string(MaxPartCount) +
                               " primitives; a race file holds at most " +
                               std::to_string(MaxPartCount) + " parts");
        out.parts.push_back(std::move(part));
        return true;
    }

    bool node(int index, const Matrix& parent, std::set<int>& path) {
        if (index < 0 || size_t(index) >= model.nodes.size())
            return reader.fail("a scene names node " + std::to_string(index) +
                               ", which the model does not have");
        if (!path.insert(index).second)
            return reader.fail("node " + std::to_string(index) + " is its own ancestor");
        if (path.size() > MaxNodeDepth)
            return reader.fail("the nodes are nested deeper than " + std::to_string(MaxNodeDepth));
        const tinygltf::Node& n = model.nodes[size_t(index)];
        Matrix world = multiply(parent, localMatrix(n));
        if (n.mesh >= 0) {
            if (size_t(n.mesh) >= model.meshes.size())
                return reader.fail("node " + std::to_string(index) + " uses mesh " +
                                   std::to_string(n.mesh) + ", which the model does not have");
            for (const tinygltf::Primitive& p : model.meshes[size_t(n.mesh)].primitives)
                if (!primitive(p, world, n.mesh)) return false;
        }
        for (int child : n.children)
            if (!node(child, world, path)) return false;
        path.erase(index);
        return true;
    }

    // The default scene, else the first; without scenes every root node.
    bool scene() {
        std::vector<int> roots;
        if (!model.scenes.empty()) {
            int chosen = model.defaultScene >= 0 && size_t(model.defaultScene) < model.scenes.size()
                             ? model.defaultScene
                             : 0;
            roots = model.scenes[size_t(chosen)].nodes;
        } else {
            std::vector<bool> child(model.nodes.size(), false);
            for (const tinygltf::Node& n : model.nodes)
                for (int c : n.children)
                    if (c >= 0 && size_t(c) < child.size()) child[size_t(c)] = true;
            for (size_t i = 0; i < child.size(); ++i)
                if (!child[i]) roots.push_back(int(i));
        }
        std::set<int> path;
        for (int root : roots)
            if (!node(root, Identity, path)) return false;
        return true;
    }
};
} // namespace

bool isGltfModel(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string ext = textOf(pathOf(path).extension());
    for (char& c : ext)
        c = static_cast<char>(std::tolower(uint8_t(c)));
    return ext == ".gltf" || ext == ".glb" ||
           (bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0);
}

bool importGltf(const ImportOptions& options, const std::vector<uint8_t>& bytes,
                const CompanionFiles& files, RaceFileRecord& race, ForgeReport& report) {
    const std::string& file = options.modelPath;
    FileAccess access{files, {}};
    tinygltf::TinyGLTF loader;
    loader.SetFsCallbacks({fileExists, expandPath, readWholeFile, writeWholeFile, &access});
    loader.SetImageLoader(keepImageBytes, nullptr);
    tinygltf::Model model;
    std::string err, warn;
    const bool binary = bytes.size() >= 4 && std::memcmp(bytes.data(), "glTF", 4) == 0;
    if (bytes.size() > UINT32_MAX) return failWith(report, file + ": the model is too large");
    bool loaded = false;
    try {
        loaded = binary ? loader.LoadBinaryFromMemory(&model, &err, &warn, bytes.data(),
                                                      unsigned(bytes.size()), "")
                        : loader.LoadASCIIFromString(&model, &err, &warn,
                                                     reinterpret_cast<const char*>(bytes.data()),
                                                     unsigned(bytes.size()), "");
    } catch (const std::exception& e) {
        return failWith(report,
                        file + ": not a glTF model the reader understands (" + e.what() + ")");
    }
    if (!access.missing.empty())
        return failWith(report, file + ": names " + access.missing +
                                    ", which is not there; put it beside the model");
    if (!loaded) {
        std::string why = firstLine(err.empty() ? warn : err);
        return failWith(report, file + ": " + (why.empty() ? "not a glTF 2.0 model" : why));
    }
    for (const std::string& extension : model.extensionsRequired)
        if (!understood(extension))
            return failWith(report, file + ": the model requires the " + extension + " extension" +
                                        (extension == "KHR_draco_mesh_compression"
                                             ? " (Draco-compressed meshes)"
                                             : "") +
                                        ", which is not supported; export it without");

    Reader reader{model, file, report};
    Builder builder{reader, model, files, {}, {}};
    if (!builder.scene()) return false;
    if (builder.out.parts.empty())
        return failWith(report, file + (builder.skipped ? ": the model has only points and lines;"
                                                          " a ship needs triangles"
                                                        : ": the model has no triangles in its "
                                                          "scene; a ship needs at least one"));
    if (builder.skipped)
        report.warnings.push_back(file + ": " + std::to_string(builder.skipped) +
                                  " primitives of points or lines are left out");
    builder.out.textures = std::move(builder.table.images);
    return finishImport(options, builder.out, race, report);
}
