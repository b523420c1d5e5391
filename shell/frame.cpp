#include "shell/frame.h"

#include "battle/engage.h"
#include "battle/fleet.h"
#include "battle/motion.h"
#include "data/effects.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "render/alliance.h"
#include "render/smoke.h"
#include "shell/display.h"

SwapFunction FrameSwap = nullptr;

namespace {
struct Tile {
    int slot;
    float xa, xb, ya, yb;
};

void drawTile(const Tile& tile) {
    glBindTexture(GL_TEXTURE_2D, BackgroundTextures[tile.slot]);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(0, 0);
    glVertex2f(tile.xa, tile.ya);
    glTexCoord2f(0, 1);
    glVertex2f(tile.xa, tile.yb);
    glTexCoord2f(1, 1);
    glVertex2f(tile.xb, tile.yb);
    glTexCoord2f(1, 1);
    glVertex2f(tile.xb, tile.yb);
    glTexCoord2f(1, 0);
    glVertex2f(tile.xb, tile.ya);
    glTexCoord2f(0, 0);
    glVertex2f(tile.xa, tile.ya);
    glEnd();
}

template <typename Step> void forEachShip(Step step) {
    for (int alliance = 1; alliance <= 2; ++alliance) {
        FleetState& fleet = fleetOf(alliance);
        for (int i = 0; i < fleet.shipCount; ++i)
            step(fleet.ships[i]);
    }
}
} // namespace

void drawBackground() {
    const float x1 = static_cast<float>(ScreenWidth * 0.3333333333333333);
    const float x2 = static_cast<float>(ScreenWidth * 0.6666666666666666);
    const float ym = static_cast<float>(ScreenHeight / 2);
    const float w = static_cast<float>(ScreenWidth);
    const float h = static_cast<float>(ScreenHeight);
    // The top row shows slots 3, 4, 5 and the bottom row slots 0, 1, 2.
    const Tile tiles[6] = {
        {3, 0, x1, 0, ym}, {4, x1, x2, 0, ym}, {5, x2, w, 0, ym},
        {0, 0, x1, ym, h}, {1, x1, x2, ym, h}, {2, x2, w, ym, h},
    };
    for (const Tile& tile : tiles)
        drawTile(tile);
}

void RunFrame() {
    glClear(GL_DEPTH_BUFFER_BIT);
    if (MultitextureAvailable) glActiveTextureARB(GL_TEXTURE0_ARB);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, static_cast<double>(ScreenWidth), static_cast<double>(ScreenHeight), 0.0, 1.0,
            -1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    drawBackground();
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();

    forEachShip([](Ship& ship) {
        chooseManoeuvre(ship);
        turnShip(ship);
    });
    forEachShip([](Ship& ship) { moveShip(ship); });

    drawAlliance(1);
    drawAlliance(2);

    runBattlePass();

    drawSmokePuffs();

    glFlush();
    if (FrameSwap) FrameSwap();
}

uint32_t previewWaitMs(uint32_t lastFrameAt, uint32_t now) {
    const uint32_t since = now - lastFrameAt;
    return since >= PreviewFrameMs ? 0 : PreviewFrameMs - since;
}
