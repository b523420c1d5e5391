// The settings as the shell uses them: the rules over the store, and the
// resolution read into the display globals.
#pragma once
#include "data/settings.h"

// Sets ScreenWidth, ScreenHeight and ResolutionIndex from "Resolution" when it
// holds one of the table's texts exactly ("Desktop": the desktop's size, when
// known); otherwise leaves them. No settings key at all: 800 x 600, row 2.
void ReadResolution();
