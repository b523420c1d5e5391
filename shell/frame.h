// The frame driver: one call draws and advances one frame.
#pragma once
#include <cstdint>

void RunFrame();

// The same frame as a second view of the battle, as another monitor shows it:
// drawn at the current window size without a step (nothing moves, fires or
// ends), and swapped.
void DrawFrameView();

// The swap at the end of each frame; the GL set-up installs the driver's.
using SwapFunction = void (*)();
extern SwapFunction FrameSwap;

// The background pass alone: six tiles in a flat projection.
void drawBackground();

// The preview's pace: about 30 frames a second, so that the dialog it sits in
// stays responsive.
constexpr uint32_t PreviewFrameMs = 33;
// Milliseconds to wait before the next preview frame, 0 when it is due; the
// clock's differences are taken modulo 2^32, so a wrap changes nothing.
uint32_t previewWaitMs(uint32_t lastFrameAt, uint32_t now);
