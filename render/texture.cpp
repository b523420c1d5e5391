#include "render/texture.h"

#include "gl/gl_state.h"
#include "gl/gl_table.h"

void bindResident(uint32_t name, const TextureImage& image, TextureKind kind) {
    if (MultitextureAvailable) glActiveTextureARB(GL_TEXTURE0_ARB);
    // With one name the result is the answer: the residence array is left
    // untouched when every name is resident.
    GLboolean residence = GL_FALSE;
    if (glAreTexturesResident(1, &name, &residence)) {
        glBindTexture(GL_TEXTURE_2D, name);
        return;
    }
    if (kind == TextureKind::Rgb)
        uploadRgbTexture(name, image);
    else
        uploadRgbaTexture(name, image);
}
