// A GL that draws nothing, for headless runs and benchmarks: every call is a
// no-op except the few queries, which answer like a healthy driver.
#pragma once

// Points the whole table (core and extensions) at the null GL. The extension
// string defaults to one that offers multitexturing.
void installNullGL(const char* extensions = "GL_ARB_multitexture GL_EXT_bgra");
