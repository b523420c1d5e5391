#include "data/scene.h"

#include "data/effects.h"
#include "data/formats.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
constexpr double FrustumHalfWidth = 0.04444;
constexpr double FrustumHalfHeight = 0.03333;
constexpr double FrustumNear = 0.1;
constexpr double FrustumFar = 1000.0;

// The backdrop's level as uploaded, -1 before the effects are loaded.
int32_t BackdropLevel = -1;
// The size the view was last set up or placed at, which the backdrop's level follows.
int32_t ViewWidth = 800;
int32_t ViewHeight = 600;
// The folder the effects file was read from, and whether the backdrop's pixels
// were dropped after their upload, to be read from there again when needed.
std::string EffectsFolder;
bool BackdropReleased = false;

void uploadBackdrop(int32_t level) {
    for (int i = 0; i < BackgroundImageCount; ++i)
        uploadBackdropTexture(BackgroundTextures[i], Effects.backgroundImages[i],
                              EdgeClampAvailable != 0, level);
    BackdropLevel = level;
}

void fillImage(TextureImage& image, const ImageRecord& record) {
    destroyTextureImage(image);
    image.pixels = new uint8_t[record.pixels.size()];
    if (!record.pixels.empty())
        std::memcpy(image.pixels, record.pixels.data(), record.pixels.size());
    image.width = record.width;
    image.height = record.height;
}

bool readEffects(const std::string& directory, EffectsFileRecord& file) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(directory + "Explosion.as", bytes)) return false;
    // Beyond the reader's own checks, a frame table that does not fit is refused too.
    return parseEffectsFile(bytes.data(), bytes.size(), file, nullptr) &&
           file.frames.size() <= size_t(ExplosionFrameCount);
}

// The dropped backdrop pixels read again; true when they are at hand.
bool reloadBackdropPixels() {
    if (!BackdropReleased) return Effects.backgroundImages[0].pixels != nullptr;
    EffectsFileRecord file;
    if (!readEffects(EffectsFolder, file) ||
        file.backgrounds.size() != size_t(BackgroundImageCount))
        return false;
    for (int i = 0; i < BackgroundImageCount; ++i)
        fillImage(Effects.backgroundImages[i], file.backgrounds[size_t(i)]);
    BackdropReleased = false;
    return true;
}

// The backdrop at `level`, its pixels read again first when they were dropped
// (and dropped again after).
bool uploadBackdropAt(int32_t level) {
    const bool released = BackdropReleased;
    if (!reloadBackdropPixels()) return false;
    if (MultitextureAvailable) glActiveTextureARB(GL_TEXTURE0_ARB);
    uploadBackdrop(level);
    if (released) releaseBackdropPixels();
    return true;
}

// Effect meshes keep positions, texture coordinates and triangles only; they
// are drawn vertex by vertex.
void fillMesh(Mesh& mesh, const MeshRecord& record) {
    destroyMesh(mesh);
    const size_t vertexCount = record.positions.size();
    mesh.vertices = new MeshVertex[vertexCount]{};
    for (size_t i = 0; i < vertexCount; ++i) {
        MeshVertex& vertex = mesh.vertices[i];
        vertex.x = record.positions[i][0];
        vertex.y = record.positions[i][1];
        vertex.z = record.positions[i][2];
        vertex.u = record.texCoords[i][0];
        vertex.v = record.texCoords[i][1];
    }
    const size_t triangleCount = record.triangles.size();
    mesh.triangles = new MeshTriangle[triangleCount];
    for (size_t i = 0; i < triangleCount; ++i)
        mesh.triangles[i] = record.triangles[i];
    mesh.vertexCount = static_cast<int32_t>(vertexCount);
    mesh.triangleCount = static_cast<int32_t>(triangleCount);
}

void uploadEffects(const EffectsFileRecord& file) {
    const int frameCount = static_cast<int>(file.frames.size());
    glGenTextures(frameCount, Effects.explosionTextures);
    Effects.explosionFrameCount = frameCount;
    for (int i = 0; i < frameCount; ++i) {
        fillImage(Effects.explosionFrames[i], file.frames[size_t(i)]);
        uploadRgbaTexture(Effects.explosionTextures[i], Effects.explosionFrames[i]);
    }

    // The tiles' joins show nothing of the opposite edge where the driver can
    // clamp; elsewhere the frame keeps its coordinates off the edges.
    const GLubyte* version = glGetString(GL_VERSION);
    EdgeClampAvailable = offersEdgeClamp(reinterpret_cast<const char*>(version)) ? 1 : 0;
    glGenTextures(BackgroundImageCount, BackgroundTextures);
    for (int i = 0; i < BackgroundImageCount; ++i)
        fillImage(Effects.backgroundImages[i], file.backgrounds[size_t(i)]);
    uploadBackdrop(backdropLevelFor(ViewWidth, ViewHeight, ViewShape, Effects.backgroundImages[0]));

    fillMesh(Effects.spriteMesh, file.sprite);
    fillMesh(Effects.blastMesh, file.blast);
    fillMesh(Effects.spareMesh, file.spare);

    struct Single {
        const ImageRecord& record;
        TextureImage& image;
        uint32_t& texture;
    };
    const Single singles[5] = {
        {file.shield, Effects.shieldImage, Effects.shieldTexture},
        {file.blastImage, Effects.blastImage, Effects.blastTexture},
        {file.spareImage, Effects.spareImage, Effects.spareTexture},
        {file.damage, Effects.damageImage, Effects.damageTexture},
        {file.smoke, Effects.smokeImage, Effects.smokeTexture},
    };
    for (const Single& single : singles) {
        glGenTextures(1, &single.texture);
        fillImage(single.image, single.record);
        // Damaged parts draw the damage image on the second unit; the unit stays
        // selected, so the smoke image is bound there too.
        if (&single.image == &Effects.damageImage && MultitextureAvailable)
            glActiveTextureARB(GL_TEXTURE1_ARB);
        uploadRgbaTexture(single.texture, single.image);
    }
}
} // namespace

