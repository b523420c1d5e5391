// An OpenGL ES 3 that accepts every call and draws nothing: the fixed-function
// layer over it costs what the page's own work costs, without a browser.
#pragma once

// For installFixedFunctionLayer: every ES entry point the layer binds, each
// doing nothing but what lets the layer start (names, compiled shaders).
void* nullESLookup(const char* name);

// ES calls made since the layer was installed over the null ES.
long long nullESCalls();

// Bytes handed to buffers (glBufferData, glBufferSubData) since then: what a
// browser copies across to its GPU process.
long long nullESBytes();
