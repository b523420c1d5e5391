// Program-wide rendering facts decided when the context is set up.
#pragma once
#include <cstdint>

// 1 until the context's extension string turns out to lack GL_ARB_multitexture.
extern int32_t MultitextureAvailable;
