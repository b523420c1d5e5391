#include "data_samples.h"
#include "tools/forge/authoring.h"
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"

#include <gtest/gtest.h>
#include <stb/stb_image_write.h>

#include <cmath>
#include <filesystem>

namespace {
namespace fs = std::filesystem;

void writeText(const std::string& path, const std::string& text) {
    ASSERT_TRUE(writeFileBytes(path, std::vector<uint8_t>(text.begin(), text.end())));
}

// A w x h picture of one colour, in the format the extension names.
void writePicture(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < w * h; ++i)
        rgb.insert(rgb.end(), {r, g, b});
    std::string ext = fs::path(path).extension().string();
    int ok = ext == ".png"   ? stbi_write_png(path.c_str(), w, h, 3, rgb.data(), w * 3)
             : ext == ".jpg" ? stbi_write_jpg(path.c_str(), w, h, 3, rgb.data(), 95)
                             : stbi_write_tga(path.c_str(), w, h, 3, rgb.data());
    ASSERT_TRUE(ok) << path;
}

// The corners of a box from (0,0,0) to (sx,sy,sz), and four vt.
std::string boxCorners(float sx, float sy, float sz) {
    char text[512];
    std::snprintf(text, sizeof text,
                  "v 0 0 0\nv %g 0 0\nv %g %g 0\nv 0 %g 0\nv 0 0 %g\nv %g 0 %g\nv %g %g %g\n"
                  "v 0 %g %g\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n",
                  sx, sx, sy, sy, sz, sx, sz, sx, sy, sz, sy, sz);
    return text;
}

// The box with quads wound outward.
std::string boxObj(float sx, float sy, float sz) {
    return boxCorners(sx, sy, sz) + "f 1/1 4/2 3/3 2/4\nf 5/1 6/2 7/3 8/4\nf 1/1 2/2 6/3 5/4\n"
                                    "f 2/1 3/2 7/3 6/4\nf 3/1 4/2 8/3 7/4\nf 4/1 1/2 5/3 8/4\n";
}

// `text` as a file saved in `encoding` ("", "UTF-8 with a mark", "UTF-16 (little
// endian)" or "UTF-16 (big endian)"); '@' stands for U+1F680, a surrogate pair in UTF-16.
std::string encoded(const std::string& text, const std::string& encoding) {
    std::string out;
    if (encoding.rfind("UTF-16", 0) != 0) {
        out = encoding.empty() ? "" : "\xEF\xBB\xBF";
        for (char c : text)
            out += c == '@' ? std::string("\xF0\x9F\x9A\x80") : std::string(1, c);
        return out;
    }
    std::vector<uint16_t> units = {0xFEFF};
    for (char c : text)
        if (c == '@')
            units.insert(units.end(), {0xD83D, 0xDE80});
        else
            units.push_back(uint8_t(c));
    bool little = encoding.find("little") != std::string::npos;
    for (uint16_t u : units) {
        out += char(little ? u & 0xFF : u >> 8);
        out += char(little ? u >> 8 : u & 0xFF);
    }
    return out;
}

struct Import {
    TempDirectory dir;
    ImportOptions options;
    RaceFileRecord race;
    ForgeReport report;

    Import() {
        options.name = "Testa";
        options.description = "Made by a test";
        options.modelPath = dir.path + "model.obj";
        options.outputPath = dir.path + "Testa.ast";
    }
    bool run() { return importRace(options, race, report); }
    // The command, as a user runs it, with options after the required ones.
    int command(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"import",           options.modelPath,  "-o",
                                         options.outputPath, "--name",           options.name,
                                         "--description",    options.description};
        args.insert(args.end(), extra.begin(), extra.end());
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = runForge(args);
        testing::internal::GetCapturedStdout();
        errors = testing::internal::GetCapturedStderr();
        return status;
    }
    std::string errors;
};

