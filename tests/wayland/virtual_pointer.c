/* kestrion-virtual-pointer: a pointer for a compositor that has none (headless
 * sway), through zwlr_virtual_pointer_v1. Each argument is one step, done in
 * order, each waited for by a round trip to the compositor:
 *   move DX DY   relative motion by DX, DY pixels
 *   click        the left button pressed and released
 *   wait MS      a pause: the seat has a pointer only while this client runs, and
 *                a client binds it only once told, so motion right away is lost
 * Exit code 0, or 1 with a line on stderr. */
#include "wlr-virtual-pointer-client-protocol.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#define BUTTON_LEFT 0x110

static struct wl_seat* seat;
static struct zwlr_virtual_pointer_manager_v1* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name, const char* interface,
                   uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && !seat)
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

int main(int argc, char** argv) {
    struct wl_display* display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "virtual-pointer: cannot reach the compositor; is WAYLAND_DISPLAY set?\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (!manager || !seat) {
        fprintf(stderr, "virtual-pointer: the compositor offers no zwlr_virtual_pointer_v1\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    uint32_t time = 0;
    for (int i = 1; i < argc; ++i) {
        time += 20;
        if (strcmp(argv[i], "move") == 0 && i + 2 < argc) {
            const double dx = atof(argv[i + 1]), dy = atof(argv[i + 2]);
            i += 2;
            zwlr_virtual_pointer_v1_motion(pointer, time, wl_fixed_from_double(dx),
                                           wl_fixed_from_double(dy));
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (strcmp(argv[i], "wait") == 0 && i + 1 < argc) {
            const long ms = atol(argv[++i]);
            struct timespec pause = {ms / 1000, (ms % 1000) * 1000000L};
            nanosleep(&pause, NULL);
        } else if (strcmp(argv[i], "click") == 0) {
            zwlr_virtual_pointer_v1_button(pointer, time, BUTTON_LEFT,
                                           WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, time + 10, BUTTON_LEFT,
                                           WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            fprintf(stderr, "virtual-pointer: unknown step \"%s\" (move DX DY, click, wait MS)\n",
                    argv[i]);
            return 1;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "virtual-pointer: the compositor closed the connection\n");
            return 1;
        }
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
