// The battle on a web page. The page fetches the data set into /data/ of the
// in-memory file system, builds the fleets with these functions and then calls
// kestrion_frame once per animation frame; everything else is the same core as
// on Windows and Linux: the run's start, RunFrame, the clock and the readers.
#include "battle/fleet.h"
#include "data/catalogue.h"
#include "data/effects.h"
#include "data/formats.h"
#include "data/scene.h"
#include "gl/context.h"
#include "gl/gl_state.h"
#include "gl/gl_table.h"
#include "gl/gles/fixed_function.h"
#include "gl/multisample.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/messages.h"
#include "shell/run_start.h"
#include "shell/saver_rules.h"
#include "shell/web_fleets.h"
#include "tools/forge/authoring.h"

#include <emscripten/emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <ctime>
#include <malloc.h>
#include <string>
#include <vector>

namespace {
const std::string DataFolder = "/data/";
const char* const Canvas = "#canvas";

std::vector<std::string> FleetEntries[2];
bool Started = false;
bool Antialias = false; // smooth edges, where the renderer affords them
std::string Answer;     // what the last call hands back to the page
std::string Message;    // a message box's text, shown on the page instead

bool buildFleetsFromPage(const std::string& directory) {
    return assembleFleetFromEntries(FleetEntries[0], 1, directory) &&
           assembleFleetFromEntries(FleetEntries[1], 2, directory);
}

int messageForThePage(MessageOwner, const char* text, const char* caption, unsigned) {
    Message = std::string(caption) + ": " + text;
    return 1;
}

// The system side of the run's start: the canvas stands for the window.
DeviceContext canvasAsDC(void*) {
    return const_cast<char*>(Canvas);
}
int32_t noPixelFormat(DeviceContext, int, int) {
    return 1;
}
RenderingContext createWebGLContext(DeviceContext) {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = false;
    attributes.depth = true;
    attributes.antialias = Antialias;
    attributes.premultipliedAlpha = false;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
        emscripten_webgl_create_context(Canvas, &attributes);
    if (context <= 0) Message = "This browser offers no WebGL 2 on this canvas.";
    return context > 0 ? reinterpret_cast<RenderingContext>(static_cast<intptr_t>(context))
                       : nullptr;
}
void* webglFunction(const char* name) {
    return emscripten_webgl_get_proc_address(name);
}
int makeCurrent(DeviceContext, RenderingContext context) {
    const auto handle =
        static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(reinterpret_cast<intptr_t>(context));
    if (emscripten_webgl_make_context_current(handle) != EMSCRIPTEN_RESULT_SUCCESS) return 0;
    // Our fixed-function layer over WebGL 2 answers the program's GL table.
    std::string error;
    if (!installFixedFunctionLayer(webglFunction, error)) {
        Message = "Our OpenGL layer cannot run on WebGL 2 here: " + error;
        return 0;
    }
    return 1;
}
void nothing() {}
bool ProcessEnded = false;
void endProcess(int) {
    ProcessEnded = true;
}
// The browser shows the frame when the animation frame's callback returns.
int KGL_APIENTRY presentOnReturn(DeviceContext) {
    flushFixedFunctionLayer();
    return 1;
}
SymbolAddress findPresent() {
    return reinterpret_cast<SymbolAddress>(presentOnReturn);
}

ContextSetUpCalls webCalls() {
    ContextSetUpCalls calls = {};
    calls.getDC = canvasAsDC;
    calls.setUpPixelFormat = noPixelFormat;
    calls.createContext = createWebGLContext;
    calls.makeCurrent = makeCurrent;
    calls.restoreDisplayMode = nothing;
    calls.postQuit = nothing;
    calls.endProcess = endProcess;
    calls.findSwapBuffers = findPresent;
    return calls;
}

// The textures of the races flown: every new choice of fleets loads its races
// again, so the ones before are deleted (the browser would keep them).
void deleteRaceTextures() {
    std::vector<GLuint> names;
    for (const FleetState& fleet : Fleets)
        for (int r = 0; r < fleet.raceCount; ++r) {
            const RaceData& race = fleet.races[r];
            for (int part = 0; part < race.meshCount; ++part)
                if (race.meshes[part].texture) names.push_back(race.meshes[part].texture);
            if (race.projectileTexture) names.push_back(race.projectileTexture);
        }
    if (!names.empty()) glDeleteTextures(GLsizei(names.size()), names.data());
}

// Every texture of the battle again from the pixels the effects and races
// keep, and the backdrop at its level from the data set, into a context the
// browser gave back. False when the backdrop cannot be read again.
bool uploadEveryTexture() {
    if (MultitextureAvailable) glActiveTextureARB(GL_TEXTURE0_ARB);
    if (!uploadBackdropAgain()) return false;
    for (int i = 0; i < Effects.explosionFrameCount; ++i)
        uploadRgbaTexture(Effects.explosionTextures[i], Effects.explosionFrames[i]);
    const std::pair<uint32_t, const TextureImage*> singles[] = {
        {Effects.shieldTexture, &Effects.shieldImage},
        {Effects.blastTexture, &Effects.blastImage},
        {Effects.spareTexture, &Effects.spareImage},
        {Effects.damageTexture, &Effects.damageImage},
        {Effects.smokeTexture, &Effects.smokeImage}};
    for (const auto& [name, image] : singles)
        uploadRgbaTexture(name, *image);
    for (const FleetState& fleet : Fleets)
        for (int r = 0; r < fleet.raceCount; ++r) {
            const RaceData& race = fleet.races[r];
            for (int part = 0; part < race.meshCount; ++part)
                if (race.meshes[part].image)
                    uploadRgbTexture(race.meshes[part].texture, *race.meshes[part].image);
            if (race.projectileImage)
                uploadRgbaTexture(race.projectileTexture, *race.projectileImage);
        }
    return true;
}

// The page's frame-rate cap over the animation frames; one up to 2 ms early
// is on time.
FrameCap PageFrameCap;
constexpr uint32_t AnimationFrameJitterMs = 2;

// A hidden page gets no animation frames, and a wallpaper host's pause asks for
// none. The battle's clock stands still meanwhile, so that the ships go on from
// where they were when it shows again.
bool Hidden = false;
bool Paused = false;
void holdClockWhileUnseen() {
    if (Hidden || Paused)
        holdClock();
    else
        releaseClock();
}
EM_BOOL visibilityChanged(int, const EmscriptenVisibilityChangeEvent* event, void*) {
    Hidden = event->hidden;
    holdClockWhileUnseen();
    return EM_FALSE;
}

// The browser's clock is reached through JavaScript, at a cost that the
// battle's thousands of readings a frame add up to; a frame reads it once.
bool InFrame = false;
uint32_t FrameReading = 0;
uint32_t frameClock() {
    return InFrame ? FrameReading : platformClock();
}

const char* answer(std::string text) {
    Answer = std::move(text);
    return Answer.c_str();
}
} // namespace

