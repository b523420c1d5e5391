// The Wayland front-end: the compositor's globals, a surface per monitor (or
// the one window), the seat's input, and frames drawn on each surface when
// its frame callback comes, all on one EGL context and one battle.
#include "gl/binding.h"
#include "gl/egl/egl_context.h"
#include "gl/gl_table.h"
#include "platform/clock.h"
#include "shell/bench_hooks.h"
#include "shell/display.h"
#include "shell/frame.h"
#include "shell/run_start.h"
#include "shell/saver_rules.h"
#include "shell/wayland/wayland_shell.h"
#include "shell/x11/x11_shell.h"

#include "fractional-scale-client-protocol.h"
#include "viewporter-client-protocol.h"
// The layer-shell header names a parameter "namespace", a C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-client-protocol.h"
#undef namespace
#include "xdg-decoration-client-protocol.h"
#include "xdg-output-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>
#include <wayland-egl.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {
// Key codes come as Linux input event codes; the keymap's codes are 8 more.
constexpr uint32_t XkbCodeOffset = 8;
constexpr int WindowWidth = 800, WindowHeight = 600;

struct Client;

struct Output {
    Client* client = nullptr;
    wl_output* output = nullptr;
    uint32_t global = 0;
    zxdg_output_v1* xdgOutput = nullptr;
    std::string name;
    int scale = 1;
    bool done = false;
};

struct Surface {
    Client* client = nullptr;
    Output* output = nullptr; // the monitor covered; null for the window
    bool battle = false;      // false: black
    wl_surface* surface = nullptr;
    zwlr_layer_surface_v1* layer = nullptr;
    xdg_surface* xdg = nullptr;
    xdg_toplevel* toplevel = nullptr;
    zxdg_toplevel_decoration_v1* decoration = nullptr;
    wp_viewport* viewport = nullptr;
    wp_fractional_scale_v1* fractional = nullptr;
    wl_egl_window* eglWindow = nullptr;
    void* egl = nullptr;
    wl_callback* frameCallback = nullptr;
    int width = 0, height = 0; // logical size, as configured
    int pendingWidth = 0, pendingHeight = 0;
    int scale = 1;         // whole buffer scale
    uint32_t scale120 = 0; // fractional scale in 120ths; 0: none offered
    int bufferWidth = 0, bufferHeight = 0, bufferScale = 1; // as last given
    std::vector<Output*> entered;                           // monitors the window is on
    bool configured = false;
    bool frameDue = true; // the compositor asked for a frame (or none was drawn yet)
    bool needsBlack = false;
    bool closed = false;
    FrameCap cap;
    uint32_t shownStep = 0;
    PointerAnchor anchor;
};

struct Client {
    ProgramOptions options;
    volatile std::sig_atomic_t* stop = nullptr;
    wl_display* display = nullptr;
    wl_registry* registry = nullptr;
    wl_compositor* compositor = nullptr;
    xdg_wm_base* wmBase = nullptr;
    zwlr_layer_shell_v1* layerShell = nullptr;
    zxdg_decoration_manager_v1* decorations = nullptr;
    wp_viewporter* viewporter = nullptr;
    wp_fractional_scale_manager_v1* fractionalScale = nullptr;
    zxdg_output_manager_v1* xdgOutputs = nullptr;
    wl_seat* seat = nullptr;
    wl_keyboard* keyboard = nullptr;
    wl_pointer* pointer = nullptr;
    wl_touch* touch = nullptr;
    xkb_context* xkb = nullptr;
    xkb_keymap* keymap = nullptr; // the compositor's, for the window's keys
    xkb_state* keyState = nullptr;
    std::vector<std::unique_ptr<Output>> outputs;
    std::vector<std::unique_ptr<Surface>> surfaces;
    Surface* pointerOn = nullptr; // the saver surface the pointer entered first
    EglTarget egl;
    bool started = false; // the scene is up: new monitors get surfaces at once
    bool running = true;
    int exitCode = 0;
    uint32_t battleStep = 0;
};

Client* Active = nullptr; // for the swap, which the frame driver calls bare
bool ScreenshotWanted = false;

int complain(const std::string& text, int exitCode) {
    std::fprintf(stderr, "kestrion: %s\n", text.c_str());
    return exitCode;
}

// Any input ends the saver, with exit code 0.
void saverInput(Client& client) {
    if (client.options.mode != RunMode::Saver) return;
    client.running = false;
    client.exitCode = 0;
}

