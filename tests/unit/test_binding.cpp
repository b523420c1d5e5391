#include "gl/binding.h"
#include "gl/gl_table.h"
#include "platform/library.h"
#include "shell/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {
// Distinct addresses to stand for exported functions.
char Exports[GL11FunctionCount + GLUFunctionCount + GLExtensionFunctionCount];

struct ShownMessage {
    MessageOwner owner;
    std::string text, caption;
    unsigned flags;
};
std::vector<ShownMessage> Shown;

int recordMessage(MessageOwner owner, const char* text, const char* caption, unsigned flags) {
    Shown.push_back({owner, text, caption, flags});
    return 1;
}

int BoardsReported = 0;
int KGL_APIENTRY queryBoards(void* configuration) {
    std::memcpy(configuration, &BoardsReported, sizeof BoardsReported);
    return 1;
}

std::vector<std::string> ExtensionQueries;
SymbolAddress ExtensionAnswer = nullptr;
SymbolAddress KGL_APIENTRY fakeGetProcAddress(const char* name) {
    ExtensionQueries.push_back(name);
    return std::strcmp(name, "glClientActiveTextureARB") == 0 ? nullptr : ExtensionAnswer;
}

FakeLibrary& addDriver(const char* fileName) {
    FakeLibrary& library = addFakeLibrary(fileName);
    for (int i = 0; i < GL11FunctionCount; ++i)
        library.symbols[GL11FunctionNames[i]] = &Exports[i];
    return library;
}

FakeLibrary& addGlu(const char* fileName) {
    FakeLibrary& library = addFakeLibrary(fileName);
    for (int i = 0; i < GLUFunctionCount; ++i)
        library.symbols[GLUFunctionNames[i]] = &Exports[GL11FunctionCount + i];
    return library;
}

void addGlide(int boards) {
    BoardsReported = boards;
    addFakeLibrary("glide2x.dll").symbols["_grSstQueryBoards@4"] =
        reinterpret_cast<void*>(queryBoards);
}

SymbolAddress exportOf(const char* name) {
    for (int i = 0; i < GL11FunctionCount; ++i)
        if (std::strcmp(GL11FunctionNames[i], name) == 0) return &Exports[i];
    return nullptr;
}

struct BindingTest : ::testing::Test {
    void SetUp() override {
        installFakeLibraries();
        resetBinding();
        Shown.clear();
        ShowMessage = recordMessage;
        ExtensionQueries.clear();
        ExtensionAnswer = nullptr;
    }
    void TearDown() override {
        resetBinding();
        removeFakeLibraries();
        ShowMessage = showMessageOnStderr;
    }
    static void resetBinding() {
        GLLibrary = GLULibrary = nullptr;
        BindCount = 0;
        DriverPixelFormatMode = 0;
        LastBoundContext = nullptr;
        clearGLTable();
    }
    static std::string chosen() {
        char name[GLLibraryNameSize];
        std::memset(name, 'x', sizeof name);
        ChooseGLLibrary(name);
        for (size_t i = std::strlen(name); i < sizeof name; ++i)
            EXPECT_EQ(name[i], 0);
        return name;
    }
};
} // namespace

TEST(BindingNames, TheTypedTableIsASubsetOfTheCheckedNames) {
    std::set<std::string> core(GL11FunctionNames, GL11FunctionNames + GL11FunctionCount);
    EXPECT_EQ(core.size(), size_t(GL11FunctionCount));
    for (int i = 1; i < GL11FunctionCount; ++i)
        EXPECT_LT(std::strcmp(GL11FunctionNames[i - 1], GL11FunctionNames[i]), 0)
            << GL11FunctionNames[i];
    EXPECT_STREQ(GL11FunctionNames[0], "glAccum");
    EXPECT_STREQ(GL11FunctionNames[GL11FunctionCount - 1], "glViewport");
    // A typed pointer outside the checked set would never be bound.
    for (int i = 0; i < GLCoreEntryPointCount; ++i)
        EXPECT_TRUE(core.count(GLCoreEntryPoints[i].name)) << GLCoreEntryPoints[i].name;
    std::set<std::string> extensions(GLExtensionFunctionNames,
                                     GLExtensionFunctionNames + GLExtensionFunctionCount);
    EXPECT_EQ(extensions.size(), size_t(GLExtensionFunctionCount));
    for (int i = 0; i < GLExtensionEntryPointCount; ++i)
        EXPECT_TRUE(extensions.count(GLExtensionEntryPoints[i].name))
            << GLExtensionEntryPoints[i].name;
    EXPECT_EQ(std::set<std::string>(GLUFunctionNames, GLUFunctionNames + GLUFunctionCount).size(),
              size_t(GLUFunctionCount));
}

