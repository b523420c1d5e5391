#include "data/effects.h"
#include "gl/gl_state.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "render/smoke.h"
#include "tests/support/recording_gl.h"
#include "tests/support/render_fixtures.h"

#include <gtest/gtest.h>

namespace {
struct SmokeTest : ::testing::Test {
    void SetUp() override {
        installRecordingGL();
        MultitextureAvailable = 1;
        useFakeClock(90000);
        setUpTestEffects();
        createPuffList();
    }
    void TearDown() override {
        releasePuffList();
        tearDownTestEffects();
        seedRandom(1);
    }
};

// A seed whose first draw is exactly `draw`.
uint32_t seedDrawing(int draw) {
    for (uint32_t seed = 0;; ++seed) {
        seedRandom(seed);
        if (drawRandom() == draw) return seed;
    }
}

int puffCount() {
    int count = 0;
    for (SmokePuff* p = PuffListHead->next; p; p = p->next)
        ++count;
    return count;
}

SmokePuff* appendPuff(uint32_t startTime, float x) {
    SmokePuff* last = PuffListHead;
    while (last->next)
        last = last->next;
    last->next = new SmokePuff();
    last->next->startTime = last->next->lastTime = startTime;
    last->next->x = x;
    return last->next;
}
} // namespace

TEST_F(SmokeTest, PuffIsDroppedOnlyWhenTheDrawIsAboveNineteenThousand) {
    const double position[3] = {1.25, -3.5, 0.75};
    seedRandom(seedDrawing(19000));
    spawnSmokePuff(PuffListHead, position);
    EXPECT_EQ(puffCount(), 0);

    seedRandom(seedDrawing(19001));
    spawnSmokePuff(PuffListHead, position);
    ASSERT_EQ(puffCount(), 1);
    seedRandom(seedDrawing(32767));
    advanceFakeClock(5);
    spawnSmokePuff(PuffListHead, position);
    ASSERT_EQ(puffCount(), 2);

    const SmokePuff* first = PuffListHead->next;
    EXPECT_EQ(first->alpha, 1.0f);
    EXPECT_EQ(first->x, 1.25f);
    EXPECT_EQ(first->y, -3.5f);
    EXPECT_EQ(first->z, 0.75f);
    EXPECT_EQ(first->startTime, 90000u);
    EXPECT_EQ(first->lastTime, 90000u);
    EXPECT_EQ(first->next->startTime, 90005u) << "new puffs go at the tail";
}

TEST_F(SmokeTest, ExpiredRunIsRemovedInOnePassAndTheLivePuffBehindIsDrawn) {
    appendPuff(90000 - 2000, 1);
    appendPuff(90000 - 800, 2);
    appendPuff(90000 - 801, 3);
    SmokePuff* live = appendPuff(90000 - 400, 4);
    appendPuff(90000 - 900, 5);
    drawSmokePuffs();

    ASSERT_EQ(puffCount(), 1);
    EXPECT_EQ(PuffListHead->next, live);
    EXPECT_EQ(live->lastTime, 90000u);
    EXPECT_FLOAT_EQ(live->alpha, 0.5f);
    auto translate = callsNamed("glTranslatef");
    ASSERT_EQ(translate.size(), 1u);
    EXPECT_EQ(translate[0].args[0], 4);
    EXPECT_FLOAT_EQ(static_cast<float>(callsNamed("glScalef")[0].args[0]), 0.95f);
    EXPECT_EQ(callsNamed("glColor4f")[0].args, (std::vector<double>{0.35f, 0.35f, 0.35f, 0.5f}));
}

TEST_F(SmokeTest, FreshPuffIsDrawnSmallAndOpaqueWithTwoSpriteTriangles) {
    const double position[3] = {0, 1, 2};
    seedRandom(seedDrawing(20000));
    spawnSmokePuff(PuffListHead, position);
    drawSmokePuffs();

    const int bind = findCall("glBindTexture");
    ASSERT_GE(bind, 0);
    EXPECT_EQ(RecordingGL.calls[bind].args[1], TestSmokeTexture);
    EXPECT_EQ(callsNamed("glScalef")[0].args, (std::vector<double>{0.15f, 0.15f, 0.15f}));
    EXPECT_EQ(callsNamed("glColor4f")[0].args, (std::vector<double>{0.35f, 0.35f, 0.35f, 1}));
    EXPECT_EQ(callsNamed("glVertex3f").size(), 6u) << "the sprite's first two triangles only";
    EXPECT_EQ(puffCount(), 1);

    // The pass ends in the state the next frame's background expects.
    const auto& calls = RecordingGL.calls;
    std::vector<std::pair<std::string, double>> tail;
    for (size_t i = calls.size() - 5; i < calls.size(); ++i)
        tail.emplace_back(calls[i].name, calls[i].args[0]);
    EXPECT_EQ(tail, (std::vector<std::pair<std::string, double>>{{"glDepthMask", GL_TRUE},
                                                                 {"glEnable", GL_CULL_FACE},
                                                                 {"glEnable", GL_LIGHTING},
                                                                 {"glDisable", GL_BLEND},
                                                                 {"glColor3f", 1}}));

    // 800 ms later it is gone.
    advanceFakeClock(800);
    drawSmokePuffs();
    EXPECT_EQ(puffCount(), 0);
}

TEST_F(SmokeTest, EmptyOrMissingListDrawsNothing) {
    drawSmokePuffs();
    EXPECT_EQ(findCall("glBegin"), -1);
    EXPECT_GE(findCall("glBindTexture"), 0);

    releasePuffList();
    EXPECT_EQ(PuffListHead, nullptr);
    const double position[3] = {0, 0, 0};
    seedRandom(seedDrawing(30000));
    spawnSmokePuff(PuffListHead, position);
    drawSmokePuffs();
    EXPECT_EQ(findCall("glBegin"), -1);
    removeNextPuff(nullptr);
}

TEST_F(SmokeTest, DropsAfterTheLastPuffExpiredOrWasAddedStillGoAtTheEnd) {
    const double position[3] = {0, 0, 0};
    const uint32_t dropping = seedDrawing(30000);
    for (int i = 0; i < 3; ++i) {
        seedRandom(dropping);
        spawnSmokePuff(PuffListHead, position);
    }
    ASSERT_EQ(puffCount(), 3);
    advanceFakeClock(800);
    drawSmokePuffs(); // all three expire, the last one with them
    ASSERT_EQ(puffCount(), 0);

    seedRandom(dropping);
    spawnSmokePuff(PuffListHead, position);
    ASSERT_EQ(puffCount(), 1);
    const SmokePuff* own = appendPuff(clockNow(), 7.0f); // linked on by hand
    seedRandom(dropping);
    spawnSmokePuff(PuffListHead, position);
    ASSERT_EQ(puffCount(), 3);
    EXPECT_EQ(own->next, PuffListHead->next->next->next);
    EXPECT_EQ(own->next->next, nullptr);
}
