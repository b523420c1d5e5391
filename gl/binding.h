// Run-time binding of the OpenGL driver library: which library to load, the
// OpenGL 1.1, GLU and extension entry points, and their release.
#pragma once
#include "platform/library.h"

#include <cstdint>

constexpr int GL11FunctionCount = 336;
constexpr int GLUFunctionCount = 49;
constexpr int GLExtensionFunctionCount = 40;

// Every OpenGL 1.1 name in ASCII order; the GLU and extension names in binding order.
extern const char* const GL11FunctionNames[GL11FunctionCount];
extern const char* const GLUFunctionNames[GLUFunctionCount];
extern const char* const GLExtensionFunctionNames[GLExtensionFunctionCount];

extern LibraryHandle GLLibrary;  // the chosen driver library, or null
extern LibraryHandle GLULibrary; // its GLU companion, or null
extern int32_t BindCount;        // loads not yet undone
// Set: pixel-format calls go to the driver's own wgl functions, not the system's.
extern int32_t DriverPixelFormatMode;
// The rendering context the extension entry points were last bound for.
extern void* LastBoundContext;

// Room ChooseGLLibrary needs: 12 characters and the terminator.
constexpr int GLLibraryNameSize = 13;

// 1 when the Glide library reports at least one 3dfx board, else 0.
int32_t ProbeGlideBoards();
// Writes the driver library to use into `name` (GLLibraryNameSize bytes).
void ChooseGLLibrary(char* name);
// Called when the driver library cannot be opened, just before LoadGLBindings
// returns -666: the shell tells the user there. Null: nobody is told.
extern void (*GLLibraryNotOpened)();

// 0 on success or when already loaded, -1 when a core or GLU entry point is
// missing, -666 when the library cannot be opened (GLLibraryNotOpened first).
int32_t LoadGLBindings(const char* libraryName);
// The driver's entry point for `name`, or null: through its wglGetProcAddress
// (the export as fallback), or else its export with glXGetProcAddressARB as fallback.
SymbolAddress LookupExtension(const char* name);
// Binds the extension entry points for the current context; missing ones stay null.
void BindExtensions();
// Undoes one load; the last one releases the libraries.
void UnloadGLBindings();