int pixelWidth(const Surface& s) {
    return s.scale120 ? int(std::lround(s.width * double(s.scale120) / 120)) : s.width * s.scale;
}
int pixelHeight(const Surface& s) {
    return s.scale120 ? int(std::lround(s.height * double(s.scale120) / 120)) : s.height * s.scale;
}

// --- frames ------------------------------------------------------------------

void frameDone(void* data, wl_callback* callback, uint32_t) {
    Surface& s = *static_cast<Surface*>(data);
    wl_callback_destroy(callback);
    s.frameCallback = nullptr;
    s.frameDue = true;
}
const wl_callback_listener FrameListener = {frameDone};

// The swap of every frame: F12's screenshot first, from the back buffer.
void swapWayland() {
    if (ScreenshotWanted) {
        ScreenshotWanted = false;
        writeScreenshotFile();
    }
    swapEglSurface(Active->egl);
}

// The EGL window at the surface's pixel size, and the scale that size is
// given at; false when EGL cannot make a surface of it.
bool prepareBuffer(Client& client, Surface& s) {
    const int width = std::max(1, pixelWidth(s)), height = std::max(1, pixelHeight(s));
    if (!s.eglWindow) {
        s.eglWindow = wl_egl_window_create(s.surface, width, height);
        s.egl = s.eglWindow ? createEglWindowSurface(client.egl, s.eglWindow) : nullptr;
        if (!s.egl) return false;
    } else if (width != s.bufferWidth || height != s.bufferHeight) {
        wl_egl_window_resize(s.eglWindow, width, height, 0, 0);
    }
    s.bufferWidth = width;
    s.bufferHeight = height;
    if (s.viewport) {
        wp_viewport_set_destination(s.viewport, s.width, s.height);
    } else if (s.scale != s.bufferScale) {
        wl_surface_set_buffer_scale(s.surface, s.scale);
        s.bufferScale = s.scale;
    }
    return true;
}

void drawSurface(Client& client, Surface& s) {
    if (!prepareBuffer(client, s) || !makeEglCurrent(client.egl, s.egl)) {
        complain("EGL cannot draw on the surface of " +
                     (s.output ? "monitor " + s.output->name : std::string("the window")),
                 1);
        client.running = false;
        client.exitCode = 1;
        return;
    }
    if (!s.battle) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        swapEglSurface(client.egl);
        s.needsBlack = false;
        return;
    }
    if (s.bufferWidth != ScreenWidth || s.bufferHeight != ScreenHeight)
        reshapeScene(s.bufferWidth, s.bufferHeight);
    s.frameCallback = wl_surface_frame(s.surface);
    wl_callback_add_listener(s.frameCallback, &FrameListener, &s);
    s.frameDue = false;
    if (monitorStepsBattle(s.shownStep, client.battleStep)) {
        benchFrameStarting();
        RunFrame();
        if (!benchFrameDone()) client.running = false;
    } else {
        DrawFrameView();
    }
}

void destroySurface(Client& client, Surface& s) {
    if (client.pointerOn == &s) client.pointerOn = nullptr;
    if (s.frameCallback) wl_callback_destroy(s.frameCallback);
    if (s.egl) destroyEglSurface(client.egl, s.egl);
    if (s.eglWindow) wl_egl_window_destroy(s.eglWindow);
    if (s.fractional) wp_fractional_scale_v1_destroy(s.fractional);
    if (s.viewport) wp_viewport_destroy(s.viewport);
    if (s.decoration) zxdg_toplevel_decoration_v1_destroy(s.decoration);
    if (s.toplevel) xdg_toplevel_destroy(s.toplevel);
    if (s.xdg) xdg_surface_destroy(s.xdg);
    if (s.layer) zwlr_layer_surface_v1_destroy(s.layer);
    if (s.surface) wl_surface_destroy(s.surface);
    s = Surface{};
}

// --- surfaces ----------------------------------------------------------------

void configured(Surface& s, int width, int height) {
    if (width > 0 && height > 0) {
        s.width = width;
        s.height = height;
    }
    s.configured = true;
    s.needsBlack = !s.battle;
    s.frameDue = s.frameDue || !s.frameCallback;
}

void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width,
                    uint32_t height) {
    Surface& s = *static_cast<Surface*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    configured(s, int(width), int(height));
}
void layerClosed(void* data, zwlr_layer_surface_v1*) {
    static_cast<Surface*>(data)->closed = true;
}
const zwlr_layer_surface_v1_listener LayerListener = {layerConfigure, layerClosed};

void toplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
    Surface& s = *static_cast<Surface*>(data);
    s.pendingWidth = width;
    s.pendingHeight = height;
}
void toplevelClose(void* data, xdg_toplevel*) {
    Client& client = *static_cast<Surface*>(data)->client;
    client.running = false;
    client.exitCode = 0;
}
void toplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void toplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}
const xdg_toplevel_listener ToplevelListener = {toplevelConfigure, toplevelClose, toplevelBounds,
                                                toplevelCapabilities};

void xdgConfigure(void* data, xdg_surface* xdg, uint32_t serial) {
    Surface& s = *static_cast<Surface*>(data);
    xdg_surface_ack_configure(xdg, serial);
    configured(s, s.pendingWidth, s.pendingHeight);
}
const xdg_surface_listener XdgSurfaceListener = {xdgConfigure};

void decorationMode(void*, zxdg_toplevel_decoration_v1*, uint32_t) {}
const zxdg_toplevel_decoration_v1_listener DecorationListener = {decorationMode};

void preferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
    static_cast<Surface*>(data)->scale120 = scale;
}
const wp_fractional_scale_v1_listener FractionalListener = {preferredScale};

// The window takes the largest scale of the monitors it is on.
void windowScale(Surface& s) {
    int scale = 1;
    for (const Output* output : s.entered)
        scale = std::max(scale, output->scale);
    s.scale = scale;
}
Output* outputOf(Client& client, wl_output* output) {
    for (auto& o : client.outputs)
        if (o->output == output) return o.get();
    return nullptr;
}
void surfaceEnter(void* data, wl_surface*, wl_output* output) {
    Surface& s = *static_cast<Surface*>(data);
    if (Output* o = outputOf(*s.client, output)) s.entered.push_back(o);
    if (!s.output) windowScale(s);
}
void surfaceLeave(void* data, wl_surface*, wl_output* output) {
    Surface& s = *static_cast<Surface*>(data);
    std::erase_if(s.entered, [&](const Output* o) { return o->output == output; });
    if (!s.output) windowScale(s);
}
const wl_surface_listener SurfaceListener = {surfaceEnter, surfaceLeave};

