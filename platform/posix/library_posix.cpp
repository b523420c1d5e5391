#include "platform/library.h"

#include <dlfcn.h>

namespace {
LibraryHandle posixOpen(const char* fileName) { return dlopen(fileName, RTLD_NOW | RTLD_LOCAL); }
SymbolAddress posixSymbol(LibraryHandle library, const char* name) {
    return library ? dlsym(library, name) : nullptr;
}
void posixClose(LibraryHandle library) {
    if (library) dlclose(library);
}
const LibraryLoader PosixLoader = {posixOpen, posixSymbol, posixClose};
} // namespace

const LibraryLoader& platformLibraryLoader() { return PosixLoader; }
