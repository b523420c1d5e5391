#include "shell/frame.h"

#include "battle/engage.h"
#include "battle/fleet.h"
#include "battle/motion.h"
#include "data/effects.h"
#include "data/scene.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "render/alliance.h"
#include "render/backdrop.h"
#include "render/smoke.h"
#include "shell/display.h"

SwapFunction FrameSwap = nullptr;

namespace {
void drawTile(const BackdropTile& tile) {
    glBindTexture(GL_TEXTURE_2D, BackgroundTextures[tile.slot]);
    glBegin(GL_TRIANGLES);
    glTexCoord2f(tile.sa, tile.ta);
    glVertex2f(tile.xa, tile.ya);
    glTexCoord2f(tile.sa, tile.tb);
    glVertex2f(tile.xa, tile.yb);
    glTexCoord2f(tile.sb, tile.tb);
    glVertex2f(tile.xb, tile.yb);
    glTexCoord2f(tile.sb, tile.tb);
    glVertex2f(tile.xb, tile.yb);
    glTexCoord2f(tile.sb, tile.ta);
    glVertex2f(tile.xb, tile.ya);
    glTexCoord2f(tile.sa, tile.ta);
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
    BackdropTile tiles[6];
    const int count =
        layOutBackdrop(ScreenWidth, ScreenHeight, ViewShape,
                       EdgeClampAvailable ? nullptr : Effects.backgroundImages, tiles);
    for (int i = 0; i < count; ++i)
        drawTile(tiles[i]);
}

namespace {
void drawBackdropPass() {
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
}

void finishFrame() {
    glFlush();
    if (FrameSwap) FrameSwap();
}
} // namespace

void RunFrame() {
    drawBackdropPass();
    forEachShip([](Ship& ship) {
        chooseManoeuvre(ship);
        turnShip(ship);
    });
    forEachShip([](Ship& ship) { moveShip(ship); });

    drawAlliance(1);
    drawAlliance(2);

    runBattlePass();

    drawSmokePuffs();
    finishFrame();
}

void DrawFrameView() {
    drawBackdropPass();
    drawAlliance(1);
    drawAlliance(2);
    drawBattleView();
    drawSmokePuffs();
    finishFrame();
}

uint32_t previewWaitMs(uint32_t lastFrameAt, uint32_t now) {
    const uint32_t since = now - lastFrameAt;
    return since >= PreviewFrameMs ? 0 : PreviewFrameMs - since;
}
