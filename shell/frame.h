// The frame driver: one call draws and advances one frame.
#pragma once

void RunFrame();

// The swap at the end of each frame; the GL set-up installs the driver's.
using SwapFunction = void (*)();
extern SwapFunction FrameSwap;

// The background pass alone: six tiles in a flat projection.
void drawBackground();