// A surface of the window, or covering `output` (saver and wallpaper).
Surface& addSurface(Client& client, Output* output, bool battle) {
    client.surfaces.push_back(std::make_unique<Surface>());
    Surface& s = *client.surfaces.back();
    s.client = &client;
    s.output = output;
    s.battle = battle;
    s.cap = makeFrameCap(client.options.fpsCap);
    s.shownStep = client.battleStep;
    s.scale = output ? output->scale : 1;
    s.surface = wl_compositor_create_surface(client.compositor);
    wl_surface_add_listener(s.surface, &SurfaceListener, &s);
    if (client.fractionalScale && client.viewporter) {
        s.viewport = wp_viewporter_get_viewport(client.viewporter, s.surface);
        s.fractional =
            wp_fractional_scale_manager_v1_get_fractional_scale(client.fractionalScale, s.surface);
        wp_fractional_scale_v1_add_listener(s.fractional, &FractionalListener, &s);
    }
    const RunMode mode = client.options.mode;
    if (mode != RunMode::Window && client.layerShell) {
        const bool saver = mode == RunMode::Saver;
        s.layer = zwlr_layer_shell_v1_get_layer_surface(
            client.layerShell, s.surface, output->output,
            saver ? ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY : ZWLR_LAYER_SHELL_V1_LAYER_BACKGROUND,
            saver ? "kestrion-saver" : "kestrion-wallpaper");
        zwlr_layer_surface_v1_add_listener(s.layer, &LayerListener, &s);
        zwlr_layer_surface_v1_set_anchor(
            s.layer, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(s.layer, 0, 0);
        // Over panels and bars too, not beside them.
        zwlr_layer_surface_v1_set_exclusive_zone(s.layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(s.layer, saver ? 1 : 0);
        if (!saver) {
            // No input region: clicks and keys go to the desktop.
            wl_region* none = wl_compositor_create_region(client.compositor);
            wl_surface_set_input_region(s.surface, none);
            wl_region_destroy(none);
        }
    } else {
        s.xdg = xdg_wm_base_get_xdg_surface(client.wmBase, s.surface);
        xdg_surface_add_listener(s.xdg, &XdgSurfaceListener, &s);
        s.toplevel = xdg_surface_get_toplevel(s.xdg);
        xdg_toplevel_add_listener(s.toplevel, &ToplevelListener, &s);
        xdg_toplevel_set_title(s.toplevel, "Kestrion");
        xdg_toplevel_set_app_id(s.toplevel, "kestrion");
        if (client.decorations) {
            s.decoration =
                zxdg_decoration_manager_v1_get_toplevel_decoration(client.decorations, s.toplevel);
            zxdg_toplevel_decoration_v1_add_listener(s.decoration, &DecorationListener, &s);
            zxdg_toplevel_decoration_v1_set_mode(s.decoration,
                                                 ZXDG_TOPLEVEL_DECORATION_V1_MODE_SERVER_SIDE);
        }
        if (output)
            xdg_toplevel_set_fullscreen(s.toplevel, output->output);
        else if (client.options.fullscreen)
            xdg_toplevel_set_fullscreen(s.toplevel, nullptr);
        s.width = WindowWidth;
        s.height = WindowHeight;
    }
    wl_surface_commit(s.surface);
    return s;
}

// A monitor that came while the program runs: the saver covers it black, the
// wallpaper draws on it if it is one of those asked for.
void coverNewOutput(Client& client, Output& output) {
    if (!client.started || client.options.mode == RunMode::Window) return;
    for (auto& s : client.surfaces)
        if (s->output == &output) return;
    if (client.options.mode == RunMode::Saver)
        addSurface(client, &output, false);
    else if (wallpaperCoversOutput(client.options.outputs, output.name))
        addSurface(client, &output, true);
}

// --- outputs -----------------------------------------------------------------

void outputGeometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t) {}
void outputMode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
void outputDone(void* data, wl_output*) {
    Output& output = *static_cast<Output*>(data);
    output.done = true;
    for (auto& s : output.client->surfaces)
        if (s->output == &output) s->scale = output.scale;
    coverNewOutput(*output.client, output);
}
void outputScale(void* data, wl_output*, int32_t scale) {
    static_cast<Output*>(data)->scale = std::max(1, scale);
}
void outputName(void* data, wl_output*, const char* name) {
    static_cast<Output*>(data)->name = name;
}
void outputDescription(void*, wl_output*, const char*) {}
const wl_output_listener OutputListener = {outputGeometry, outputMode, outputDone,
                                           outputScale,    outputName, outputDescription};

void xdgOutputPosition(void*, zxdg_output_v1*, int32_t, int32_t) {}
void xdgOutputSize(void*, zxdg_output_v1*, int32_t, int32_t) {}
void xdgOutputDone(void*, zxdg_output_v1*) {}
void xdgOutputName(void* data, zxdg_output_v1*, const char* name) {
    Output& output = *static_cast<Output*>(data);
    if (output.name.empty()) output.name = name;
}
void xdgOutputDescription(void*, zxdg_output_v1*, const char*) {}
const zxdg_output_v1_listener XdgOutputListener = {xdgOutputPosition, xdgOutputSize, xdgOutputDone,
                                                   xdgOutputName, xdgOutputDescription};

void nameOutput(Client& client, Output& output) {
    if (client.xdgOutputs && !output.xdgOutput) {
        output.xdgOutput = zxdg_output_manager_v1_get_xdg_output(client.xdgOutputs, output.output);
        zxdg_output_v1_add_listener(output.xdgOutput, &XdgOutputListener, &output);
    }
}

// --- input -------------------------------------------------------------------

void dropKeymap(Client& client) {
    if (client.keyState) xkb_state_unref(client.keyState);
    if (client.keymap) xkb_keymap_unref(client.keymap);
    client.keyState = nullptr;
    client.keymap = nullptr;
}

void keymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size) {
    Client& client = *static_cast<Client*>(data);
    dropKeymap(client);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && client.xkb) {
        void* text = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (text != MAP_FAILED) {
            client.keymap =
                xkb_keymap_new_from_string(client.xkb, static_cast<const char*>(text),
                                           XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
            munmap(text, size);
        }
        if (client.keymap) client.keyState = xkb_state_new(client.keymap);
    }
    close(fd);
}

