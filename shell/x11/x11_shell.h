// What the Linux program's files share: F12 screenshots and the process's age.
#pragma once

// F12: the current read buffer into the first free "KestrionScreen%0.2d.bmp"
// of the current directory. Skipped quietly when it cannot be written.
void writeScreenshotFile();

// Milliseconds since the process started, from its start time in /proc.
long long msSinceProcessStart();
