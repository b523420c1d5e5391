// kestrion on a Wayland compositor: a window (xdg-shell), the saver and the
// wallpaper (layer-shell surfaces on every output), drawn with EGL and paced
// by the compositor's frame callbacks.
#pragma once
#include "shell/linux_options.h"

#include <csignal>

// runWaylandProgram's result when no compositor could be reached: the
// caller goes on with X11.
constexpr int WaylandUnreachable = -1;

// Runs the program on the compositor $WAYLAND_DISPLAY names, until its end
// (a key, the close button, input in the saver) or `stop` is set (SIGTERM,
// SIGINT); the scene's fleets are prepared by the caller. Returns the exit
// code, or WaylandUnreachable.
int runWaylandProgram(const ProgramOptions& options, volatile std::sig_atomic_t& stop);
