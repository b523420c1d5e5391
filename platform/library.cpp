#include "platform/library.h"

#include <memory>

namespace {
const LibraryLoader* ActiveLoader = nullptr;

std::map<std::string, std::unique_ptr<FakeLibrary>>& fakeLibraries() {
    static std::map<std::string, std::unique_ptr<FakeLibrary>> libraries;
    return libraries;
}

LibraryHandle fakeOpen(const char* fileName) {
    FakeLibrary* library = findFakeLibrary(fileName ? fileName : "");
    if (!library) return nullptr;
    ++library->openCount;
    return library;
}

SymbolAddress fakeSymbol(LibraryHandle handle, const char* name) {
    if (!handle || !name) return nullptr;
    auto* library = static_cast<FakeLibrary*>(handle);
    auto found = library->symbols.find(name);
    return found == library->symbols.end() ? nullptr : found->second;
}

void fakeClose(LibraryHandle handle) {
    if (handle) ++static_cast<FakeLibrary*>(handle)->closeCount;
}

const LibraryLoader FakeLoader = {fakeOpen, fakeSymbol, fakeClose};
} // namespace

const LibraryLoader& activeLibraryLoader() {
    return ActiveLoader ? *ActiveLoader : platformLibraryLoader();
}

void setLibraryLoader(const LibraryLoader* loader) { ActiveLoader = loader; }

LibraryHandle openLibrary(const char* fileName) { return activeLibraryLoader().open(fileName); }

SymbolAddress librarySymbol(LibraryHandle library, const char* name) {
    return activeLibraryLoader().symbol(library, name);
}

void closeLibrary(LibraryHandle library) { activeLibraryLoader().close(library); }

void installFakeLibraries() {
    fakeLibraries().clear();
    ActiveLoader = &FakeLoader;
}

FakeLibrary& addFakeLibrary(const std::string& fileName) {
    auto& slot = fakeLibraries()[fileName];
    slot = std::make_unique<FakeLibrary>();
    return *slot;
}

FakeLibrary* findFakeLibrary(const std::string& fileName) {
    auto found = fakeLibraries().find(fileName);
    return found == fakeLibraries().end() ? nullptr : found->second.get();
}

void removeFakeLibraries() {
    fakeLibraries().clear();
    ActiveLoader = nullptr;
}