TEST_F(BindingTest, WithoutABoardTheSystemLibraryIsChosen) {
    addDriver("opengl32.dll");
    addDriver("3dfxvgl.dll");
    EXPECT_EQ(ProbeGlideBoards(), 0); // no Glide library at all
    EXPECT_EQ(chosen(), "opengl32.dll");

    addGlide(0);
    EXPECT_EQ(chosen(), "opengl32.dll");
    EXPECT_EQ(findFakeLibrary("3dfxvgl.dll")->openCount, 0);
    EXPECT_EQ(findFakeLibrary("glide2x.dll")->closeCount, 1);

    // Choosing released its trial load; binding then keeps the system's pixel format.
    FakeLibrary& system = *findFakeLibrary("opengl32.dll");
    EXPECT_EQ(system.openCount, system.closeCount);
    addGlu("glu32.dll");
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), 0);
    EXPECT_EQ(DriverPixelFormatMode, 0);
    EXPECT_EQ(GLULibrary, findFakeLibrary("glu32.dll"));
    EXPECT_EQ(reinterpret_cast<void*>(glBegin), exportOf("glBegin"));
    EXPECT_EQ(reinterpret_cast<void*>(glViewport), exportOf("glViewport"));
    EXPECT_TRUE(Shown.empty());
}

TEST_F(BindingTest, ABoardPrefersThe3dfxLibrariesInOrder) {
    addGlide(2);
    addDriver("opengl32.dll");
    addDriver("3dfxogl.dll");
    addDriver("3dfxvgl.dll");
    EXPECT_EQ(ProbeGlideBoards(), 1);
    EXPECT_EQ(chosen(), "3dfxvgl.dll");
    EXPECT_EQ(findFakeLibrary("3dfxvgl.dll")->closeCount, 1);

    removeFakeLibraries();
    installFakeLibraries();
    addGlide(1);
    addDriver("opengl32.dll");
    addDriver("3dfxogl.dll");
    EXPECT_EQ(chosen(), "3dfxogl.dll");

    // A board whose libraries are all missing falls back to the system's.
    removeFakeLibraries();
    installFakeLibraries();
    addGlide(1);
    addDriver("opengl32.dll");
    EXPECT_EQ(chosen(), "opengl32.dll");

    // A Glide library without the query counts as no board.
    removeFakeLibraries();
    installFakeLibraries();
    addFakeLibrary("glide2x.dll");
    EXPECT_EQ(ProbeGlideBoards(), 0);
    EXPECT_EQ(findFakeLibrary("glide2x.dll")->closeCount, 1);

    // Nothing loads: the last candidate is named anyway.
    removeFakeLibraries();
    installFakeLibraries();
    EXPECT_EQ(chosen(), "opengl.dll");
}

TEST_F(BindingTest, The3dfxLibraryWithoutGluBindsAndSetsDriverPixelFormat) {
    addDriver("3dfxogl.dll");
    addGlu("glu32.dll");
    addGlu("3dfxvglu.dll");
    EXPECT_EQ(LoadGLBindings("3dfxogl.dll"), 0);
    EXPECT_EQ(GLULibrary, nullptr);
    EXPECT_EQ(findFakeLibrary("glu32.dll")->openCount, 0);
    EXPECT_EQ(DriverPixelFormatMode, 1);
    EXPECT_EQ(reinterpret_cast<void*>(glTexImage2D), exportOf("glTexImage2D"));
    UnloadGLBindings();

    // A companion that fails to load is no failure either.
    resetBinding();
    removeFakeLibraries();
    installFakeLibraries();
    addDriver("3dfxvgl.dll");
    EXPECT_EQ(LoadGLBindings("3dfxvgl.dll"), 0);
    EXPECT_EQ(GLULibrary, nullptr);
    EXPECT_EQ(DriverPixelFormatMode, 1);
}