Bounds hullBounds(const RaceFileRecord& race) {
    std::vector<const MeshRecord*> hull;
    for (const PartRecord& p : race.parts)
        hull.push_back(&p.mesh);
    return boundsOf(hull);
}

TEST(ForgeImport, QuadsAndNgonsBecomeOutwardClosedTriangleMeshes) {
    Import t;
    // A box of quads and a hexagonal prism with six-cornered caps.
    std::string prism = "o prism\n";
    for (int ring = 0; ring < 2; ++ring)
        for (int k = 0; k < 6; ++k) {
            char v[64];
            std::snprintf(v, sizeof v, "v %g %g %g\n", 3 + std::cos(k * M_PI / 3),
                          3 + std::sin(k * M_PI / 3), ring ? 1.0 : 0.0);
            prism += v;
        }
    prism += "f 14 13 12 11 10 9\nf 15 16 17 18 19 20\n";
    for (int k = 0; k < 6; ++k) {
        int a = 9 + k, b = 9 + (k + 1) % 6;
        prism += "f " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(b + 6) +
                 " " + std::to_string(a + 6) + "\n";
    }
    writeText(t.options.modelPath, "o box\n" + boxObj(1, 2, 4) + prism);
    ASSERT_TRUE(t.run()) << t.report.error;
    ASSERT_EQ(t.race.parts.size(), 2u);
    EXPECT_EQ(t.race.parts[0].mesh.triangles.size(), 12u);
    EXPECT_EQ(t.race.parts[1].mesh.triangles.size(), 20u); // 2 x 4 + 6 x 2
    for (const PartRecord& p : t.race.parts) {
        std::string why;
        EXPECT_TRUE(isClosedSurface(p.mesh, &why)) << why;
        EXPECT_GT(signedVolume(p.mesh), 0.0);
    }
    // Longest side 0.8, centred, and the shield around it all.
    Bounds b = hullBounds(t.race);
    EXPECT_NEAR(std::max({b.high.x - b.low.x, b.high.y - b.low.y, b.high.z - b.low.z}), 0.8, 1e-6);
    EXPECT_NEAR(b.low.y + b.high.y, 0.0, 1e-6);
    EXPECT_EQ(t.race.shield.positions.size(), size_t(HitPointCount));
    EXPECT_TRUE(checkRace(t.race).faults.empty());
}

