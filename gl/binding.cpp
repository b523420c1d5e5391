#include "gl/binding.h"

#include "gl/gl_table.h"

#include <cstring>

const char* const GL11FunctionNames[GL11FunctionCount] = {
#include "gl/names_gl11.inc"
};

const char* const GLUFunctionNames[GLUFunctionCount] = {
    "gluErrorString",
    "gluErrorUnicodeStringEXT",
    "gluGetString",
    "gluOrtho2D",
    "gluPerspective",
    "gluPickMatrix",
    "gluLookAt",
    "gluProject",
    "gluUnProject",
    "gluScaleImage",
    "gluBuild1DMipmaps",
    "gluBuild2DMipmaps",
    "gluNewQuadric",
    "gluDeleteQuadric",
    "gluQuadricNormals",
    "gluQuadricTexture",
    "gluQuadricOrientation",
    "gluQuadricDrawStyle",
    "gluCylinder",
    "gluDisk",
    "gluPartialDisk",
    "gluSphere",
    "gluQuadricCallback",
    "gluNewTess",
    "gluDeleteTess",
    "gluTessBeginPolygon",
    "gluTessBeginContour",
    "gluTessVertex",
    "gluTessEndContour",
    "gluTessEndPolygon",
    "gluTessProperty",
    "gluTessNormal",
    "gluTessCallback",
    "gluGetTessProperty",
    "gluNewNurbsRenderer",
    "gluDeleteNurbsRenderer",
    "gluBeginSurface",
    "gluBeginCurve",
    "gluEndCurve",
    "gluEndSurface",
    "gluBeginTrim",
    "gluEndTrim",
    "gluPwlCurve",
    "gluNurbsCurve",
    "gluNurbsSurface",
    "gluLoadSamplingMatrices",
    "gluNurbsProperty",
    "gluGetNurbsProperty",
    "gluNurbsCallback",
};

#define KGL_MULTITEXCOORD(n)                                                                       \
    "glMultiTexCoord" #n "dARB", "glMultiTexCoord" #n "dvARB", "glMultiTexCoord" #n "fARB",        \
        "glMultiTexCoord" #n "fvARB", "glMultiTexCoord" #n "iARB", "glMultiTexCoord" #n "ivARB",   \
        "glMultiTexCoord" #n "sARB", "glMultiTexCoord" #n "svARB"

const char* const GLExtensionFunctionNames[GLExtensionFunctionCount] = {
    "glActiveTextureARB",    "glClientActiveTextureARB", KGL_MULTITEXCOORD(1),
    KGL_MULTITEXCOORD(2),    KGL_MULTITEXCOORD(3),       KGL_MULTITEXCOORD(4),
    "glLockArraysEXT",       "glUnlockArraysEXT",        "wglSwapIntervalEXT",
    "wglGetSwapIntervalEXT", "glPointParameterfEXT",     "glPointParameterfvEXT",
};
#undef KGL_MULTITEXCOORD

LibraryHandle GLLibrary = nullptr;
LibraryHandle GLULibrary = nullptr;
int32_t BindCount = 0;
int32_t DriverPixelFormatMode = 0;
void* LastBoundContext = nullptr;
void (*GLLibraryNotOpened)() = nullptr;

namespace {
// The table keeps typed pointers only for the functions the program calls; the
// others are checked by name and not kept.
void** typedSlot(const GLEntryPoint* entries, int count, const char* name) {
    for (int i = 0; i < count; ++i)
        if (std::strcmp(entries[i].name, name) == 0) return entries[i].slot;
    return nullptr;
}

bool libraryLoads(const char* name) {
    LibraryHandle library = openLibrary(name);
    if (!library) return false;
    closeLibrary(library);
    return true;
}

const char* companionOf(const char* name) {
    if (std::strcmp(name, "opengl.dll") == 0) return "glu.dll";
    if (std::strcmp(name, "opengl32.dll") == 0) return "glu32.dll";
    if (std::strcmp(name, "3dfxvgl.dll") == 0) return "3dfxvglu.dll";
    if (std::strcmp(name, "libGL.so.1") == 0) return "libGLU.so.1";
    return nullptr;
}

// Names only Windows' GLU has; the GLU of other systems is not asked for them.
bool gluNameRequired(const char* gluLibrary, const char* name) {
    const bool windowsOnly = std::strcmp(name, "gluErrorUnicodeStringEXT") == 0;
    return !windowsOnly || std::strstr(gluLibrary, ".dll") != nullptr;
}

using QueryBoards = int(KGL_APIENTRY*)(void* hardwareConfiguration);
using GetProcAddressFunction = SymbolAddress(KGL_APIENTRY*)(const char* name);
} // namespace

