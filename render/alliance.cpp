#include "render/alliance.h"

#include "battle/fleet.h"
#include "data/effects.h"
#include "gl/gl_table.h"
#include "render/hull.h"
#include "render/shield.h"
#include "render/texture.h"

void drawAlliance(int alliance) {
    FleetState& fleet = fleetOf(alliance);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < fleet.shipCount; ++i)
        drawShipModel(fleet.ships[i]);

    // Bubbles are blended over what is drawn and hide nothing themselves.
    bindResident(Effects.shieldTexture, Effects.shieldImage, TextureKind::Rgba);
    glDisable(GL_LIGHTING);
    glEnable(GL_BLEND);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_FALSE);
    for (int i = 0; i < fleet.shipCount; ++i)
        drawShield(fleet.ships[i]);
    glEnable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    for (int i = 0; i < fleet.shipCount; ++i)
        drawImpacts(fleet.ships[i]);
}
