// The default races: name, ship, paint, beams, shield and missile of each.
// Ships point their nose along -y with their top towards +z, and are sized for
// the camera (about 0.7 units long; the view is about 7 units wide).
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"
#include "tools/forge/painters.h"

namespace {
// Texture table slots every race uses.
enum Slot { HullSlot = 0, AccentSlot = 1, EngineSlot = 2, CanopySlot = 3 };

struct Look {
    PlatingPaint hull;
    PlatingPaint accent;
    Colour engineMetal, engineGlow;
    Colour glass, windowLights;
    MissileShape missile;
    Colour missileCore, missileHalo;
    Colour beamNear, beamFar, shield;
};

// One repeat of the hull plating per model unit (256 texels), of the accent
// plating per half unit (128 texels): both about one texel per screen pixel.
Mapping hullMap(float u = 0.0f, float v = 0.0f) {
    Mapping m;
    m.scale = 1.0f;
    m.uOffset = u;
    m.vOffset = v;
    return m;
}

Mapping accentMap() {
    Mapping m;
    m.scale = 2.0f;
    return m;
}

Mapping canopyMap() {
    Mapping m;
    m.scale = 5.0f;
    m.uOffset = 0.3f;
    return m;
}

// Engines: ribs along the sides, the glowing nozzle on the rear cap.
Mapping engineMap() {
    Mapping m;
    m.band = true;
    m.uRepeat = 2.0f;
    m.vStart = 0.0f;
    m.vEnd = 0.5f;
    m.capU = 0.5f;
    m.capV = 0.75f;
    m.capRadius = 0.23f;
    return m;
}

// A loft along +y (the ship's length).
void loftY(MeshRecord& mesh, const std::vector<Vec2>& profile, std::vector<Section> sections,
           const Mapping& map, bool smooth) {
    addLoft(mesh, Frame{}, profile, sections, map, smooth);
}

// A round engine along +y at (x, z), pointed at the front, nozzle at `back`.
void engineAt(MeshRecord& mesh, float x, float z, float front, float back, float radius,
              int sides = 10) {
    float len = back - front;
    loftY(mesh, regularProfile(sides),
          {{front, x, z, 0, 0},
           {front + 0.18f * len, x, z, radius * 0.85f, radius * 0.85f},
           {back - 0.2f * len, x, z, radius, radius},
           {back, x, z, radius * 1.15f, radius * 1.15f}},
          engineMap(), true);
}

// A closed spindle along +y: a point at each end.
void spindle(MeshRecord& mesh, const std::vector<Vec2>& profile, float x, float z, float front,
             float back, float rx, float rz, const Mapping& map, bool smooth = true) {
    float len = back - front;
    loftY(mesh, profile,
          {{front, x, z, 0, 0},
           {front + 0.3f * len, x, z, rx, rz},
           {back - 0.3f * len, x, z, rx, rz},
           {back, x, z, 0, 0}},
          map, smooth);
}

// A vertical plate in the y-z plane at x: `outline` as (up, back) points.
void fin(MeshRecord& mesh, float x, const std::vector<Vec2>& outline, float halfThickness,
         const Mapping& map) {
    Frame f;
    f.origin = {x, 0, 0};
    f.ax = {0, 0, 1};
    f.ay = {0, 1, 0};
    f.az = {-1, 0, 0};
    addSlab(mesh, f, outline, halfThickness, map);
}

PartRecord part(MeshRecord mesh, int slot) {
    return PartRecord{std::move(mesh), slot};
}

// ---------------------------------------------------------------------------
// Vessari: a white arrowhead interceptor with swept wings and wingtip lances.
std::vector<PartRecord> vessariShip() {
    MeshRecord hull, wings, engines, bridge, pods;
    loftY(hull, regularProfile(6),
          {{-0.40f, 0, 0, 0, 0},
           {-0.30f, 0, 0.004f, 0.035f, 0.018f},
           {-0.15f, 0, 0.008f, 0.060f, 0.032f},
           {0.05f, 0, 0.010f, 0.075f, 0.042f},
           {0.22f, 0, 0.006f, 0.068f, 0.038f},
           {0.30f, 0, 0.002f, 0.050f, 0.028f}},
          hullMap(), false);

    MeshRecord wing;
    addSlab(wing, rolled(frameAt({0, 0, -0.004f}), 0.018),
            {{0.05f, -0.12f}, {0.34f, 0.15f}, {0.355f, 0.23f}, {0.31f, 0.26f}, {0.05f, 0.21f}},
            0.008f, accentMap());
    fin(wing, 0.10f, {{0.02f, 0.14f}, {0.10f, 0.27f}, {0.105f, 0.33f}, {0.02f, 0.33f}}, 0.006f,
        accentMap());
    wings = withMirror(wing);

    MeshRecord engine;
    engineAt(engine, 0.10f, 0.0f, 0.00f, 0.36f, 0.034f);
    engines = withMirror(engine);

    loftY(bridge, regularProfile(10),
          {{-0.21f, 0, 0.030f, 0, 0},
           {-0.15f, 0, 0.036f, 0.024f, 0.020f},
           {-0.03f, 0, 0.040f, 0.030f, 0.024f},
           {0.06f, 0, 0.034f, 0, 0}},
          canopyMap(), true);

    MeshRecord lance;
    spindle(lance, regularProfile(6), 0.345f, 0.0f, -0.10f, 0.27f, 0.012f, 0.012f, hullMap(0.3f));
    pods = withMirror(lance);

    return {part(hull, HullSlot), part(wings, AccentSlot), part(engines, EngineSlot),
            part(bridge, CanopySlot), part(pods, HullSlot)};
}

// Korrhan: a blocky gunship with a hammerhead prow, gun sponsons and six engines.
std::vector<PartRecord> korrhanShip() {
    MeshRecord hull, armour, engines, bridge, guns;
    loftY(hull, chamferedProfile(0.35f),
          {{-0.27f, 0, 0, 0.07f, 0.05f},
           {-0.10f, 0, 0.004f, 0.09f, 0.06f},
           {0.20f, 0, 0, 0.09f, 0.06f},
           {0.30f, 0, 0, 0.07f, 0.045f}},
          hullMap(), false);

    addSlab(armour, frameAt({0, 0, 0}),
            {{-0.22f, -0.38f},
             {0.22f, -0.38f},
             {0.26f, -0.31f},
             {0.20f, -0.22f},
             {-0.20f, -0.22f},
             {-0.26f, -0.31f}},
            0.034f, accentMap());
    MeshRecord sponson;
    addBox(sponson, Frame{}, {0.175f, 0.07f, -0.01f}, {0.048f, 0.15f, 0.04f}, accentMap());
    appendMesh(armour, withMirror(sponson));

    MeshRecord side;
    auto squareEngine = [](MeshRecord& mesh, float x, float z, float front, float back, float r) {
        float len = back - front;
        addLoft(mesh, Frame{}, regularProfile(4, 0.125),
                {{front, x, z, r, r},
                 {back - 0.15f * len, x, z, r, r},
                 {back, x, z, r * 1.2f, r * 1.2f}},
                engineMap(), false);
    };
    squareEngine(side, 0.045f, 0.028f, 0.22f, 0.40f, 0.032f);
    squareEngine(side, 0.045f, -0.028f, 0.22f, 0.40f, 0.032f);
    squareEngine(side, 0.175f, -0.01f, 0.18f, 0.33f, 0.034f);
    engines = withMirror(side);

    addBox(bridge, Frame{}, {0, 0.10f, 0.085f}, {0.04f, 0.065f, 0.03f}, canopyMap());
    addBox(bridge, Frame{}, {0, 0.12f, 0.127f}, {0.028f, 0.04f, 0.013f}, canopyMap());

    MeshRecord gun;
    addBox(gun, Frame{}, {0.175f, -0.02f, 0.045f}, {0.032f, 0.038f, 0.016f}, hullMap());
    addBox(gun, Frame{}, {0.158f, -0.11f, 0.05f}, {0.006f, 0.06f, 0.006f}, hullMap());
    addBox(gun, Frame{}, {0.192f, -0.11f, 0.05f}, {0.006f, 0.06f, 0.006f}, hullMap());
    guns = withMirror(gun);
    addBox(guns, Frame{}, {0, -0.13f, 0.072f}, {0.03f, 0.035f, 0.014f}, hullMap());
    addBox(guns, Frame{}, {0, -0.20f, 0.076f}, {0.007f, 0.05f, 0.007f}, hullMap());

    return {part(hull, HullSlot), part(armour, AccentSlot), part(engines, EngineSlot),
            part(bridge, CanopySlot), part(guns, HullSlot)};
}

// Thyl: a living ship, an egg-shaped body between two forward-curving claws.
std::vector<PartRecord> thylShip() {
    MeshRecord body, claws, sacs, eye, spines;
    loftY(body, regularProfile(10),
          {{-0.17f, 0, 0, 0, 0},
           {-0.11f, 0, 0, 0.075f, 0.055f},
           {0.00f, 0, 0.005f, 0.12f, 0.08f},
           {0.12f, 0, 0.005f, 0.105f, 0.075f},
           {0.22f, 0, 0, 0.06f, 0.045f},
           {0.30f, 0, 0, 0, 0}},
          hullMap(), true);

    MeshRecord claw;
    loftY(claw, regularProfile(8),
          {{-0.40f, 0.10f, 0, 0, 0},
           {-0.34f, 0.16f, 0, 0.018f, 0.014f},
           {-0.25f, 0.22f, 0, 0.030f, 0.022f},
           {-0.14f, 0.26f, 0, 0.038f, 0.028f},
           {-0.03f, 0.265f, 0, 0.042f, 0.031f},
           {0.07f, 0.22f, 0, 0.044f, 0.032f},
           {0.14f, 0.14f, 0, 0.040f, 0.030f},
           {0.18f, 0.07f, 0, 0, 0}},
          accentMap(), true);
    claws = withMirror(claw);

    auto sac = [](MeshRecord& mesh, float x, float z, float front, float back, float r) {
        float len = back - front;
        addLoft(mesh, Frame{}, regularProfile(10),
                {{front, x, z, 0, 0},
                 {front + 0.5f * len, x, z, r * 0.8f, r * 0.8f},
                 {back, x, z, r, r}},
                engineMap(), true);
    };
    sac(sacs, 0.0f, 0.0f, 0.24f, 0.38f, 0.03f);
    MeshRecord sideSac;
    sac(sideSac, 0.05f, -0.012f, 0.18f, 0.32f, 0.026f);
    appendMesh(sacs, withMirror(sideSac));

    spindle(eye, regularProfile(10), 0.0f, 0.074f, -0.08f, 0.06f, 0.036f, 0.026f, canopyMap());

    // Dorsal spines leaning back.
    const float spineY[3] = {0.02f, 0.10f, 0.17f};
    const float spineLength[3] = {0.10f, 0.085f, 0.065f};
    for (int i = 0; i < 3; ++i) {
        Frame f = pitched(frameAt({0, spineY[i], 0.06f}), 0.19);
        addLoft(spines, f, regularProfile(5, 0.25),
                {{0, 0, 0, 0.016f, 0.016f}, {spineLength[i], 0, 0, 0, 0}}, hullMap(0.5f), false);
    }

    return {part(body, HullSlot), part(claws, AccentSlot), part(sacs, EngineSlot),
            part(eye, CanopySlot), part(spines, AccentSlot)};
}

// Oruun: a golden disc hub inside a teal ring, engines on the ring's back.
std::vector<PartRecord> oruunShip() {
    MeshRecord hub, ring, engines, spire, pods;
    Frame upright; // local b along z, so lofts stack upwards
    upright.ax = {1, 0, 0};
    upright.ay = {0, 0, 1};
    upright.az = {0, -1, 0};
    addLoft(hub, upright, regularProfile(16),
            {{-0.045f, 0, 0, 0.08f, 0.08f},
             {-0.02f, 0, 0, 0.15f, 0.15f},
             {0.02f, 0, 0, 0.15f, 0.15f},
             {0.045f, 0, 0, 0.09f, 0.09f}},
            hullMap(), false);

    addRing(ring, Frame{}, 0.30f, 0.024f, 0.02f, 24, accentMap());
    for (int k = 0; k < 4; ++k) {
        Frame spoke = yawed(Frame{}, 0.125 + 0.25 * k);
        addBox(ring, spoke, {0.215f, 0, 0}, {0.07f, 0.012f, 0.008f}, accentMap());
    }

    MeshRecord engine;
    engineAt(engine, 0.12f, 0.0f, 0.20f, 0.40f, 0.036f, 12);
    engines = withMirror(engine);

    Frame spireFrame = upright;
    spireFrame.origin = {0, 0, 0};
    addLoft(spire, spireFrame, regularProfile(8),
            {{0.03f, 0, 0, 0.06f, 0.06f},
             {0.07f, 0, 0, 0.045f, 0.045f},
             {0.10f, 0, 0, 0.02f, 0.02f},
             {0.125f, 0, 0, 0, 0}},
            canopyMap(), false);

    MeshRecord prong;
    spindle(prong, regularProfile(6), 0.10f, 0.0f, -0.37f, -0.20f, 0.018f, 0.018f, hullMap());
    spindle(prong, regularProfile(8), 0.325f, 0.0f, -0.04f, 0.04f, 0.03f, 0.03f, hullMap(0.5f));
    pods = withMirror(prong);

    return {part(hub, HullSlot), part(ring, AccentSlot), part(engines, EngineSlot),
            part(spire, CanopySlot), part(pods, HullSlot)};
}

// Sathe: a dark needle between two prongs, with four fins in an X behind.
std::vector<PartRecord> satheShip() {
    MeshRecord spine, prongs, engine, bridge, fins;
    std::vector<Vec2> diamond = regularProfile(4);
    loftY(spine, diamond,
          {{-0.44f, 0, 0, 0, 0},
           {-0.30f, 0, 0, 0.03f, 0.025f},
           {0.00f, 0, 0, 0.045f, 0.04f},
           {0.22f, 0, 0, 0.04f, 0.035f},
           {0.30f, 0, 0, 0.03f, 0.03f}},
          hullMap(), false);

    MeshRecord prong;
    addSlab(prong, frameAt({0, 0, 0}),
            {{0.0f, -0.07f}, {0.16f, -0.03f}, {0.16f, 0.02f}, {0.0f, 0.04f}}, 0.009f, accentMap());
    loftY(prong, diamond,
          {{-0.34f, 0.15f, 0, 0, 0},
           {-0.26f, 0.15f, 0, 0.018f, 0.02f},
           {0.02f, 0.15f, 0, 0.022f, 0.022f},
           {0.08f, 0.15f, 0, 0, 0}},
          accentMap(), false);
    prongs = withMirror(prong);

    addLoft(engine, Frame{}, regularProfile(12),
            {{0.22f, 0, 0, 0.035f, 0.035f},
             {0.30f, 0, 0, 0.045f, 0.045f},
             {0.36f, 0, 0, 0.062f, 0.062f}},
            engineMap(), true);

    loftY(bridge, diamond,
          {{-0.13f, 0, 0.035f, 0, 0},
           {-0.06f, 0, 0.04f, 0.026f, 0.026f},
           {0.04f, 0, 0.038f, 0.02f, 0.02f},
           {0.08f, 0, 0.034f, 0, 0}},
          canopyMap(), false);

    for (int k = 0; k < 4; ++k) {
        Frame f = rolled(Frame{}, 0.125 + 0.25 * k);
        addSlab(fins, f, {{0.03f, 0.12f}, {0.16f, 0.26f}, {0.17f, 0.33f}, {0.03f, 0.30f}}, 0.006f,
                accentMap());
    }

    return {part(spine, HullSlot), part(prongs, AccentSlot), part(engine, EngineSlot),
            part(bridge, CanopySlot), part(fins, AccentSlot)};
}

RaceFileRecord makeRace(const std::string& name, const std::string& description,
                        std::vector<PartRecord> parts, const Look& look) {
    RaceFileRecord race;
    race.headValue = 1;
    race.raceName = name;
    race.description = description;
    race.textures = {toBgr(paintPlating(256, look.hull)), toBgr(paintPlating(128, look.accent)),
                     toBgr(paintEngine(64, look.engineMetal, look.engineGlow, look.hull.seed)),
                     toBgr(paintCanopy(64, look.glass, look.windowLights, look.hull.seed))};
    race.parts = std::move(parts);
    for (PartRecord& part : race.parts)
        dropUnusedVertices(part.mesh);
    auto put = [](float* out, Colour c) {
        out[0] = c.r;
        out[1] = c.g;
        out[2] = c.b;
    };
    put(race.beamColourNear, look.beamNear);
    put(race.beamColourFar, look.beamFar);
    put(race.shieldColour, look.shield);
    race.projectile = toBgra(paintMissile(64, look.missile, look.missileCore, look.missileHalo));
    std::vector<const MeshRecord*> hull;
    for (const PartRecord& p : race.parts)
        hull.push_back(&p.mesh);
    race.shield = buildShieldMesh(hull, 1.08f);
    return race;
}
} // namespace

