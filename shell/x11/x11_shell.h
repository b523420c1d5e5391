// What the Linux program's files share: F12 screenshots and the benchmark hooks.
#pragma once

// F12: the current read buffer into the first free "KestrionScreen%0.2d.bmp"
// of the current directory. Skipped quietly when it cannot be written.
void writeScreenshotFile();

// Benchmark hooks, set only by the frame-rate script: KESTRION_BENCH_FRAMES=N
// ends the run after N frames as Escape would; KESTRION_BENCH_LOG=FILE receives
// the frame count, the elapsed time and the time to the first frame.
void readBenchHooks();
void benchStarting();
void benchFrameStarting();
// False when the frame limit is reached.
bool benchFrameDone();
void writeBenchLog();