// The key's symbol without modifiers, as X11's window reads it: q is q with
// Shift or Caps Lock too.
xkb_keysym_t plainSymbol(const Client& client, uint32_t code) {
    if (!client.keyState) return XKB_KEY_NoSymbol;
    const xkb_keycode_t key = code + XkbCodeOffset;
    const xkb_layout_index_t layout = xkb_state_key_get_layout(client.keyState, key);
    const xkb_keysym_t* symbols = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(client.keymap, key, layout, 0, &symbols);
    return count > 0 ? symbols[0] : XKB_KEY_NoSymbol;
}
void keyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t code, uint32_t state) {
    Client& client = *static_cast<Client*>(data);
    if (state != WL_KEYBOARD_KEY_STATE_PRESSED) return;
    switch (client.options.mode) {
    case RunMode::Saver:
        saverInput(client);
        break;
    case RunMode::Wallpaper:
        break;
    case RunMode::Window: {
        const xkb_keysym_t symbol = plainSymbol(client, code);
        if (symbol == XKB_KEY_Escape || symbol == XKB_KEY_q) client.running = false;
        if (symbol == XKB_KEY_F12) ScreenshotWanted = true;
        break;
    }
    }
}
void modifiers(void* data, wl_keyboard*, uint32_t, uint32_t depressed, uint32_t latched,
               uint32_t locked, uint32_t group) {
    Client& client = *static_cast<Client*>(data);
    if (client.keyState)
        xkb_state_update_mask(client.keyState, depressed, latched, locked, 0, 0, group);
}
void repeatInfo(void*, wl_keyboard*, int32_t, int32_t) {}
const wl_keyboard_listener KeyboardListener = {keymap, keyboardEnter, keyboardLeave,
                                               key,    modifiers,     repeatInfo};

Surface* surfaceOf(Client& client, wl_surface* surface) {
    for (auto& s : client.surfaces)
        if (s->surface == surface) return s.get();
    return nullptr;
}

void pointerEnter(void* data, wl_pointer* pointer, uint32_t serial, wl_surface* surface,
                  wl_fixed_t x, wl_fixed_t y) {
    Client& client = *static_cast<Client*>(data);
    if (client.options.mode != RunMode::Saver) return;
    wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
    Surface* s = surfaceOf(client, surface);
    if (!s) return;
    // Into another monitor's surface: the pointer went there.
    if (client.pointerOn && client.pointerOn != s) return saverInput(client);
    client.pointerOn = s;
    if (pointerMovedFar(s->anchor, wl_fixed_to_double(x), wl_fixed_to_double(y)))
        saverInput(client);
}
void pointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
void pointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) {
    Client& client = *static_cast<Client*>(data);
    if (client.options.mode == RunMode::Saver && client.pointerOn &&
        pointerMovedFar(client.pointerOn->anchor, wl_fixed_to_double(x), wl_fixed_to_double(y)))
        saverInput(client);
}
void pointerButton(void* data, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t state) {
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) saverInput(*static_cast<Client*>(data));
}
void pointerAxis(void* data, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {
    saverInput(*static_cast<Client*>(data));
}
void pointerFrame(void*, wl_pointer*) {}
void pointerAxisSource(void*, wl_pointer*, uint32_t) {}
void pointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void pointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void pointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}
const wl_pointer_listener PointerListener = {
    pointerEnter, pointerLeave,      pointerMotion,   pointerButton,       pointerAxis,
    pointerFrame, pointerAxisSource, pointerAxisStop, pointerAxisDiscrete, pointerAxisValue120};

void touchDown(void* data, wl_touch*, uint32_t, uint32_t, wl_surface*, int32_t, wl_fixed_t,
               wl_fixed_t) {
    saverInput(*static_cast<Client*>(data));
}
void touchUp(void*, wl_touch*, uint32_t, uint32_t, int32_t) {}
void touchMotion(void*, wl_touch*, uint32_t, int32_t, wl_fixed_t, wl_fixed_t) {}
void touchFrame(void*, wl_touch*) {}
void touchCancel(void*, wl_touch*) {}
void touchShape(void*, wl_touch*, int32_t, wl_fixed_t, wl_fixed_t) {}
void touchOrientation(void*, wl_touch*, int32_t, wl_fixed_t) {}
const wl_touch_listener TouchListener = {touchDown,   touchUp,    touchMotion,     touchFrame,
                                         touchCancel, touchShape, touchOrientation};

