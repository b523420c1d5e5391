// Benchmark hooks, set only by the frame-rate scripts and the tests:
// KESTRION_BENCH_FRAMES=N ends the run after N frames as a key would;
// KESTRION_BENCH_LOG=FILE receives the frame count, the elapsed time, the time
// to the first frame, the process's CPU time over those frames and the longest
// step of the battle's clock from one frame to the next;
// KESTRION_BENCH_SCREENSHOT=N saves what F12 would after every N-th frame (the
// tests' way to see a picture no key can reach, such as the preview's);
// KESTRION_BENCH_UNPACED=1 draws frames back to back, never waiting for the
// display's pace (what the frame-rate scripts measure). KESTRION_BENCH_SAMPLES=N,
// read where the window's pixel format is chosen, asks for N samples a pixel
// whatever the renderer (gl/multisample.h).
#pragma once

// Reads the variables. `msSinceProcessStart` is the platform's measure of the
// process's age, taken at the first frame.
void readBenchHooks(long long (*msSinceProcessStart)());
void benchFrameStarting();
// False when the frame limit has been reached: the run should end now.
bool benchFrameDone();
// True right after every N-th frame of KESTRION_BENCH_SCREENSHOT.
bool benchScreenshotDue();
// True when frames are not to wait for the display's pace.
bool benchUnpaced();
void writeBenchLog();