int32_t ProbeGlideBoards() {
    LibraryHandle glide = openLibrary("glide2x.dll");
    if (!glide) return 0;
    int32_t boards = 0;
    auto query = reinterpret_cast<QueryBoards>(librarySymbol(glide, "_grSstQueryBoards@4"));
    if (query) {
        // The hardware configuration; its first field is the number of boards.
        alignas(8) unsigned char configuration[4104] = {};
        query(configuration);
        int32_t count;
        std::memcpy(&count, configuration, sizeof count);
        boards = count > 0 ? 1 : 0;
    }
    closeLibrary(glide);
    return boards;
}

void ChooseGLLibrary(char* name) {
    std::memset(name, 0, GLLibraryNameSize);
    if (ProbeGlideBoards()) {
        for (const char* candidate : {"3dfxvgl.dll", "3dfxogl.dll"}) {
            if (libraryLoads(candidate)) {
                std::strcpy(name, candidate);
                return;
            }
        }
    }
    // "opengl.dll" is the last resort, whether or not it loads.
    std::strcpy(name, libraryLoads("opengl32.dll") ? "opengl32.dll" : "opengl.dll");
}

int32_t LoadGLBindings(const char* libraryName) {
    if (++BindCount > 1) return 0;

    GLLibrary = libraryName ? openLibrary(libraryName) : nullptr;
    if (!GLLibrary) {
        if (GLLibraryNotOpened) GLLibraryNotOpened();
        GLLibrary = nullptr;
        return -666;
    }
    const char* companion = companionOf(libraryName);
    GLULibrary = companion ? openLibrary(companion) : nullptr;

    // Pointers from an earlier load would point into a released library.
    for (int i = 0; i < GLCoreEntryPointCount; ++i)
        *GLCoreEntryPoints[i].slot = nullptr;
    for (const char* name : GL11FunctionNames) {
        SymbolAddress address = librarySymbol(GLLibrary, name);
        if (!address) return -1;
        if (void** slot = typedSlot(GLCoreEntryPoints, GLCoreEntryPointCount, name))
            *slot = address;
    }
    if (GLULibrary) {
        for (const char* name : GLUFunctionNames)
            if (gluNameRequired(companion, name) && !librarySymbol(GLULibrary, name)) return -1;
    }

    if (std::strcmp(libraryName, "opengl32.dll") != 0) DriverPixelFormatMode = 1;
    return 0;
}

SymbolAddress LookupExtension(const char* name) {
    if (!GLLibrary) return nullptr;
    if (auto wglLookup = reinterpret_cast<GetProcAddressFunction>(
            librarySymbol(GLLibrary, "wglGetProcAddress"))) {
        SymbolAddress address = wglLookup(name);
        return address ? address : librarySymbol(GLLibrary, name);
    }
    // GLX: the library's own export first. glXGetProcAddressARB answers any
    // "gl" name with a dispatch stub, so it only serves names not exported.
    if (auto glxLookup = reinterpret_cast<GetProcAddressFunction>(
            librarySymbol(GLLibrary, "glXGetProcAddressARB"))) {
        SymbolAddress address = librarySymbol(GLLibrary, name);
        return address ? address : glxLookup(name);
    }
    return nullptr;
}

void BindExtensions() {
    for (const char* name : GLExtensionFunctionNames) {
        SymbolAddress address = LookupExtension(name);
        if (void** slot = typedSlot(GLExtensionEntryPoints, GLExtensionEntryPointCount, name))
            *slot = address;
    }
}

void UnloadGLBindings() {
    if (BindCount == 0) return;
    if (--BindCount > 0) return;
    if (GLLibrary) closeLibrary(GLLibrary);
    GLLibrary = nullptr;
    if (GLULibrary) closeLibrary(GLULibrary);
    GLULibrary = nullptr;
}