void seatCapabilities(void* data, wl_seat* seat, uint32_t capabilities) {
    Client& client = *static_cast<Client*>(data);
    const bool keyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
    const bool pointer = capabilities & WL_SEAT_CAPABILITY_POINTER;
    const bool touch = capabilities & WL_SEAT_CAPABILITY_TOUCH;
    if (keyboard && !client.keyboard) {
        client.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(client.keyboard, &KeyboardListener, &client);
    } else if (!keyboard && client.keyboard) {
        wl_keyboard_release(client.keyboard);
        client.keyboard = nullptr;
    }
    if (pointer && !client.pointer) {
        client.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(client.pointer, &PointerListener, &client);
    } else if (!pointer && client.pointer) {
        wl_pointer_release(client.pointer);
        client.pointer = nullptr;
        client.pointerOn = nullptr;
    }
    if (touch && !client.touch) {
        client.touch = wl_seat_get_touch(seat);
        wl_touch_add_listener(client.touch, &TouchListener, &client);
    } else if (!touch && client.touch) {
        wl_touch_release(client.touch);
        client.touch = nullptr;
    }
}
void seatName(void*, wl_seat*, const char*) {}
const wl_seat_listener SeatListener = {seatCapabilities, seatName};

void ping(void*, xdg_wm_base* base, uint32_t serial) {
    xdg_wm_base_pong(base, serial);
}
const xdg_wm_base_listener WmBaseListener = {ping};

// --- globals -----------------------------------------------------------------

template <typename T>
T* bind(wl_registry* registry, uint32_t name, const wl_interface& interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T*>(wl_registry_bind(registry, name, &interface, std::min(offered, wanted)));
}

void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
            uint32_t version) {
    Client& client = *static_cast<Client*>(data);
    const std::string_view is(interface);
    if (is == wl_compositor_interface.name) {
        client.compositor =
            bind<wl_compositor>(registry, name, wl_compositor_interface, version, 4);
    } else if (is == xdg_wm_base_interface.name) {
        client.wmBase = bind<xdg_wm_base>(registry, name, xdg_wm_base_interface, version, 2);
        xdg_wm_base_add_listener(client.wmBase, &WmBaseListener, &client);
    } else if (is == zwlr_layer_shell_v1_interface.name) {
        client.layerShell =
            bind<zwlr_layer_shell_v1>(registry, name, zwlr_layer_shell_v1_interface, version, 4);
    } else if (is == zxdg_decoration_manager_v1_interface.name) {
        client.decorations = bind<zxdg_decoration_manager_v1>(
            registry, name, zxdg_decoration_manager_v1_interface, version, 1);
    } else if (is == wp_viewporter_interface.name) {
        client.viewporter =
            bind<wp_viewporter>(registry, name, wp_viewporter_interface, version, 1);
    } else if (is == wp_fractional_scale_manager_v1_interface.name) {
        client.fractionalScale = bind<wp_fractional_scale_manager_v1>(
            registry, name, wp_fractional_scale_manager_v1_interface, version, 1);
    } else if (is == zxdg_output_manager_v1_interface.name) {
        client.xdgOutputs = bind<zxdg_output_manager_v1>(
            registry, name, zxdg_output_manager_v1_interface, version, 3);
        for (auto& output : client.outputs)
            nameOutput(client, *output);
    } else if (is == wl_seat_interface.name && !client.seat) {
        client.seat = bind<wl_seat>(registry, name, wl_seat_interface, version, 5);
        wl_seat_add_listener(client.seat, &SeatListener, &client);
    } else if (is == wl_output_interface.name) {
        client.outputs.push_back(std::make_unique<Output>());
        Output& output = *client.outputs.back();
        output.client = &client;
        output.global = name;
        output.output = bind<wl_output>(registry, name, wl_output_interface, version, 4);
        wl_output_add_listener(output.output, &OutputListener, &output);
        nameOutput(client, output);
    }
}

// A monitor unplugged: its surface goes (the compositor closes a layer
// surface itself), and the monitor with it.
void globalRemove(void* data, wl_registry*, uint32_t name) {
    Client& client = *static_cast<Client*>(data);
    for (auto o = client.outputs.begin(); o != client.outputs.end(); ++o) {
        if ((*o)->global != name) continue;
        for (auto& s : client.surfaces)
            if (s->output == o->get()) s->closed = true;
        for (auto& s : client.surfaces)
            std::erase_if(s->entered, [&](const Output* e) { return e == o->get(); });
        if ((*o)->xdgOutput) zxdg_output_v1_destroy((*o)->xdgOutput);
        wl_output_destroy((*o)->output);
        (*o)->output = nullptr;
        (*o)->client = nullptr;
        // The record stays until its surface has gone (the surface points at it).
        for (auto& s : client.surfaces)
            if (s->output == o->get()) s->output = nullptr;
        client.outputs.erase(o);
        return;
    }
}
const wl_registry_listener RegistryListener = {global, globalRemove};

