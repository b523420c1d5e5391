#include "gl/swap_interval.h"

#include "gl/binding.h"
#include "gl/gl_table.h"

#include <cstring>

namespace {
using WglExtensionsEXT = const char*(KGL_APIENTRY*)();
using WglExtensionsARB = const char*(KGL_APIENTRY*)(DeviceContext dc);
using WglSwapInterval = int(KGL_APIENTRY*)(int interval);
using GlxExtensions = const char* (*)(void* display, int screen);
using GlxSwapIntervalEXT = void (*)(void* display, unsigned long drawable, int interval);
using GlxSwapIntervalMESA = int (*)(unsigned interval);
using GlxSwapIntervalSGI = int (*)(int interval);

template <typename F> F extension(const char* name) {
    return reinterpret_cast<F>(LookupExtension(name));
}

bool wglOffersSwapControl(DeviceContext dc) {
    const char* name = "WGL_EXT_swap_control";
    if (glGetString &&
        extensionListed(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)), name))
        return true;
    if (auto ext = extension<WglExtensionsEXT>("wglGetExtensionsStringEXT"))
        if (extensionListed(ext(), name)) return true;
    if (auto arb = extension<WglExtensionsARB>("wglGetExtensionsStringARB"))
        if (extensionListed(arb(dc), name)) return true;
    return false;
}
} // namespace

bool extensionListed(const char* list, const char* name) {
    if (!list || !name || !*name) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(list, name); at; at = std::strstr(at + 1, name)) {
        const bool starts = at == list || at[-1] == ' ';
        const bool ends = at[length] == '\0' || at[length] == ' ';
        if (starts && ends) return true;
    }
    return false;
}

SwapInterval askWglSwapInterval(DeviceContext dc) {
    if (!wglOffersSwapControl(dc)) return SwapInterval::NotOffered;
    auto swapInterval = extension<WglSwapInterval>("wglSwapIntervalEXT");
    if (!swapInterval) return SwapInterval::NotOffered;
    return swapInterval(1) ? SwapInterval::Set : SwapInterval::Refused;
}

SwapInterval askGlxSwapInterval(void* display, int screen, unsigned long drawable) {
    auto query =
        reinterpret_cast<GlxExtensions>(librarySymbol(GLLibrary, "glXQueryExtensionsString"));
    const char* list = query ? query(display, screen) : nullptr;
    if (extensionListed(list, "GLX_EXT_swap_control"))
        if (auto ext = extension<GlxSwapIntervalEXT>("glXSwapIntervalEXT")) {
            ext(display, drawable, 1); // reports refusal through an X error, if at all
            return SwapInterval::Set;
        }
    if (extensionListed(list, "GLX_MESA_swap_control"))
        if (auto mesa = extension<GlxSwapIntervalMESA>("glXSwapIntervalMESA"))
            return mesa(1) == 0 ? SwapInterval::Set : SwapInterval::Refused;
    if (extensionListed(list, "GLX_SGI_swap_control"))
        if (auto sgi = extension<GlxSwapIntervalSGI>("glXSwapIntervalSGI"))
            return sgi(1) == 0 ? SwapInterval::Set : SwapInterval::Refused;
    return SwapInterval::NotOffered;
}