FleetBuilder BuildFleets = nullptr;

bool setUpScene(int32_t width, int32_t height, const std::string& directory) {
    ViewShape = SceneShape::FourByThree;
    ViewWidth = width > 0 ? width : 1;
    ViewHeight = height > 0 ? height : 1;
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);

    glMatrixMode(GL_PROJECTION);
    glViewport(0, 0, width, height);
    glLoadIdentity();
    // The same 4:3 view at every resolution.
    glFrustum(-FrustumHalfWidth, FrustumHalfWidth, -FrustumHalfHeight, FrustumHalfHeight,
              FrustumNear, FrustumFar);

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -16.0f);
    glRotatef(-15.0f, 1.0f, 0.0f, 0.0f);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    if (MultitextureAvailable) {
        glClientActiveTextureARB(GL_TEXTURE0_ARB);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glClientActiveTextureARB(GL_TEXTURE1_ARB);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }

    glDisable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    glFrontFace(GL_CCW);
    glEnable(GL_CULL_FACE);

    // Set under the camera transform, so the light stands still in the world.
    static const GLfloat ambient[4] = {0.5f, 0.5f, 0.5f, 0.0f};
    static const GLfloat diffuse[4] = {1.0f, 1.0f, 1.0f, 0.0f};
    static const GLfloat specular[4] = {0.5f, 0.5f, 0.5f, 0.0f};
    static const GLfloat position[4] = {20.0f, 20.0f, -150.0f, 1.0f};
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 0);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);

    glShadeModel(GL_SMOOTH);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    if (MultitextureAvailable) glActiveTextureARB(GL_TEXTURE0_ARB);
    glEnable(GL_TEXTURE_2D);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLfloat>(GL_REPEAT));
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLfloat>(GL_REPEAT));

    return loadSceneAssets(directory);
}

SceneShape ViewShape = SceneShape::FourByThree;

bool isFourByThree(int32_t width, int32_t height) {
    return std::abs(3L * width - 4L * height) <= 4;
}

int32_t backdropLevelFor(int32_t width, int32_t height, SceneShape shape,
                         const TextureImage& image) {
    width = width > 0 ? width : 1;
    height = height > 0 ? height : 1;
    // Pixels a whole tile covers: a third and a half of a 4:3 or stretched
    // window, else the panorama's share of the window it covers.
    const bool whole = shape == SceneShape::FourByThree || isFourByThree(width, height);
    const double scale = std::max(width / 4.0, height / 3.0);
    const double across = whole ? width / 3.0 : scale * 4.0 / 3.0;
    const double down = whole ? height / 2.0 : scale * 1.5;
    const double texelsPerPixel = std::max(image.width / across, image.height / down);
    int32_t level = 0;
    while (texelsPerPixel > double(int64_t(1) << level) && (image.width >> (level + 1)) > 0 &&
           (image.height >> (level + 1)) > 0)
        ++level;
    return level;
}

float lineWidthFor(int32_t height) {
    return height > 600 ? static_cast<float>(height) / 600.0f : 1.0f;
}

void placeScene(int32_t x, int32_t y, int32_t width, int32_t height, SceneShape shape) {
    width = width > 0 ? width : 1;
    height = height > 0 ? height : 1;
    ViewShape = shape;
    ViewWidth = width;
    ViewHeight = height;
    glLineWidth(lineWidthFor(height));
    // A new size may want another level of the backdrop, on the first unit.
    const int32_t level = backdropLevelFor(width, height, shape, Effects.backgroundImages[0]);
    if (BackdropLevel >= 0 && level != BackdropLevel) uploadBackdropAt(level);
    glViewport(x, y, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // The 4:3 view's height, as wide as the window is: at 4:3 the view is the usual one.
    const double halfWidth =
        shape == SceneShape::FourByThree ? FrustumHalfWidth : FrustumHalfHeight * width / height;
    glFrustum(-halfWidth, halfWidth, -FrustumHalfHeight, FrustumHalfHeight, FrustumNear,
              FrustumFar);
    glMatrixMode(GL_MODELVIEW);
}

void releaseSceneAssets() {
    for (TextureImage& frame : Effects.explosionFrames)
        destroyTextureImage(frame);
    Effects.explosionFrameCount = 0;
    for (TextureImage& background : Effects.backgroundImages)
        destroyTextureImage(background);
    BackdropLevel = -1;
    BackdropReleased = false;
    for (Mesh* mesh : {&Effects.spriteMesh, &Effects.blastMesh, &Effects.spareMesh})
        destroyMesh(*mesh);
    for (TextureImage* image : {&Effects.shieldImage, &Effects.blastImage, &Effects.spareImage,
                                &Effects.damageImage, &Effects.smokeImage})
        destroyTextureImage(*image);
}

bool loadSceneAssets(const std::string& directory) {
    if (!BuildFleets || !BuildFleets(directory)) return false;

    EffectsFileRecord file;
    if (!readEffects(directory, file)) return false;
    EffectsFolder = directory;
    BackdropReleased = false;
    uploadEffects(file);
    return true;
}

void releaseBackdropPixels() {
    if (!Effects.backgroundImages[0].pixels) return;
    for (TextureImage& background : Effects.backgroundImages)
        destroyTextureImage(background);
    BackdropReleased = true;
}

bool uploadBackdropAgain() {
    return BackdropLevel >= 0 && uploadBackdropAt(BackdropLevel);
}