extern "C" {

// The catalogue of /data/ with the fleet bounds, as JSON.
EMSCRIPTEN_KEEPALIVE const char* kestrion_races() {
    return answer(catalogueJson(scanRaceCatalogue(DataFolder)));
}

EMSCRIPTEN_KEEPALIVE void kestrion_resize(int width, int height);

// The fleets of an address (the fragment, "#" optional) for the fleet builder.
EMSCRIPTEN_KEEPALIVE const char* kestrion_read_address(const char* fragment) {
    return answer(addressFleetsJson(parseFleetAddress(fragment)));
}

// Empty when the address's fleets (the fragment, "#" optional) can fly with
// the races of /data/, else the message for the page.
EMSCRIPTEN_KEEPALIVE const char* kestrion_check_fleets(const char* fragment) {
    const AddressFleets fleets = parseFleetAddress(fragment);
    if (!fleets.error.empty()) return answer(fleets.error);
    std::vector<std::string> entries[2];
    std::string error;
    addressFleetEntries(fleets, scanRaceCatalogue(DataFolder), entries, error);
    return answer(error);
}

// Starts the battle with the address's fleets at the canvas's size, or, when
// it runs already, builds the new fleets into it. Empty, or the message.
EMSCRIPTEN_KEEPALIVE const char* kestrion_start(const char* fragment, int width, int height) {
    const AddressFleets fleets = parseFleetAddress(fragment);
    if (!fleets.error.empty()) return answer(fleets.error);
    std::string error;
    if (!addressFleetEntries(fleets, scanRaceCatalogue(DataFolder), FleetEntries, error))
        return answer(error);
    if (Started) {
        if (width != ScreenWidth || height != ScreenHeight) kestrion_resize(width, height);
        deleteRaceTextures();
        releaseFleet(Fleets[0]);
        releaseFleet(Fleets[1]);
        forgetFixedFunctionArrays(); // the new races' arrays may lie where the old ones did
        if (!BuildFleets(DataFolder))
            return answer("cannot load the chosen races from the data set; reload the page");
        return answer("");
    }

    ShowMessage = messageForThePage;
    ProgramDirectory = DataFolder;
    BuildFleets = buildFleetsFromPage;
    ScreenWidth = width > 0 ? width : 1;
    ScreenHeight = height > 0 ? height : 1;
    setFixedFunctionFramebufferSize(ScreenWidth, ScreenHeight);
    seedRandom(fleets.seeded ? fleets.seed : static_cast<uint32_t>(std::time(nullptr)));
    setClockSource(frameClock);
    Message.clear();
    const ContextSetUp result = startRun(nullptr, webCalls());
    if (result == ContextSetUp::ProcessEnded || ProcessEnded)
        return answer("cannot load the race files or Explosion.as of the data set; reload the "
                      "page");
    if (result != ContextSetUp::Ready)
        return answer(Message.empty() ? "cannot set up WebGL 2 on the page" : Message);
    reshapeScene(ScreenWidth, ScreenHeight);
    // The data set stays in the page's file system: the backdrop's pixel
    // copies are read from it again when needed instead of kept.
    releaseBackdropPixels();
    emscripten_set_visibilitychange_callback(nullptr, EM_FALSE, visibilityChanged);
    Started = true;
    return answer("");
}

// The browser's renderer (WEBGL_debug_renderer_info's, or empty): decides
// whether the battle's context asks for smooth edges, by the programs' rule;
// `smooth` 0 (the page's setting) leaves them off whatever the renderer.
EMSCRIPTEN_KEEPALIVE const char* kestrion_renderer(const char* renderer, int smooth) {
    Antialias = smooth && samplesToAskFor(nullptr, renderer && *renderer ? renderer : nullptr) > 0;
    return answer("");
}

// The frame cap and smooth edges of an address, as JSON (see pageSettingsJson).
EMSCRIPTEN_KEEPALIVE const char* kestrion_page_settings(const char* fragment) {
    return answer(pageSettingsJson(parsePageSettings(fragment)));
}

// A wallpaper host's setting applied to the settings so far (an address
// fragment), fleets checked against the races of /data/: settingChangeJson.
EMSCRIPTEN_KEEPALIVE const char* kestrion_host_setting(const char* fragment, const char* name,
                                                       const char* type, const char* value) {
    return answer(settingChangeJson(
        applyHostSetting(fragment, name, type, value, scanRaceCatalogue(DataFolder))));
}

// Whether the animation frame at `now` (its time in milliseconds) is drawn
// under a cap of `fps` frames a second (0: every one); the others are let pass.
EMSCRIPTEN_KEEPALIVE int kestrion_frame_due(double now, int fps) {
    if (fps <= 0) return 1;
    if (PageFrameCap.periodUs != makeFrameCap(fps).periodUs) PageFrameCap = makeFrameCap(fps);
    return frameCapTakes(PageFrameCap, static_cast<uint32_t>(now), AnimationFrameJitterMs);
}

// A wallpaper host paused (1) or resumed (0) the battle: its clock is held meanwhile.
EMSCRIPTEN_KEEPALIVE void kestrion_pause(int paused) {
    Paused = paused != 0;
    holdClockWhileUnseen();
}

// One frame of the battle, on one reading of the clock; that reading (the
// battle's time in milliseconds) for the page's figures.
EMSCRIPTEN_KEEPALIVE uint32_t kestrion_frame() {
    if (!Started) return 0;
    FrameReading = platformClock();
    InFrame = true;
    RunFrame();
    const uint32_t battleTime = clockNow();
    InFrame = false;
    return battleTime;
}

// After webglcontextrestored: the layer's shaders and buffers made again and
// every texture uploaded again, so that the same battle goes on. Empty, or the
// message for the page.
EMSCRIPTEN_KEEPALIVE const char* kestrion_restore() {
    if (!Started) return answer("");
    std::string error;
    if (!restoreFixedFunctionLayer(error))
        return answer("the battle cannot draw again on the WebGL 2 it was given back: " + error);
    if (!uploadEveryTexture())
        return answer("the sky's pictures cannot be read again from the data set");
    return answer("");
}

// The program's memory for the soak: {"wasm":bytes of WebAssembly memory,
// "heapInUse":bytes allocated and not freed}.
EMSCRIPTEN_KEEPALIVE const char* kestrion_memory() {
    const struct mallinfo info = mallinfo();
    return answer("{\"wasm\":" + std::to_string(__builtin_wasm_memory_size(0) * 65536ull) +
                  ",\"heapInUse\":" + std::to_string(info.uordblks) + "}");
}

// The canvas's new size in pixels.
EMSCRIPTEN_KEEPALIVE void kestrion_resize(int width, int height) {
    if (!Started) return;
    setFixedFunctionFramebufferSize(width, height);
    reshapeScene(width, height);
}

// A race file the page wrote to `path`, under the name the user gave it:
// checked by the race reader and, when it may join, copied into /data/.
// Empty, or the message for the page.
// A dropped model (OBJ or glTF, the files it names beside it) through the
// forge's importer into a race file at `output`: "" or the importer's message.
EMSCRIPTEN_KEEPALIVE const char* kestrion_import_model(const char* path, const char* output) {
    ImportOptions options;
    options.modelPath = path;
    options.outputPath = output;
    options.name = raceNameForModel(path);
    options.description = "Imported";
    RaceFileRecord race;
    ForgeReport report;
    if (!importRace(options, race, report)) return answer(report.error);
    if (!writeFileBytes(output, writeRaceFile(race)))
        return answer(std::string(path) + " could not be kept after its import");
    return answer("");
}

EMSCRIPTEN_KEEPALIVE const char* kestrion_add_race(const char* path, const char* fileName) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes)) return answer(std::string(fileName) + " could not be read");
    const RaceCatalogue catalogue = scanRaceCatalogue(DataFolder);
    std::string raceName;
    const std::string problem =
        checkDroppedRace(fileName, bytes.data(), bytes.size(), catalogue, raceName);
    if (!problem.empty()) return answer(problem);
    const std::string target = DataFolder + droppedRaceFileName(fileName, catalogue);
    if (!writeFileBytes(target, bytes)) return answer(std::string(fileName) + " could not be kept");
    return answer("");
}
}