TEST_F(BindingTest, AMissingCoreFunctionStopsBindingThere) {
    addDriver("opengl32.dll").symbols.erase("glLoadIdentity");
    addGlu("glu32.dll");
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), -1);
    // Names before it in ASCII order are bound, later ones stay null.
    EXPECT_EQ(reinterpret_cast<void*>(glBegin), exportOf("glBegin"));
    EXPECT_EQ(reinterpret_cast<void*>(glLightfv), exportOf("glLightfv"));
    EXPECT_EQ(glLoadIdentity, nullptr);
    EXPECT_EQ(glMatrixMode, nullptr);
    EXPECT_EQ(glViewport, nullptr);
    // The libraries stay loaded and the load still counts.
    EXPECT_NE(GLLibrary, nullptr);
    EXPECT_NE(GLULibrary, nullptr);
    EXPECT_EQ(BindCount, 1);
    EXPECT_TRUE(Shown.empty());

    // Even a function the program never calls is required.
    resetBinding();
    removeFakeLibraries();
    installFakeLibraries();
    addDriver("opengl32.dll").symbols.erase("glEdgeFlagPointer");
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), -1);
}

TEST_F(BindingTest, AMissingGluFunctionFailsOnlyWhenGluIsLoaded) {
    addDriver("opengl.dll");
    addGlu("glu.dll").symbols.erase("gluNurbsCallback");
    EXPECT_EQ(LoadGLBindings("opengl.dll"), -1);
    EXPECT_EQ(GLULibrary, findFakeLibrary("glu.dll"));
    EXPECT_EQ(DriverPixelFormatMode, 0); // the failure comes before the driver-mode step
}

TEST_F(BindingTest, ALibraryThatCannotBeOpenedIsReported) {
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), -666);
    ASSERT_EQ(Shown.size(), 1u);
    EXPECT_EQ(Shown[0].owner, MessageOwner::FocusWindow);
    EXPECT_EQ(Shown[0].text, "Could not open OpenGL Library");
    EXPECT_EQ(Shown[0].caption, "Error");
    EXPECT_EQ(Shown[0].flags, MessageOk);
    EXPECT_EQ(GLLibrary, nullptr);
    EXPECT_EQ(BindCount, 1);
}

TEST_F(BindingTest, EveryLoadNeedsItsOwnUnload) {
    UnloadGLBindings(); // nothing loaded: nothing happens
    EXPECT_EQ(BindCount, 0);

    FakeLibrary& gl = addDriver("opengl32.dll");
    FakeLibrary& glu = addGlu("glu32.dll");
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), 0);
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), 0);
    EXPECT_EQ(gl.openCount, 1);
    EXPECT_EQ(BindCount, 2);

    UnloadGLBindings();
    EXPECT_EQ(gl.closeCount, 0);
    EXPECT_NE(GLLibrary, nullptr);
    UnloadGLBindings();
    EXPECT_EQ(gl.closeCount, 1);
    EXPECT_EQ(glu.closeCount, 1);
    EXPECT_EQ(GLLibrary, nullptr);
    EXPECT_EQ(GLULibrary, nullptr);
    // The table is left as it is.
    EXPECT_EQ(reinterpret_cast<void*>(glBegin), exportOf("glBegin"));
    UnloadGLBindings();
    EXPECT_EQ(gl.closeCount, 1);
    EXPECT_EQ(BindCount, 0);
}

