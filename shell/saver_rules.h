// What the Linux saver and wallpaper decide without a display server: which
// monitor shows the battle, which monitors a wallpaper covers, when pointer
// motion ends the saver, and when the --fps cap lets the next frame be drawn.
// The Wayland and X11 front-ends share them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The monitor (an index into `names`) that shows the saver's battle: the one
// named by --output (`wanted`, empty: none), else `preferred` (the primary
// where the system has one, else 0), else the first. -1 when there is no
// monitor at all. A name that matches no monitor falls back the same way, so
// that an unplugged monitor never leaves every screen black.
int battleOutputIndex(const std::vector<std::string>& names, const std::string& wanted,
                      int preferred = 0);

// Whether the wallpaper draws on the monitor called `name`: every monitor when
// --output was not given, else only those named.
bool wallpaperCoversOutput(const std::vector<std::string>& named, const std::string& name);

// Pointer motion within this many pixels (either way, in each axis) of where the
// pointer was first seen does not end the saver: a desk that shakes, a mouse that
// jitters, and the compositor's own first report of where the pointer is.
constexpr int SaverMotionSlackPx = 8;

struct PointerAnchor {
    bool placed = false; // false until the first position is reported
    double x = 0, y = 0;
};

// A pointer position (in one coordinate space: a surface's, or the screen's):
// the first one only places the anchor; true once one lies beyond the slack.
bool pointerMovedFar(PointerAnchor& anchor, double x, double y);

// The --fps cap, on the wrapping 32-bit millisecond clock. Frames are spread
// over an even schedule kept in microseconds, so that --fps 30 gives 30 frames
// a second and not the 30.3 of a whole 33 ms apart; a frame that came late
// starts the schedule afresh instead of being made up for with frames back to
// back.
struct FrameCap {
    uint32_t periodUs = 0; // 0: no cap
    bool started = false;  // a frame has been drawn
    uint32_t nextAt = 0;   // the earliest start of the next frame
    uint32_t nextUs = 0;   // and the microseconds beyond that millisecond
};

// The cap for --fps `fps` (0: none).
FrameCap makeFrameCap(int fps);

// A frame was started at `now`.
void frameCapDrawn(FrameCap& cap, uint32_t now);

// Milliseconds to wait at `now` before the next frame may be drawn; 0: now.
uint32_t frameCapWaitMs(const FrameCap& cap, uint32_t now);
