// Run-time library loading: open a library by file name, look a symbol up by
// name, close it. The active loader is program-wide so tests can swap in a fake.
#pragma once
#include <map>
#include <string>

using LibraryHandle = void*;
using SymbolAddress = void*;

struct LibraryLoader {
    LibraryHandle (*open)(const char* fileName);
    SymbolAddress (*symbol)(LibraryHandle library, const char* name);
    void (*close)(LibraryHandle library);
};

// The platform's loader (LoadLibraryA/GetProcAddress/FreeLibrary or dlopen/dlsym/dlclose).
const LibraryLoader& platformLibraryLoader();

// The loader in use; the platform's unless a test installed another.
const LibraryLoader& activeLibraryLoader();
void setLibraryLoader(const LibraryLoader* loader); // nullptr restores the platform's

LibraryHandle openLibrary(const char* fileName);
SymbolAddress librarySymbol(LibraryHandle library, const char* name);
void closeLibrary(LibraryHandle library);

// A fake loader for tests: libraries are name-to-pointer tables registered by
// file name. Opening an unregistered name fails; a missing symbol is null.
struct FakeLibrary {
    std::map<std::string, SymbolAddress> symbols;
    int openCount = 0;
    int closeCount = 0;
};

void installFakeLibraries();                  // makes the fake loader active, no libraries
FakeLibrary& addFakeLibrary(const std::string& fileName);
FakeLibrary* findFakeLibrary(const std::string& fileName);
void removeFakeLibraries();                   // restores the platform loader