TEST(ForgeImport, NoseAndTopFollowTheAxesAndTextureRowsRunDown) {
    // A spike along +z (Blender's default forward) that rises along +y at its back.
    const std::string spike = "v -1 0 0\nv 1 0 0\nv 0 0 6\nv 0 2 0\nvt 0.25 0\nvt 0.25 1\n"
                              "f 1/1 2/1 3/2\nf 2/1 1/1 4/2\nf 1/1 3/2 4/2\nf 2/1 4/2 3/2\n";
    Import t;
    writeText(t.options.modelPath, spike);
    t.options.length = 1.2;
    ASSERT_TRUE(t.run()) << t.report.error;
    const MeshRecord& mesh = t.race.parts[0].mesh;
    auto at = [&](float x, float y, float z) {
        for (size_t i = 0; i < mesh.positions.size(); ++i)
            if (std::fabs(mesh.positions[i][0] - x) < 1e-5f &&
                std::fabs(mesh.positions[i][1] - y) < 1e-5f &&
                std::fabs(mesh.positions[i][2] - z) < 1e-5f)
                return int(i);
        return -1;
    };
    // Nose at -y, top at +z, centred: 6 units long become 1.2.
    int nose = at(0, -0.6f, -0.2f), top = at(0, 0.6f, 0.2f);
    ASSERT_GE(nose, 0);
    ASSERT_GE(top, 0);
    EXPECT_FLOAT_EQ(mesh.texCoords[size_t(nose)][1], 0.0f); // v = 1 is the picture's top row
    EXPECT_FLOAT_EQ(mesh.texCoords[size_t(top)][1], 0.0f);
    EXPECT_GT(signedVolume(mesh), 0.0); // turning kept the winding

    // The same spike modelled nose along -x, top along +z comes out the same.
    Import u;
    writeText(u.options.modelPath, "v 0 1 0\nv 0 -1 0\nv -6 0 0\nv 0 0 2\nvt 0.25 0\nvt 0.25 1\n"
                                   "f 1/1 2/1 3/2\nf 2/1 1/1 4/2\nf 1/1 3/2 4/2\nf 2/1 4/2 3/2\n");
    u.options.length = 1.2;
    ASSERT_TRUE(parseAxis("-x", u.options.forward) && parseAxis("+Z", u.options.up));
    ASSERT_TRUE(u.run()) << u.report.error;
    for (size_t i = 0; i < mesh.positions.size(); ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(u.race.parts[0].mesh.positions[i][size_t(c)], mesh.positions[i][size_t(c)],
                        1e-6);
    EXPECT_EQ(u.command({"--forward", "+z", "--up", "-z"}), 2);
}

TEST(ForgeImport, GroupsAndMaterialsMakePartsAndPowerOfTwoTextures) {
    Import t;
    writeText(t.dir.path + "ship.mtl", "newmtl hull\nKd 1 1 1\nmap_Kd hull.png\n"
                                       "newmtl glass\nKd 0 0 1\n"
                                       "newmtl rust\nmap_Kd textures\\rust.jpg\n"
                                       "newmtl paint\nmap_Kd paint.tga\n");
    writePicture(t.dir.path + "hull.png", 300, 100, 200, 10, 10); // becomes 256 x 128
    fs::create_directories(t.dir.path + "textures");
    writePicture(t.dir.path + "textures/rust.jpg", 64, 64, 20, 200, 20);
    writePicture(t.dir.path + "paint.tga", 20, 40, 10, 10, 250); // becomes 16 x 32
    writeText(t.options.modelPath, "mtllib ship.mtl\n" + boxCorners(1, 1, 3) +
                                       "g body\nusemtl hull\nf 1 2 3\nusemtl glass\nf 1 3 4\n"
                                       "g wing\nusemtl hull\nf 5 6 7\nusemtl rust\nf 5 7 8\n"
                                       "g nose\nusemtl paint\nf 2 3 7\ng tail\nf 1 4 8\n");
    ASSERT_TRUE(t.run()) << t.report.error;
    ASSERT_EQ(t.race.parts.size(), 6u); // body x 2, wing x 2, nose, tail (still in paint)
    std::vector<int> slots;
    for (const PartRecord& p : t.race.parts)
        slots.push_back(p.textureIndex);
    EXPECT_EQ(slots, (std::vector<int>{0, 1, 0, 2, 3, 3}));
    ASSERT_EQ(t.race.textures.size(), 4u);
    auto size = [&](int i) {
        return std::to_string(t.race.textures[size_t(i)].width) + "x" +
               std::to_string(t.race.textures[size_t(i)].height);
    };
    EXPECT_EQ(size(0), "256x128");
    EXPECT_EQ(size(2), "64x64");
    EXPECT_EQ(size(3), "16x32");
    // BGR bytes: the red hull, the blue glass, the green rust (JPEG: nearly), the blue paint.
    auto pixel = [&](int i) {
        const auto& p = t.race.textures[size_t(i)].pixels;
        return std::vector<int>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(pixel(0), (std::vector<int>{10, 10, 200}));
    EXPECT_EQ(pixel(1), (std::vector<int>{255, 0, 0}));
    EXPECT_NEAR(pixel(2)[1], 200, 6);
    EXPECT_EQ(pixel(3), (std::vector<int>{250, 10, 10}));
    EXPECT_TRUE(t.report.warnings.size() > 0); // open parts: not closed surfaces
}

TEST(ForgeImport, AMissingMaterialFileOrTextureWarnsAndTakesAPlainColour) {
    Import t;
    writeText(t.options.modelPath, "mtllib gone.mtl\nusemtl hull\n" + boxObj(1, 1, 1));
    ASSERT_TRUE(t.run()) << t.report.error;
    ASSERT_FALSE(t.report.warnings.empty());
    EXPECT_NE(t.report.warnings[0].find("gone.mtl"), std::string::npos);
    EXPECT_EQ(t.race.textures.size(), 1u);

    Import u;
    writeText(u.dir.path + "m.mtl", "newmtl hull\nKd 1 0.5 0\nmap_Kd gone.png\n");
    writeText(u.options.modelPath, "mtllib m.mtl\nusemtl hull\n" + boxObj(1, 1, 1));
    EXPECT_EQ(u.command(), 0) << u.errors;
    EXPECT_NE(u.errors.find("gone.png"), std::string::npos);
    ASSERT_TRUE(u.run());
    EXPECT_EQ(u.race.textures[0].pixels[2], 255); // red of the diffuse colour, in BGR
    EXPECT_EQ(u.race.textures[0].pixels[1], 128);
}

TEST(ForgeImport, DanglingNormalsAndByteOrderMarksImportTheSameRace) {
    // A box in two groups whose faces name normals the model lacks, its texture
    // named with a character that takes a surrogate pair in UTF-16, and first
    // lines that a misread mark would cost.
    const std::string model = boxCorners(1, 1, 2) +
                              "mtllib m.mtl\nusemtl hull\ng front\nf 1/1/1 4/2/1 3/3/1 2/4/1\n"
                              "f 5/1/2 6/2/2 7/3/2 8/4/2\nf 1/1/3 2/2/3 6/3/3 5/4/3\ng back\n"
                              "f 2/1/4 3/2/4 7/3/4 6/4/4\nf 3/1/5 4/2/5 8/3/5 7/4/5\n"
                              "f 4/1/6 1/2/6 5/3/6 8/4/6\n";
    auto import = [](Import& t, const std::string& obj, const std::string& encoding) {
        writePicture(t.dir.path + encoded("t@.png", ""), 8, 8, 200, 10, 10);
        writeText(t.dir.path + "m.mtl",
                  encoded("newmtl hull\nKd 0 0 1\nmap_Kd t@.png\n", encoding));
        writeText(t.options.modelPath, encoded(obj, encoding));
        return t.run();
    };
    std::string withoutNormals; // the same faces without normal indices
    int slashes = 0;
    for (char c : model) {
        slashes = c == ' ' || c == '\n' ? 0 : slashes + (c == '/');
        if (slashes < 2) withoutNormals += c;
    }
    ASSERT_EQ(withoutNormals.size(), model.size() - 24 * 2); // "/N" gone from 24 corners
    Import reference;
    ASSERT_TRUE(import(reference, withoutNormals, "")) << reference.report.error;
    EXPECT_EQ(reference.race.textures[0].pixels[2], 200); // the picture, not the plain colour

    for (std::string encoding :
         {"", "UTF-8 with a mark", "UTF-16 (little endian)", "UTF-16 (big endian)"}) {
        SCOPED_TRACE(encoding);
        Import t;
        ASSERT_TRUE(import(t, model, encoding)) << t.report.error;
        EXPECT_TRUE(writeRaceFile(t.race) == writeRaceFile(reference.race));
        // Each warning once, before those about the race itself.
        std::vector<std::string> expected;
        if (encoding.rfind("UTF-16", 0) == 0)
            expected = {t.options.modelPath + ": read as " + encoding,
                        t.dir.path + "m.mtl: read as " + encoding};
        expected.push_back(t.options.modelPath +
                           ": 36 triangle corners use a normal the model does not have (it has "
                           "0); they are read without a normal");
        ASSERT_GE(t.report.warnings.size(), expected.size());
        EXPECT_EQ(std::vector<std::string>(t.report.warnings.begin(),
                                           t.report.warnings.begin() + long(expected.size())),
                  expected);
    }
}

TEST(ForgeImport, BadInputFailsWithExitTwoAndWritesNothing) {
    auto rejects = [](const std::string& what, auto prepare, const std::string& named,
                      std::vector<std::string> extra = {}) {
        Import t;
        prepare(t);
        for (std::string& arg : extra)
            if (arg.rfind("DIR/", 0) == 0) arg = t.dir.path + arg.substr(4);
        EXPECT_EQ(t.command(extra), 2) << what;
        EXPECT_FALSE(fs::exists(t.options.outputPath)) << what;
        EXPECT_FALSE(fs::exists(t.options.outputPath + ".part")) << what;
        EXPECT_NE(t.errors.find(named), std::string::npos) << what << ": " << t.errors;
    };
    auto model = [](const std::string& text) {
        return [text](Import& t) { writeText(t.options.modelPath, text); };
    };
    const std::string box = boxObj(1, 1, 1);
    rejects(
        "missing model", [](Import&) {}, "model.obj: model file not found");
    rejects(
        "unreadable model", [](Import& t) { fs::create_directories(t.options.modelPath); },
        "model.obj: cannot read");
    rejects(
        "unreadable material file",
        [&](Import& t) {
            fs::create_directories(t.dir.path + "m.mtl");
            writeText(t.options.modelPath, "mtllib m.mtl\n" + box);
        },
        "m.mtl: cannot read");
    // A material whose texture t.png is a folder (unreadable) or holds `bytes`.
    auto textured = [&](bool folder, const std::string& bytes) {
        return [&box, folder, bytes](Import& t) {
            writeText(t.dir.path + "m.mtl", "newmtl a\nmap_Kd t.png\n");
            if (folder)
                fs::create_directories(t.dir.path + "t.png");
            else
                writeText(t.dir.path + "t.png", bytes);
            writeText(t.options.modelPath, "mtllib m.mtl\nusemtl a\n" + box);
        };
    };
    rejects("unreadable texture", textured(true, ""), "t.png: cannot read");
    rejects("undecodable texture", textured(false, "not a picture at all"), "t.png: not an image");
    rejects("undecodable missile",
            [&](Import& t) {
                writeText(t.dir.path + "m.png", "GIF89a");
                writeText(t.options.modelPath, box);
            },
            "m.png:", {"--missile", "DIR/m.png"});
    rejects("no faces", model("v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2\n"), "no faces");
    rejects("triangle beyond the vertices", model("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n"),
            "uses vertex 4, but the model has 3");
    rejects("quad beyond the vertices", model("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3 9\n"),
            "model.obj: a face uses a vertex beyond");
    rejects("bad texture coordinate", model("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/1 3/2\n"),
            "texture coordinate 2");
    rejects("bad texture coordinate beside a dangling normal",
            model("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1/1 2/1/1 3/2/1\n"),
            "texture coordinate 2");
    rejects("UTF-16 model cut short", model(encoded(box, "UTF-16 (little endian)") + "\n"),
            "model.obj: starts with a UTF-16 (little endian) byte-order mark but has an odd");
    rejects(
        "lone surrogate in a UTF-16 material file",
        [&](Import& t) {
            writeText(t.dir.path + "m.mtl",
                      encoded("newmtl a\n", "UTF-16 (big endian)") + "\xDC\x01");
            writeText(t.options.modelPath, "mtllib m.mtl\n" + box);
        },
        "m.mtl: UTF-16 (big endian) text with a lone surrogate half at byte 20");
    std::string many = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    for (int i = 0; i <= MaxPartCount; ++i)
        many += "o p" + std::to_string(i) + "\nf 1 2 3\n";
    rejects("too many parts", model(many), "at most 1024 parts");
    rejects("long name", model(box), "name is 100 bytes", {"--name", std::string(100, 'n')});
    rejects("long fleet entry", model(box), "shorten the name or the description",
            {"--description", "A description that is far too long to list"});
    rejects("empty name", model(box), "name is empty", {"--name", ""});
}

TEST(ForgeImport, EveryDefaultRaceComesBackFromItsExport) {
    for (const NamedRace& named : buildDefaultRaces()) {
        const RaceFileRecord& race = named.record;
        TempDirectory dir;
        ExportedRace exported = exportRace(race);
        for (const auto& [name, bytes] : exported.files)
            ASSERT_TRUE(writeFileBytes(dir.path + name, bytes));
        ImportOptions options = exported.reimport;
        options.modelPath = dir.path + options.modelPath;
        options.missilePath = dir.path + options.missilePath;
        RaceFileRecord back;
        ForgeReport report;
        ASSERT_TRUE(importRace(options, back, report)) << report.error;
        SCOPED_TRACE(race.raceName);
        ASSERT_EQ(back.parts.size(), race.parts.size());
        for (size_t i = 0; i < race.parts.size(); ++i) {
            const MeshRecord &a = race.parts[i].mesh, &b = back.parts[i].mesh;
            EXPECT_EQ(back.parts[i].textureIndex, race.parts[i].textureIndex);
            ASSERT_EQ(b.positions.size(), a.positions.size());
            ASSERT_EQ(b.triangles.size(), a.triangles.size());
            for (size_t v = 0; v < a.positions.size(); ++v) {
                for (int c = 0; c < 3; ++c)
                    ASSERT_NEAR(b.positions[v][size_t(c)], a.positions[v][size_t(c)], 1e-6);
                for (int c = 0; c < 2; ++c)
                    ASSERT_NEAR(b.texCoords[v][size_t(c)], a.texCoords[v][size_t(c)], 1e-6);
            }
            for (size_t f = 0; f < a.triangles.size(); ++f)
                ASSERT_TRUE(b.triangles[f].a == a.triangles[f].a &&
                            b.triangles[f].b == a.triangles[f].b &&
                            b.triangles[f].c == a.triangles[f].c);
        }
        ASSERT_EQ(back.textures.size(), race.textures.size());
        for (size_t i = 0; i < race.textures.size(); ++i)
            EXPECT_TRUE(back.textures[i].pixels == race.textures[i].pixels);
        EXPECT_TRUE(back.projectile.pixels == race.projectile.pixels);
        EXPECT_EQ(std::vector<float>(back.beamColourNear, back.beamColourNear + 3),
                  std::vector<float>(race.beamColourNear, race.beamColourNear + 3));
        EXPECT_EQ(back.raceName, race.raceName);
    }
}

TEST(ForgeExport, WritesTheFilesAndRefusesAnInvalidRace) {
    TempDirectory dir;
    std::string race = dir.path + "Vessari.ast";
    ASSERT_TRUE(writeFileBytes(race, writeRaceFile(buildDefaultRaces().front().record)));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(runForge({"export", race, dir.path + "out"}), 0);
    writeText(dir.path + "Bad.ast", "junk");
    EXPECT_EQ(runForge({"export", dir.path + "Bad.ast", dir.path + "bad"}), 2);
    EXPECT_EQ(runForge({"--version"}), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Bad.ast: not a valid race file"),
              std::string::npos);
    EXPECT_NE(out.find("kestrion-forge " KESTRION_VERSION), std::string::npos);
    for (const char* name : {"Vessari.obj", "Vessari.mtl", "Vessari-texture3.png",
                             "Vessari-shield.obj", "Vessari-missile.png"})
        EXPECT_TRUE(fs::exists(dir.path + "out/" + name)) << name;
    EXPECT_FALSE(fs::exists(dir.path + "bad"));
    EXPECT_EQ(fileStem("A b/c:d"), "A_b_c_d");
}

} // namespace
