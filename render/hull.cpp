#include "render/hull.h"

#include "battle/fleet.h"
#include "data/effects.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"

#include <initializer_list>

void applyShipTransform(const Ship& ship) {
    glTranslatef(static_cast<float>(ship.position[0]), static_cast<float>(ship.position[1]),
                 static_cast<float>(ship.position[2]));
    glRotated(ship.angles[0], 1.0, 0.0, 0.0);
    glRotated(ship.angles[1], 0.0, 1.0, 0.0);
    glRotated(ship.angles[2], 0.0, 0.0, 1.0);
}

void drawSpriteTriangles(const Mesh& mesh, int count) {
    if (count > mesh.triangleCount) count = mesh.triangleCount;
    glBegin(GL_TRIANGLES);
    for (int t = 0; t < count; ++t) {
        const MeshTriangle& triangle = mesh.triangles[t];
        for (int corner : {triangle.a, triangle.b, triangle.c}) {
            const MeshVertex& v = mesh.vertices[corner];
            glTexCoord2f(v.u, v.v);
            glNormal3f(v.nx, v.ny, v.nz);
            glVertex3f(v.x, v.y, v.z);
        }
    }
    glEnd();
}

namespace {
// Binds the part's texture on unit 0 and the damage texture on unit 1; both
// are specified again when the part's texture has been evicted.
void bindPartTextures(const Mesh& part) {
    GLuint name = part.texture;
    GLboolean residence = GL_FALSE;
    const bool resident = glAreTexturesResident(1, &name, &residence) != GL_FALSE;
    if (resident || !part.image) {
        glBindTexture(GL_TEXTURE_2D, part.texture);
        if (MultitextureAvailable) {
            glActiveTextureARB(GL_TEXTURE1_ARB);
            glBindTexture(GL_TEXTURE_2D, Effects.damageTexture);
        }
        return;
    }
    uploadRgbTexture(part.texture, *part.image);
    if (MultitextureAvailable) {
        glActiveTextureARB(GL_TEXTURE1_ARB);
        uploadRgbaTexture(Effects.damageTexture, Effects.damageImage);
    }
}

void setTexCoordArrays(const float* texCoords) {
    if (!MultitextureAvailable) {
        glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
        return;
    }
    // Both units read the part's own mapping, so the damage lies over the hull.
    glClientActiveTextureARB(GL_TEXTURE0_ARB);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
    glClientActiveTextureARB(GL_TEXTURE1_ARB);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords);
}
} // namespace

void drawShipModel(const Ship& ship) {
    const RaceData& race = raceOf(ship);
    for (int i = 0; i < race.meshCount; ++i) {
        const Mesh& part = race.meshes[i];
        if (MultitextureAvailable) glActiveTextureARB(GL_TEXTURE0_ARB);
        bindPartTextures(part);
        if (ship.dying == 1) continue; // the explosion stands in for the hull

        const bool overlay = MultitextureAvailable && ship.partDamaged && i < ship.partCount &&
                             ship.partDamaged[i] == 1;
        if (overlay) {
            glActiveTextureARB(GL_TEXTURE1_ARB);
            glEnable(GL_TEXTURE_2D);
        }
        glPushMatrix();
        applyShipTransform(ship);
        glVertexPointer(3, GL_FLOAT, 0, part.positions);
        glNormalPointer(GL_FLOAT, 0, part.normals);
        setTexCoordArrays(part.texCoords);
        glDrawArrays(GL_TRIANGLES, 0, part.triangleCount * 3);
        glPopMatrix();
        if (overlay) {
            glActiveTextureARB(GL_TEXTURE1_ARB);
            glDisable(GL_TEXTURE_2D);
        }
    }
}
