#include "gl/gl_state.h"

int32_t MultitextureAvailable = 1;