// --- the loop ----------------------------------------------------------------

// Waits up to `ms` (-1: until something comes) for the compositor, and handles
// what it sent; false when the connection is lost.
bool pumpEvents(Client& client, int ms) {
    wl_display* display = client.display;
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0) return false;
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return false;
    }
    pollfd connection = {wl_display_get_fd(display), POLLIN, 0};
    const int ready = poll(&connection, 1, ms); // a signal ends it early, as it should
    if (ready > 0 && (connection.revents & POLLIN)) {
        if (wl_display_read_events(display) < 0) return false;
    } else {
        wl_display_cancel_read(display);
        if (ready > 0 && (connection.revents & (POLLHUP | POLLERR))) return false;
    }
    return wl_display_dispatch_pending(display) >= 0;
}

// Surfaces the compositor closed (their monitor went) are let go.
void dropClosedSurfaces(Client& client) {
    for (auto s = client.surfaces.begin(); s != client.surfaces.end();) {
        if ((*s)->closed) {
            destroySurface(client, **s);
            s = client.surfaces.erase(s);
        } else {
            ++s;
        }
    }
}

// Frames where the compositor asks for them and the cap allows; false when
// the connection is lost.
bool runFrames(Client& client) {
    const bool unpaced = benchUnpaced();
    while (client.running && !*client.stop) {
        dropClosedSurfaces(client);
        uint32_t waitMs = UINT32_MAX;
        bool drawn = false;
        for (auto& owned : client.surfaces) {
            Surface& s = *owned;
            if (!client.running) break;
            if (!s.configured) continue;
            if (s.toplevel && (s.pendingWidth != 0 || s.pendingHeight != 0) &&
                (s.pendingWidth != s.width || s.pendingHeight != s.height)) {
                s.width = std::max(1, s.pendingWidth);
                s.height = std::max(1, s.pendingHeight);
            }
            if (!s.battle) {
                if (s.needsBlack) drawSurface(client, s);
                continue;
            }
            if (!s.frameDue && !unpaced) continue;
            const uint32_t now = clockNow();
            const uint32_t wait = frameCapWaitMs(s.cap, now);
            if (wait > 0) {
                waitMs = std::min(waitMs, wait);
                continue;
            }
            frameCapDrawn(s.cap, now);
            drawSurface(client, s);
            drawn = true;
        }
        if (!client.running || *client.stop) break;
        const int timeout = unpaced && drawn ? 0 : waitMs == UINT32_MAX ? -1 : int(waitMs);
        if (!pumpEvents(client, timeout)) return false;
    }
    return true;
}

void disconnect(Client& client) {
    if (client.started) releaseScene();
    for (auto& s : client.surfaces)
        destroySurface(client, *s);
    client.surfaces.clear();
    releaseEglContext(client.egl);
    UnloadGLBindings();
    dropKeymap(client);
    if (client.xkb) xkb_context_unref(client.xkb);
    client.xkb = nullptr;
    if (client.display) wl_display_disconnect(client.display);
    client.display = nullptr;
    Active = nullptr;
}

// The surfaces of the mode: the window, or one per monitor.
bool makeSurfaces(Client& client, std::string& error) {
    const RunMode mode = client.options.mode;
    if (mode == RunMode::Window) {
        addSurface(client, nullptr, true);
        return true;
    }
    if (client.outputs.empty()) {
        error = "the compositor reports no monitor to cover";
        return false;
    }
    std::vector<std::string> names;
    for (auto& output : client.outputs)
        names.push_back(output->name);
    if (mode == RunMode::Saver) {
        const int battle = battleOutputIndex(
            names, client.options.outputs.empty() ? std::string() : client.options.outputs[0]);
        if (!client.options.outputs.empty() && names[size_t(battle)] != client.options.outputs[0])
            complain("no monitor is called " + client.options.outputs[0] + "; the battle is on " +
                         names[size_t(battle)],
                     0);
        for (size_t i = 0; i < client.outputs.size(); ++i)
            addSurface(client, client.outputs[i].get(), int(i) == battle);
        return true;
    }
    for (auto& output : client.outputs)
        if (wallpaperCoversOutput(client.options.outputs, output->name))
            addSurface(client, output.get(), true);
    if (client.surfaces.empty()) {
        std::string known;
        for (const std::string& name : names)
            known += (known.empty() ? "" : ", ") + name;
        error = "no monitor of the --output names; the monitors are " + known;
        return false;
    }
    return true;
}

