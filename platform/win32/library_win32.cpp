#include "platform/library.h"

#include <windows.h>

namespace {
LibraryHandle win32Open(const char* fileName) {
    return reinterpret_cast<LibraryHandle>(LoadLibraryA(fileName));
}
SymbolAddress win32Symbol(LibraryHandle library, const char* name) {
    if (!library) return nullptr;
    return reinterpret_cast<SymbolAddress>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void win32Close(LibraryHandle library) {
    if (library) FreeLibrary(static_cast<HMODULE>(library));
}
const LibraryLoader Win32Loader = {win32Open, win32Symbol, win32Close};
} // namespace

const LibraryLoader& platformLibraryLoader() { return Win32Loader; }