std::vector<NamedRace> buildDefaultRaces() {
    std::vector<NamedRace> races;

    Look vessari{{PlatingStyle::Plates,
                  {0.82f, 0.84f, 0.88f},
                  {0.30f, 0.34f, 0.42f},
                  {0.15f, 0.45f, 0.90f},
                  11},
                 {PlatingStyle::Plates,
                  {0.20f, 0.42f, 0.78f},
                  {0.08f, 0.14f, 0.30f},
                  {0.90f, 0.92f, 0.95f},
                  12},
                 {0.55f, 0.58f, 0.62f},
                 {0.30f, 0.75f, 1.00f},
                 {0.08f, 0.18f, 0.32f},
                 {0.60f, 0.90f, 1.00f},
                 MissileShape::Flare,
                 {0.90f, 1.00f, 1.00f},
                 {0.30f, 0.70f, 1.00f},
                 {0.60f, 0.95f, 1.00f},
                 {0.10f, 0.40f, 1.00f},
                 {0.35f, 0.70f, 1.00f}};
    races.push_back({"Vessari.ast", makeRace("Vessari", "Swift lancers of the pale reach",
                                             vessariShip(), vessari)});

    Look korrhan{{PlatingStyle::Hazard,
                  {0.44f, 0.43f, 0.42f},
                  {0.12f, 0.11f, 0.10f},
                  {0.95f, 0.72f, 0.10f},
                  21},
                 {PlatingStyle::Plates,
                  {0.62f, 0.17f, 0.09f},
                  {0.18f, 0.06f, 0.04f},
                  {0.90f, 0.85f, 0.80f},
                  22},
                 {0.35f, 0.33f, 0.32f},
                 {1.00f, 0.45f, 0.10f},
                 {0.10f, 0.08f, 0.06f},
                 {1.00f, 0.70f, 0.25f},
                 MissileShape::Plasma,
                 {1.00f, 0.90f, 0.60f},
                 {1.00f, 0.30f, 0.05f},
                 {1.00f, 0.60f, 0.20f},
                 {0.90f, 0.05f, 0.05f},
                 {1.00f, 0.30f, 0.10f}};
    races.push_back({"Korrhan.ast", makeRace("Korrhan", "Iron hammers of the deep forges",
                                             korrhanShip(), korrhan)});

    Look thyl{{PlatingStyle::Chitin,
               {0.30f, 0.58f, 0.32f},
               {0.06f, 0.16f, 0.10f},
               {0.75f, 1.00f, 0.30f},
               31},
              {PlatingStyle::Chitin,
               {0.58f, 0.32f, 0.70f},
               {0.14f, 0.06f, 0.18f},
               {0.70f, 1.00f, 0.35f},
               32},
              {0.25f, 0.35f, 0.20f},
              {0.60f, 1.00f, 0.20f},
              {0.25f, 0.15f, 0.02f},
              {1.00f, 0.80f, 0.20f},
              MissileShape::Spore,
              {0.95f, 1.00f, 0.70f},
              {0.40f, 1.00f, 0.20f},
              {0.80f, 1.00f, 0.30f},
              {0.10f, 0.90f, 0.20f},
              {0.40f, 1.00f, 0.30f}};
    races.push_back(
        {"Thyl.ast", makeRace("Thyl", "Hive claws from the green dark", thylShip(), thyl)});

    Look oruun{{PlatingStyle::Filigree,
                {0.78f, 0.60f, 0.30f},
                {0.32f, 0.20f, 0.08f},
                {0.95f, 0.85f, 0.55f},
                41},
               {PlatingStyle::Filigree,
                {0.20f, 0.50f, 0.50f},
                {0.05f, 0.15f, 0.15f},
                {0.60f, 0.90f, 0.85f},
                42},
               {0.60f, 0.50f, 0.30f},
               {0.40f, 1.00f, 0.90f},
               {0.05f, 0.20f, 0.20f},
               {0.50f, 1.00f, 0.90f},
               MissileShape::Halo,
               {1.00f, 1.00f, 0.85f},
               {1.00f, 0.80f, 0.25f},
               {1.00f, 1.00f, 0.85f},
               {1.00f, 0.75f, 0.10f},
               {1.00f, 0.85f, 0.30f}};
    races.push_back(
        {"Oruun.ast", makeRace("Oruun", "Ring-builders of the golden sun", oruunShip(), oruun)});

    Look sathe{{PlatingStyle::Circuit,
                {0.38f, 0.30f, 0.46f},
                {0.07f, 0.05f, 0.10f},
                {0.95f, 0.30f, 0.80f},
                51},
               {PlatingStyle::Circuit,
                {0.62f, 0.20f, 0.52f},
                {0.12f, 0.04f, 0.10f},
                {1.00f, 0.55f, 0.90f},
                52},
               {0.30f, 0.25f, 0.35f},
               {1.00f, 0.40f, 0.85f},
               {0.10f, 0.02f, 0.10f},
               {1.00f, 0.40f, 0.90f},
               MissileShape::Blade,
               {1.00f, 0.85f, 1.00f},
               {0.90f, 0.20f, 0.90f},
               {1.00f, 0.50f, 0.95f},
               {0.60f, 0.10f, 1.00f},
               {0.95f, 0.30f, 0.85f}};
    races.push_back(
        {"Sathe.ast", makeRace("Sathe", "Silent needles of the violet void", satheShip(), sathe)});
    return races;
}