// Connects and sets everything up; the exit code on failure, -2 to go on.
int openClient(Client& client) {
    client.registry = wl_display_get_registry(client.display);
    wl_registry_add_listener(client.registry, &RegistryListener, &client);
    // Globals, then what each told of itself (scales, names).
    if (wl_display_roundtrip(client.display) < 0 || wl_display_roundtrip(client.display) < 0)
        return complain("the Wayland compositor closed the connection at once", 1);
    const RunMode mode = client.options.mode;
    if (!client.compositor) return complain("the Wayland compositor offers no wl_compositor", 1);
    if (mode == RunMode::Wallpaper && !client.layerShell)
        return complain("the compositor offers no layer-shell, which --wallpaper needs (sway, "
                        "Hyprland and KDE Plasma have it); run it there, or use -root on X11",
                        1);
    if (!client.wmBase && !(mode != RunMode::Window && client.layerShell))
        return complain("the compositor offers neither xdg-shell nor layer-shell windows", 1);

    std::string error;
    if (!loadEgl(error)) return complain(error, 1);
    if (LoadGLBindings("libGL.so.1") != 0)
        return complain("cannot bind OpenGL from libGL.so.1 and libGLU.so.1 (install libgl1 "
                        "and libglu1-mesa)",
                        1);
    if (!openEglDisplay(client.egl, EglPlatformWayland, client.display, error))
        return complain(error, 1);
    if (!makeSurfaces(client, error)) return complain(error, 1);

    // Every surface configured, so that the first draws at its size.
    const auto allConfigured = [&] {
        for (auto& s : client.surfaces)
            if (!s->configured && !s->closed) return false;
        return true;
    };
    while (!allConfigured())
        if (wl_display_dispatch(client.display) < 0)
            return complain("the Wayland compositor closed the connection", 1);

    Surface* first = nullptr;
    for (auto& s : client.surfaces)
        if (s->battle && s->configured && !s->closed) {
            first = s.get();
            break;
        }
    if (!first) return complain("the compositor closed every surface at once", 1);
    if (!prepareBuffer(client, *first))
        return complain("EGL cannot make a window surface on the compositor", 1);
    client.egl.surface = first->egl;
    ScreenWidth = first->bufferWidth;
    ScreenHeight = first->bufferHeight;
    const ContextSetUp setUp = startRun(&client.egl, eglContextCalls(client.egl));
    if (setUp == ContextSetUp::ProcessEnded)
        return complain("cannot load the race files or Explosion.as in " + ProgramDirectory, 0);
    if (setUp != ContextSetUp::Ready) return complain("cannot set up OpenGL on the surface", 1);
    client.started = true;
    FrameSwap = swapWayland;
    reshapeScene(ScreenWidth, ScreenHeight);
    return -2;
}
} // namespace

int runWaylandProgram(const ProgramOptions& options, volatile std::sig_atomic_t& stop) {
    Client client;
    client.options = options;
    client.stop = &stop;
    client.xkb = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    client.display = wl_display_connect(nullptr);
    if (!client.display) {
        const char* name = std::getenv("WAYLAND_DISPLAY");
        complain(std::string("cannot reach the Wayland compositor ") + (name ? name : "") +
                     "; trying X11",
                 0);
        return WaylandUnreachable;
    }
    Active = &client;
    const int failed = openClient(client);
    if (failed != -2) {
        disconnect(client);
        return failed;
    }
    // Monitors that came during the set-up are covered too.
    for (auto& output : client.outputs)
        if (output->done) coverNewOutput(client, *output);

    if (!runFrames(client)) {
        // The session is over for a saver, which ends as it would on input;
        // anything else was cut off.
        const bool saver = options.mode == RunMode::Saver;
        complain("the Wayland compositor closed the connection (it ended or restarted)", 0);
        client.exitCode = saver ? 0 : 1;
    }
    writeBenchLog();
    disconnect(client);
    return client.exitCode;
}