TEST_F(BindingTest, ExtensionsComeFromTheDriversLookupWithTheExportAsFallback) {
    EXPECT_EQ(LookupExtension("glActiveTextureARB"), nullptr); // no library

    FakeLibrary& gl = addDriver("opengl32.dll");
    char exported = 0;
    gl.symbols["glClientActiveTextureARB"] = &exported;
    gl.symbols["glActiveTextureARB"] = &exported;
    ASSERT_EQ(LoadGLBindings("opengl32.dll"), 0);
    // Without wglGetProcAddress nothing is found, exported or not.
    EXPECT_EQ(LookupExtension("glActiveTextureARB"), nullptr);

    gl.symbols["wglGetProcAddress"] = reinterpret_cast<void*>(fakeGetProcAddress);
    char answer = 0;
    ExtensionAnswer = &answer;
    BindExtensions();
    ASSERT_EQ(ExtensionQueries.size(), size_t(GLExtensionFunctionCount));
    for (int i = 0; i < GLExtensionFunctionCount; ++i)
        EXPECT_EQ(ExtensionQueries[size_t(i)], GLExtensionFunctionNames[i]);
    EXPECT_EQ(ExtensionQueries[2], "glMultiTexCoord1dARB");
    EXPECT_EQ(ExtensionQueries[12], "glMultiTexCoord2fARB");
    EXPECT_EQ(ExtensionQueries[39], "glPointParameterfvEXT");
    EXPECT_EQ(reinterpret_cast<void*>(glActiveTextureARB), &answer);
    EXPECT_EQ(reinterpret_cast<void*>(glMultiTexCoord2fARB), &answer);
    // The driver's lookup said no: the library's own export is used.
    EXPECT_EQ(reinterpret_cast<void*>(glClientActiveTextureARB), &exported);

    // Missing everywhere: the pointer becomes null, nothing fails.
    ExtensionAnswer = nullptr;
    gl.symbols.erase("glActiveTextureARB");
    BindExtensions();
    EXPECT_EQ(glActiveTextureARB, nullptr);
    EXPECT_EQ(glMultiTexCoord2fARB, nullptr);
}

TEST_F(BindingTest, LibGLComesWithLibGLUWhichNeedsNoWindowsOnlyName) {
    addDriver("libGL.so.1");
    FakeLibrary& glu = addGlu("libGLU.so.1");
    glu.symbols.erase("gluErrorUnicodeStringEXT");
    EXPECT_EQ(LoadGLBindings("libGL.so.1"), 0);
    EXPECT_EQ(GLULibrary, findFakeLibrary("libGLU.so.1"));
    UnloadGLBindings();

    // Every other GLU name is still needed there, and Windows' GLU needs them all.
    glu.symbols.erase("gluPerspective");
    EXPECT_EQ(LoadGLBindings("libGL.so.1"), -1);
    UnloadGLBindings();
    addDriver("opengl32.dll");
    addGlu("glu32.dll").symbols.erase("gluErrorUnicodeStringEXT");
    EXPECT_EQ(LoadGLBindings("opengl32.dll"), -1);
}

TEST_F(BindingTest, UnderGlxTheExportComesFirstAndTheLookupServesTheRest) {
    FakeLibrary& gl = addDriver("libGL.so.1");
    char exported = 0, answer = 0;
    gl.symbols["glActiveTextureARB"] = &exported;
    ASSERT_EQ(LoadGLBindings("libGL.so.1"), 0);
    EXPECT_EQ(LookupExtension("glClientActiveTextureARB"), nullptr); // no glXGetProcAddressARB

    gl.symbols["glXGetProcAddressARB"] = reinterpret_cast<void*>(fakeGetProcAddress);
    ExtensionAnswer = &answer;
    EXPECT_EQ(LookupExtension("glActiveTextureARB"), &exported);
    EXPECT_TRUE(ExtensionQueries.empty());
    EXPECT_EQ(LookupExtension("glMultiTexCoord2fARB"), &answer);
    EXPECT_EQ(ExtensionQueries, (std::vector<std::string>{"glMultiTexCoord2fARB"}));
}
