// Benchmark hooks, set only by the frame-rate scripts: KESTRION_BENCH_FRAMES=N
// ends the run after N frames as a key would; KESTRION_BENCH_LOG=FILE receives
// the frame count, the elapsed time and the time to the first frame;
// KESTRION_BENCH_SCREENSHOT=N saves what F12 would after every N-th frame (the
// tests' way to see a picture no key can reach, such as the preview's).
#pragma once

// Reads both variables. `msSinceProcessStart` is the platform's measure of the
// process's age, taken at the first frame.
void readBenchHooks(long long (*msSinceProcessStart)());
void benchFrameStarting();
// False when the frame limit has been reached: the run should end now.
bool benchFrameDone();
// True right after every N-th frame of KESTRION_BENCH_SCREENSHOT.
bool benchScreenshotDue();
void writeBenchLog();
